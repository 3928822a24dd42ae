#pragma once
// The sACN (E1.31) part of an sACN stream: its universe, the source CID it
// accepts on input, and its data packet, pre-filled once and completed on
// every send.
#include <netinet/in.h>

#include <cstdint>
#include <string_view>

constexpr uint32_t kSacnPacketSize = 638;
constexpr uint32_t kSacnDataOffset = 126;

class AcnPacket {
 public:
  // Fills everything of the data packet that does not change per send.
  void PreFill(uint32_t universe, uint8_t priority, std::string_view cidText);

  uint32_t universe = 0;
  uint8_t priority = 0;
  uint8_t cidFilter[16] = {};
  uint8_t packet[kSacnPacketSize] = {};
  struct sockaddr_in destination = {};
};
