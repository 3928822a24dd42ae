#pragma once
// Shared set-up of the QSP and KiNet receiver tests: a stream table built
// from configuration lines, a known device identity, and the replies the
// handlers hand to their sender, captured instead of sent.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config_file.h"
#include "device_identity.h"
#include "stream.h"
#include "unmatched_table.h"

namespace receiver_test {

struct Sent {
  struct sockaddr_in to;
  std::vector<uint8_t> bytes;
};

inline std::vector<Sent>& Replies() {
  static std::vector<Sent> sent;
  return sent;
}

inline void Capture(const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  Replies().push_back({to, std::vector<uint8_t>(bytes, bytes + length)});
}

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

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStreams();
    ClearUnmatchedTable();
    Replies().clear();
    ResetDeviceIdentity();
    inet_aton("10.1.2.3", &IpAddress);
    inet_aton("10.255.255.255", &BroadcastAddress);
    const int mac[6] = {0x00, 0x50, 0xC2, 0x1A, 0x2B, 0x3C};
    std::memcpy(MacAddress, mac, sizeof(mac));
    std::strcpy(DeviceName, "Gateway");
    BoardType = 7;
    SerialNumber = 0x01020304;
  }
  void TearDown() override { ClearStreams(); }

  static void Configure(const std::string& text) { ProcessConfigText(text); }

  static void ClearStreams() {
    for (uint32_t i = 0; i < kStreamTableSize; ++i) {
      delete StreamTable[i];
      StreamTable[i] = nullptr;
    }
    StreamCount = 0;
  }

  static const Stream& At(uint32_t i) { return *StreamTable[i]; }
};

}  // namespace receiver_test
