#pragma once
// QSP byte layouts, built and parsed over plain byte buffers.
#include <cstdint>

constexpr uint16_t kQspPort = 3333;
constexpr uint32_t kQspDataPacketSize = 521;
constexpr uint32_t kQspDataOffset = 9;

// Writes the 9-byte "QSDD" header for `universe` (its low byte) with data
// length 512; the 512 data bytes follow at offset 9.
void BuildQspDataHeader(uint8_t* out, uint32_t universe);
