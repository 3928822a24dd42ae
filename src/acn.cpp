#include "acn.h"

#include <arpa/inet.h>

void AcnPacket::PreFill(uint32_t universeNumber, uint8_t priorityValue, std::string_view cidText) {
  (void)cidText;
  universe = universeNumber;
  priority = priorityValue;
  destination.sin_family = AF_INET;
  destination.sin_port = htons(5568);
  destination.sin_addr.s_addr =
      htonl((239u << 24) | (255u << 16) | ((universe >> 8 & 0xFF) << 8) | (universe & 0xFF));
}
