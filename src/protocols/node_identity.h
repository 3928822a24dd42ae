#pragma once
// What the reply builders say about the device: handed to them as values, so
// that the byte layouts never read the process-wide identity themselves.
#include <cstdint>

struct NodeIdentity {
  uint8_t ip[4];            // as on the wire: 10.1.2.3 is {10, 1, 2, 3}
  uint8_t mac[6];
  uint32_t serialNumber;
  uint8_t boardType;
  const char* name;         // NUL-terminated; the builders cut it to their field
};
