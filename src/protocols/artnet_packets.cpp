#include "protocols/artnet_packets.h"

#include <cstring>

void BuildArtDmxHeader(uint8_t* out, uint32_t universe) {
  std::memcpy(out, "Art-Net", 8);  // with its terminating zero
  out[8] = 0x00;                   // OpDmx 0x5000, low byte first
  out[9] = 0x50;
  out[10] = 0;                     // ProtVerHi
  out[11] = 14;                    // ProtVerLo
  out[12] = 0;                     // Sequence: not used
  out[13] = 0;                     // Physical
  out[14] = static_cast<uint8_t>(universe & 0xFF);
  out[15] = static_cast<uint8_t>((universe >> 8) & 0xFF);
  out[16] = 0x02;                  // Length 512, high byte first
  out[17] = 0x00;
}
