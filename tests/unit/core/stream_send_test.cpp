// What Stream::Send hands to the datagram seam, and when: every kind's
// datagram byte for byte with the socket it leaves from and where it goes,
// the changed flag, the sACN sequence and the sends that must not happen.
// No socket is opened.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocols/sockets.h"
#include "receiver_test_support.h"
#include "stream.h"
#include "streams/network_streams.h"

namespace {

constexpr int kArtnetFd = 1101;
constexpr int kSacnFd = 1102;

ssize_t FailSend(int, const struct sockaddr_in&, const uint8_t*, size_t) { return -1; }

class StreamSend : public ReceiverTest {
 protected:
  void SetUp() override {
    ReceiverTest::SetUp();
    inet_aton("10.255.255.255", &BroadcastAddress);
    for (uint8_t i = 0; i < 16; ++i) SacnCid[i] = static_cast<uint8_t>(0xC0 + i);
    ArtnetRxSocket = kArtnetFd;  // every stream copies its socket when built
    SacnSendSocket = kSacnFd;
  }
  void TearDown() override { ArtnetRxSocket = SacnSendSocket = -1; }
};

// The sACN packet of universe 300, priority 120, as its first send leaves.
std::vector<uint8_t> SacnHead() {
  std::vector<uint8_t> h = {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-', 'E', '1', '.', '1', '7',
                            0, 0, 0, 0x72, 0x6E, 0x00, 0x00, 0x00, 0x04};
  for (uint8_t i = 0; i < 16; ++i) h.push_back(static_cast<uint8_t>(0xC0 + i));  // the CID
  h = Cat({h, {0x72, 0x58, 0x00, 0x00, 0x00, 0x02, 'C', 'V', 'M', 'k', '2', ' ', 'U', ':', '3',
               '0', '0'}});
  h.resize(108, 0);  // the source name, NUL-padded to 64
  //               priority, reserved, sequence
  return Cat({h, {120, 0, 0, 1, 0, 0x01, 0x2C, 0x72, 0x0B, 0x02, 0xA1, 0x00, 0x00, 0x00, 0x01,
                  0x02, 0x01, 0x00}});
}

const char* const kSacnOut = "S300120000000000000" "00000000-0000-0000-0000-000000000000" " \n";

// An empty header: the kind never sends; only an input keeps its flag for
// the rules to see. A send that does not go out is not retried: the flag is
// cleared all the same and the next send waits for the next change.
TEST_F(StreamSend, EachKindSendsItsDatagramWhenChangedOrForced) {
  const std::vector<uint8_t> channels = Ramp({}, 512, 7);
  const struct {
    uint32_t kind;
    const char* text;
    std::vector<uint8_t> header;
    int fd = 0;
    const char* to = nullptr;
    uint16_t port = 0;
    bool keepsFlag = false;
  } rows[] = {
      {kStreamNetwork, "A300255255255255O\n",  // universe low byte first, Length high first
       ArtOp(0x50, {0x00, 0x0E, 0x00, 0x00, 0x2C, 0x01, 0x02, 0x00}), kArtnetFd,
       "10.255.255.255", 6454},
      {kStreamNetwork, "A001010000000009O\n",
       ArtOp(0x50, {0x00, 0x0E, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00}), kArtnetFd, "10.0.0.9", 6454},
      {kStreamNetwork, "E300010000000009O\n", {'Q', 'S', 'D', 'D', 44, 0, 0, 0x02, 0x00},
       kArtnetFd, "10.0.0.9", 3333},
      {kStreamNetwork, kSacnOut, SacnHead(), kSacnFd, "239.255.1.44", 5568},
      {kStreamNxb, "XO010000000009\n", {'Q', 'S', 'O', 'O', 1}, kArtnetFd, "10.0.0.9", 3333},
      {kStreamNxb, "XI010000000009\n", {}, 0, nullptr, 0, true},
      {kStreamNetwork, "A001010000000009I\n", {}, 0, nullptr, 0, true},
      {kStreamNetwork, "K001000000000001000000000000O\n", {}},
      {kStreamNetwork, "X001255255255255O\n", {}},
      {kStreamVirtual, "\n", {}},
  };
  for (const auto& r : rows) {
    Captured().clear();
    Stream* s = AddStream(r.kind, r.text);
    s->Write(channels.data(), 512, 0);
    // Every header byte is written: none of an earlier datagram shows.
    NetworkEndpoint* n = s->As<NetworkEndpoint>();
    if (n != nullptr) std::memset(n->packet, 0xEE, sizeof(n->packet));
    EXPECT_EQ(s->SendsData(), !r.header.empty()) << r.text;
    s->Send(0, 0, RecordDatagram);
    EXPECT_EQ(s->IsChanged(), r.keepsFlag) << r.text;
    if (r.header.empty()) {
      EXPECT_TRUE(Captured().empty()) << r.text;
      // Should a send ever reach a kind with nowhere to go, it builds nothing.
      uint8_t out[kStreamPacketSize];
      if (!r.keepsFlag) {
        EXPECT_EQ(BuildStreamDatagram(*s, channels.data(), out).length, 0u) << r.text;
      }
      continue;
    }
    ASSERT_EQ(Captured().size(), 1u) << r.text;
    const SentDatagram& d = Captured()[0];
    EXPECT_EQ(d.bytes, Cat({r.header, channels})) << r.text;
    EXPECT_EQ(d.fd, r.fd) << r.text;
    EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr(r.to)) << r.text;
    EXPECT_EQ(ntohs(d.to.sin_port), r.port) << r.text;
    s->Send(0, 0, RecordDatagram);
    EXPECT_EQ(Captured().size(), 1u) << r.text << ": unchanged and not forced";
    s->Send(1, 1, RecordDatagram);
    EXPECT_EQ(Captured().size(), 2u) << r.text << ": forced";
    s->Write(Ramp({}, 512, 99).data(), 512, 0);
    s->Send(0, 0, FailSend);
    EXPECT_FALSE(s->IsChanged()) << r.text << ": failed";
  }
}

// Each send counts one on; 256 sends come round to where they started.
TEST_F(StreamSend, SacnSequenceAdvancesPerSend) {
  Stream* s = AddStream(kStreamNetwork, kSacnOut);
  for (int i = 0; i < 257; ++i) s->Send(1, 0, RecordDatagram);
  ASSERT_EQ(Captured().size(), 257u);
  for (int i = 0; i < 257; ++i) ASSERT_EQ(Captured()[i].bytes[111], (i + 1) % 256) << i;
}

}  // namespace
