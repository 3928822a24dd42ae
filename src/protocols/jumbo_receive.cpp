#include "protocols/jumbo_receive.h"

#include <glog/logging.h>

#include "protocols/artnet_packets.h"
#include "protocols/artnet_receive.h"
#include "protocols/jumbo_packets.h"

void HandleJumboFrame(const uint8_t* frame, size_t length, const struct sockaddr_in& sender,
                      DatagramSender reply) {
  (void)reply;
  if (length < 8) return;
  VLOG(3) << "Got Jumbo Frame ";
  JumboHeader header;
  if (!ParseJumboHeader(frame, length, &header)) return;
  VLOG(3) << "Num Frames Inside jumbo: " << header.count;
  for (uint32_t k = 0; k < header.count; ++k) {
    const uint8_t* slot = JumboSlot(frame, length, header, k);
    if (slot == nullptr) {
      // Slots lie in order, so every later one is cut short too.
      VLOG(3) << "Jumbo slot " << k << " ends beyond the datagram, rest skipped";
      break;
    }
    if (!HasArtnetId(slot, header.size)) {
      VLOG(3) << "Not Artnet packet inside Jumbo";
      continue;
    }
    VLOG(3) << "Got Artnet packet inside Jumbo with";
    if (header.size >= kArtnetHeaderSize && ArtnetOpcode(slot) == kOpDmx) {
      MatchArtnetInputStream(slot, static_cast<int>(header.size), sender.sin_addr);
    }
  }
}
