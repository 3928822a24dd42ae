#pragma once
// The one way a datagram leaves the engine, replies and stream output alike:
// a socket, a destination and the bytes, handed to a send function. The
// engine's function is sendto; tests and fuzzers capture or discard.
#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "protocols/byte_order.h"

// Returns the bytes sent, or -1.
using SendFunction = ssize_t (*)(int fd, const struct sockaddr_in& to, const uint8_t* bytes,
                                 size_t length);

// sendto on a real socket.
ssize_t SendDatagram(int fd, const struct sockaddr_in& to, const uint8_t* bytes, size_t length);

// A socket to send from, with the function that sends.
class DatagramSender {
 public:
  constexpr DatagramSender(int fd, SendFunction send) : fd_(fd), send_(send) {}

  // Whether the whole datagram went out.
  bool operator()(const struct sockaddr_in& to, const uint8_t* bytes, size_t length) const {
    return send_(fd_, to, bytes, length) == static_cast<ssize_t>(length);
  }

 private:
  int fd_;
  SendFunction send_;
};

// What every endpoint does with a datagram that arrived: `packet` holds
// `length` bytes, all of them received; replies go out through `reply`.
using DatagramHandler = void (*)(const uint8_t* packet, size_t length,
                                 const struct sockaddr_in& sender, DatagramSender reply);

// The address word as the logs print it: its four bytes as they lie in
// memory, read little-endian (192.168.1.10 prints as 167880896).
inline uint32_t LoggedAddressNumber(struct in_addr address) {
  return GetU32Le(reinterpret_cast<const uint8_t*>(&address.s_addr));
}
