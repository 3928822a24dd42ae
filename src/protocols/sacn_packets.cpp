#include "protocols/sacn_packets.h"

#include <cstdio>
#include <cstring>

#include "dmx_types.h"
#include "protocols/byte_order.h"
#include "protocols/hex_digits.h"

namespace {

constexpr uint8_t kAcnIdentifier[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
constexpr uint8_t kDmpSetProperty = 0x02;
constexpr uint8_t kDmpAddressAndDataType = 0xA1;
constexpr uint32_t kFramingVectorData = 2;
constexpr uint32_t kRootVectorData = 4;
constexpr uint16_t kFullValueCount = kDmxFrameSlots;

// Flags 0x7 in the top nibble, then the PDU length from `offset` to the end.
uint16_t FlagsAndLength(uint32_t offset) {
  return static_cast<uint16_t>(0x7000 | (kSacnDataPacketSize - offset));
}

}  // namespace

void BuildSacnDataPacket(uint8_t* out, const uint8_t* cid, uint32_t universe, uint8_t priority) {
  std::memset(out, 0, kSacnDataPacketSize);
  // Root layer
  PutU16Be(out + 0, 0x0010);  // preamble size
  PutU16Be(out + 2, 0x0000);  // post-amble size
  std::memcpy(out + 4, kAcnIdentifier, sizeof(kAcnIdentifier));
  PutU16Be(out + 16, FlagsAndLength(16));
  PutU32Be(out + 18, kRootVectorData);
  std::memcpy(out + 22, cid, 16);
  // Framing layer
  PutU16Be(out + 38, FlagsAndLength(38));
  PutU32Be(out + 40, kFramingVectorData);
  // 64 bytes, NUL-padded; snprintf leaves at least one NUL at the end.
  std::snprintf(reinterpret_cast<char*>(out + 44), 64, "CVMk2 U:%d", static_cast<int>(universe));
  out[108] = priority;
  // 109-110 reserved, 111 sequence, 112 options: all 0
  PutU16Be(out + 113, static_cast<uint16_t>(universe));
  // DMP layer
  PutU16Be(out + 115, FlagsAndLength(115));
  out[117] = kDmpSetProperty;
  out[118] = kDmpAddressAndDataType;
  PutU16Be(out + 119, 0x0000);  // first property address
  PutU16Be(out + 121, 0x0001);  // address increment
  PutU16Be(out + 123, kFullValueCount);
  out[125] = 0;  // DMX start code
}

void AdvanceSacnDataPacket(uint8_t* packet) {
  packet[kSacnSequenceOffset] = static_cast<uint8_t>(packet[kSacnSequenceOffset] + 1);
  PutU16Be(packet + 123, kFullValueCount);
}

uint32_t SacnMulticastGroup(uint32_t universe) {
  return 239u << 24 | 255u << 16 | (universe >> 8 & 0xFF) << 8 | (universe & 0xFF);
}

bool ParseSacnCidText(std::string_view text, uint8_t* cid) {
  std::memset(cid, 0, 16);
  constexpr size_t kCidTextLength = 36;
  if (text.size() < kCidTextLength) return false;
  uint8_t bytes[16];
  size_t digit = 0;
  for (size_t pos = 0; pos < kCidTextLength; ++pos) {
    // The separators sit at fixed places and are not looked at: the groups
    // are read where they stand, whatever divides them.
    if (pos == 8 || pos == 13 || pos == 18 || pos == 23) continue;
    int v = HexDigitValue(text[pos]);
    if (v < 0) return false;
    if (digit % 2 == 0) {
      bytes[digit / 2] = static_cast<uint8_t>(v << 4);
    } else {
      bytes[digit / 2] = static_cast<uint8_t>(bytes[digit / 2] | v);
    }
    ++digit;
  }
  std::memcpy(cid, bytes, 16);
  return true;
}

const char* SacnCheckText(SacnCheck check) {
  switch (check) {
    case SacnCheck::kOk:
      return "Got sACN packet";
    case SacnCheck::kShort:
      return "sACN Short packet";
    case SacnCheck::kBadIdentifier:
      return "sACN Bad Identifier";
    case SacnCheck::kBadFramingVector:
      return "sACN Bad Framing vector";
    case SacnCheck::kBadDmpVector:
      return "sACN Bad DMP vector";
    case SacnCheck::kBadDmpProperties:
      return "sACN Bad DMP properties";
    case SacnCheck::kNonDmxStartCode:
      return "sACN Non DMX startcode";
  }
  return "sACN ?";
}

SacnCheck ParseSacnDataPacket(const uint8_t* bytes, size_t length, SacnDataFrame* frame) {
  if (length < kSacnHeaderSize) return SacnCheck::kShort;
  if (std::memcmp(bytes + 4, kAcnIdentifier, sizeof(kAcnIdentifier)) != 0) {
    return SacnCheck::kBadIdentifier;
  }
  if (GetU32Be(bytes + 40) != kFramingVectorData) return SacnCheck::kBadFramingVector;
  if (bytes[117] != kDmpSetProperty) return SacnCheck::kBadDmpVector;
  if (bytes[118] != kDmpAddressAndDataType) return SacnCheck::kBadDmpProperties;
  if (bytes[125] != 0) return SacnCheck::kNonDmxStartCode;

  // The value count includes the start code; a sender may announce more
  // than it sent, so what arrived bounds the copy as well.
  uint32_t announced = GetU16Be(bytes + 123);
  uint32_t slots = announced > 0 ? announced - 1 : 0;
  uint32_t arrived = static_cast<uint32_t>(
      length - kSacnHeaderSize < kSacnMaxSlots ? length - kSacnHeaderSize : kSacnMaxSlots);
  if (slots > arrived) slots = arrived;

  frame->universe = GetU16Be(bytes + 113);
  frame->priority = bytes[108];
  frame->cid = bytes + 22;
  frame->slots = bytes + kSacnHeaderSize;
  frame->slotCount = slots;
  return SacnCheck::kOk;
}
