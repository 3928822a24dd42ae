#include "protocols/jumbo_packets.h"

#include <cstring>

#include "protocols/byte_order.h"

bool ParseJumboHeader(const uint8_t* frame, size_t length, JumboHeader* out) {
  if (length < kJumboHeaderSize) return false;
  if (std::memcmp(frame, "QSJF", 4) != 0 || frame[4] != 1 || frame[9] != 1) return false;
  out->count = frame[10];
  out->size = GetU16Le(frame + 11);
  // Senders size their frames for the 9000-byte buffer; anything larger is
  // not a frame of ours.
  return kJumboFirstSlot + out->count * out->size <= kJumboBufferSize;
}

const uint8_t* JumboSlot(const uint8_t* frame, size_t length, const JumboHeader& header,
                         uint32_t k) {
  if (k >= header.count) return nullptr;
  size_t start = kJumboFirstSlot + static_cast<size_t>(k) * header.size;
  if (start + header.size > length) return nullptr;
  return frame + start;
}
