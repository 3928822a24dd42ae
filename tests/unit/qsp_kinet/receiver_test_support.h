#pragma once
// Shared set-up of the QSP and KiNet receiver tests, on top of the Art-Net
// one: stream lines, peers and channel ramps.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "artnet/artnet_test_support.h"

namespace receiver_test {

inline struct sockaddr_in Peer(const char* address, uint16_t port) {
  struct sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_aton(address, &a.sin_addr);
  return a;
}

inline std::string Dotted(const struct sockaddr_in& a) { return inet_ntoa(a.sin_addr); }

// A QSP stream line: universe (3 digits), input or output.
inline std::string QspLine(int universe, bool input) {
  char line[40];
  std::snprintf(line, sizeof(line), "SE%03d000000000000%c\n", universe, input ? 'I' : 'O');
  return line;
}

// A KiNet stream line: port (3 digits), a KiNet universe, an unused address,
// input or output.
inline std::string KinetLine(int port, bool input) {
  char line[40];
  std::snprintf(line, sizeof(line), "SK%03d000000000001000000000000%c\n", port,
                input ? 'I' : 'O');
  return line;
}

// `n` bytes, byte i holding (i + seed) & 0xFF.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i + seed);
  return v;
}

// The Art-Net set-up (identity, stream table, captured replies) with the
// identity fields the QSP and KiNet replies carry besides.
class ReceiverTest : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    BoardType = 7;
    SerialNumber = 0x01020304;
  }

  static const Stream& At(uint32_t i) { return *StreamTable[i]; }
};

}  // namespace receiver_test
