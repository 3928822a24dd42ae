#pragma once
// Art-Net byte layouts, built and parsed over plain byte buffers.
#include <cstddef>
#include <cstdint>

constexpr uint16_t kArtnetPort = 6454;
constexpr uint32_t kArtDmxSize = 530;
constexpr uint32_t kArtDmxHeaderSize = 18;

// Writes the 18-byte ArtDmx header for `universe` (low 16 bits, low byte
// first) with Length 512; the 512 data bytes follow at offset 18.
void BuildArtDmxHeader(uint8_t* out, uint32_t universe);
