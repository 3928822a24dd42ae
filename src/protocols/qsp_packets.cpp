#include "protocols/qsp_packets.h"

#include <cstring>

void BuildQspDataHeader(uint8_t* out, uint32_t universe) {
  std::memcpy(out, "QSDD", 4);
  out[4] = static_cast<uint8_t>(universe & 0xFF);
  out[5] = 0;
  out[6] = 0;  // not read by receivers; zero rather than whatever was there
  out[7] = 0x02;  // data length 512, high byte first
  out[8] = 0x00;
}
