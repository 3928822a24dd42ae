#pragma once
// How the receive handlers put a reply on the wire: the threads send from
// their own socket; tests and fuzzers capture or discard.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

using DatagramSender = void (*)(const struct sockaddr_in& to, const uint8_t* bytes,
                                size_t length);

// The address word as the logs print it: its four bytes as they lie in
// memory, read little-endian (192.168.1.10 prints as 167880896).
inline uint32_t LoggedAddressNumber(struct in_addr address) {
  const auto* b = reinterpret_cast<const uint8_t*>(&address.s_addr);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}
