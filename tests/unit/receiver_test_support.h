#pragma once
// Shared set-up of the receiver tests of every protocol: a stream table built
// from configuration lines, a known device identity, and the datagrams the
// handlers hand to their sender, captured instead of sent.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "protocols/datagram_sender.h"
#include "stream.h"
#include "process_state.h"
#include "status/unmatched_table.h"

struct SentDatagram {
  int fd;
  struct sockaddr_in to;
  std::vector<uint8_t> bytes;
};

inline std::vector<SentDatagram>& Captured() {
  static std::vector<SentDatagram> sent;
  return sent;
}

// Records the datagram as sent in full.
inline ssize_t RecordDatagram(int fd, const struct sockaddr_in& to, const uint8_t* bytes,
                              size_t length) {
  Captured().push_back({fd, to, std::vector<uint8_t>(bytes, bytes + length)});
  return static_cast<ssize_t>(length);
}

// The socket the handlers under test reply from; no real descriptor.
constexpr int kReplySocket = 1001;
inline constexpr DatagramSender CaptureDatagram(kReplySocket, RecordDatagram);

inline std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
  return std::vector<uint8_t>(p, p + n);
}

// `head` followed by `n` bytes, byte i of them holding (i + seed) & 0xFF.
inline std::vector<uint8_t> Ramp(std::vector<uint8_t> head, size_t n, uint8_t seed = 1) {
  for (size_t i = 0; i < n; ++i) head.push_back(static_cast<uint8_t>(i + seed));
  return head;
}

class ArtnetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Captured().clear();
    inet_aton("10.1.2.3", &IpAddress);
  }

  static const Stream& At(uint32_t i) { return *StreamTable[i]; }

  static struct sockaddr_in From(const char* address, uint16_t port = 6454) {
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_aton(address, &a.sin_addr);
    return a;
  }
};

// "Art-Net\0", the OpCode's high byte (low byte 0) and whatever follows.
inline std::vector<uint8_t> ArtOp(uint8_t opHigh, std::vector<uint8_t> tail = {}) {
  const uint8_t head[] = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, opHigh};
  tail.insert(tail.begin(), head, head + sizeof(head));
  return tail;
}

// An ArtDmx of `dataLength` channel bytes, channel i holding (i + seed) & 0xFF.
inline std::vector<uint8_t> ArtDmx(uint16_t universe, size_t dataLength, uint8_t seed = 1) {
  return Ramp(ArtOp(0x50, {0, 14, 0, 0, static_cast<uint8_t>(universe & 0xFF),
                           static_cast<uint8_t>(universe >> 8), 0x02, 0x00}),
              dataLength, seed);
}
