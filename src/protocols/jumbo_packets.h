#pragma once
// "QSJF" jumbo frames: one datagram carrying several Art-Net packets in
// slots of equal size. Slot k starts at 4 + k * size, so slot 0 overlaps the
// header and the Art-Net packets sit in slots 1 and up.
#include <cstddef>
#include <cstdint>

constexpr uint16_t kJumboPort = 3332;
constexpr uint32_t kJumboBufferSize = 9000;
// Magic, the two version bytes, count and size: 13 bytes.
constexpr uint32_t kJumboHeaderSize = 13;
constexpr uint32_t kJumboFirstSlot = 4;

struct JumboHeader {
  uint32_t count;  // slots, slot 0 included
  uint32_t size;   // bytes per slot
};

// Checks the header of a received frame. False when the frame is too short
// for its header, carries the wrong magic or version bytes, or declares
// slots that would not fit the receive buffer.
bool ParseJumboHeader(const uint8_t* frame, size_t length, JumboHeader* out);

// Start of slot k, or nullptr when the slot ends beyond the bytes received:
// the receive buffer beyond them holds an earlier datagram.
const uint8_t* JumboSlot(const uint8_t* frame, size_t length, const JumboHeader& header,
                         uint32_t k);
