#pragma once
// Shared set-up of the receiver tests of every protocol: a stream table built
// from configuration lines, a known device identity, and the datagrams the
// handlers hand to their sender, captured instead of sent.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "startup/device_identity.h"
#include "dmx_types.h"
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

// The reply sender the handlers are given: a capture, so that whatever they
// send went through it, on the socket they were served from (no real one).
inline constexpr DatagramSender CaptureDatagram(1001, RecordDatagram);

inline std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
  return std::vector<uint8_t>(p, p + n);
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// `head` followed by `n` bytes, byte i of them holding (i + seed) & 0xFF.
inline std::vector<uint8_t> Ramp(std::vector<uint8_t> head, size_t n, uint8_t seed = 1) {
  for (size_t i = 0; i < n; ++i) head.push_back(static_cast<uint8_t>(i + seed));
  return head;
}

inline struct sockaddr_in From(const char* address, uint16_t port = 6454) {
  struct sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_aton(address, &a.sin_addr);
  return a;
}

// Network streams from their configuration lines, less the letter S.
inline void AddNetworkStreams(std::initializer_list<const char*> lines) {
  for (const char* line : lines) AddStream(kStreamNetwork, line);
}

inline void Receive(DatagramHandler handle, const std::vector<uint8_t>& p,
                    const char* from = "10.0.0.9") {
  // Exactly as long as the datagram: a read beyond it is an ASan report.
  const std::vector<uint8_t> exact(p);
  handle(exact.data(), exact.size(), From(from), CaptureDatagram);
}

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Captured().clear();
    inet_aton("10.1.2.3", &IpAddress);  // "our own" datagrams come from here
  }
  static const Stream& At(uint32_t i) { return *StreamTable[i]; }
};

// One datagram handed to a fresh table of network streams: the one stream it
// feeds (-1: none), whose first `written` channels then hold Ramp({}, written)
// and the rest 0; no other stream written, `unmatched` universes recorded,
// nothing sent.
struct ReceiveCase {
  const char* why;
  DatagramHandler handle;
  std::vector<uint8_t> packet;
  int fed = -1;
  uint32_t written = 0;
  uint32_t unmatched = 0;
  const char* from = "10.0.0.9";
};

// The table of the last case is left for the caller to look at further.
inline void ExpectReceived(std::initializer_list<const char*> streams,
                           const std::vector<ReceiveCase>& cases) {
  for (const ReceiveCase& c : cases) {
    SCOPED_TRACE(c.why);
    ClearStreamTable();
    ClearUnmatchedTable();
    Captured().clear();
    AddNetworkStreams(streams);
    Receive(c.handle, c.packet, c.from);
    for (uint32_t i = 0; i < StreamCount; ++i) {
      const bool fed = static_cast<int>(i) == c.fed;
      std::vector<uint8_t> expected = Ramp({}, fed ? c.written : 0);
      expected.resize(kDmxChannels, 0);
      EXPECT_EQ(StreamTable[i]->writeCount, fed ? 1u : 0u) << "stream " << i;
      EXPECT_EQ(Bytes(StreamTable[i]->data, kDmxChannels), expected) << "stream " << i;
    }
    EXPECT_EQ(UnmatchedCount, c.unmatched);
    EXPECT_TRUE(Captured().empty());
  }
}

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
