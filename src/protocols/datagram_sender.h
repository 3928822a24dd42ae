#pragma once
// How the receive handlers put a reply on the wire: the threads send from
// their own socket; tests and fuzzers capture or discard.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "protocols/byte_order.h"

using DatagramSender = void (*)(const struct sockaddr_in& to, const uint8_t* bytes,
                                size_t length);

// The address word as the logs print it: its four bytes as they lie in
// memory, read little-endian (192.168.1.10 prints as 167880896).
inline uint32_t LoggedAddressNumber(struct in_addr address) {
  return GetU32Le(reinterpret_cast<const uint8_t*>(&address.s_addr));
}
