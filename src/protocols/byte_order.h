#pragma once
// Multi-byte fields of the wire layouts, read and written one byte at a time
// so that neither the host's byte order nor the field's alignment matters.
// Le: low byte first (Art-Net, KiNet, QSP); Be: high byte first (sACN, the
// Art-Net and QSP data lengths, RDM).
#include <cstdint>

inline uint16_t GetU16Le(const uint8_t* in) {
  return static_cast<uint16_t>(in[0] | in[1] << 8);
}

inline uint16_t GetU16Be(const uint8_t* in) {
  return static_cast<uint16_t>(in[0] << 8 | in[1]);
}

inline uint32_t GetU32Le(const uint8_t* in) {
  return static_cast<uint32_t>(GetU16Le(in)) | static_cast<uint32_t>(GetU16Le(in + 2)) << 16;
}

inline uint32_t GetU32Be(const uint8_t* in) {
  return static_cast<uint32_t>(GetU16Be(in)) << 16 | GetU16Be(in + 2);
}

inline void PutU16Le(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU16Be(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value & 0xFF);
}

inline void PutU32Le(uint8_t* out, uint32_t value) {
  PutU16Le(out, static_cast<uint16_t>(value & 0xFFFF));
  PutU16Le(out + 2, static_cast<uint16_t>(value >> 16));
}

inline void PutU32Be(uint8_t* out, uint32_t value) {
  PutU16Be(out, static_cast<uint16_t>(value >> 16));
  PutU16Be(out + 2, static_cast<uint16_t>(value & 0xFFFF));
}
