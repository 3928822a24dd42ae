// The datagram of every stream kind, byte for byte, with the socket it
// leaves from and where it goes: no socket is opened.
#include "streams/network_streams.h"
#include "streams/stream_datagram.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/sockets.h"
#include "receiver_test_support.h"

namespace {

constexpr int kArtnetFd = 1101;
constexpr int kSacnFd = 1102;

class StreamDatagrams : public ReceiverTest {
 protected:
  void SetUp() override {
    ReceiverTest::SetUp();
    inet_aton("10.255.255.255", &BroadcastAddress);
    for (uint8_t i = 0; i < 16; ++i) SacnCid[i] = static_cast<uint8_t>(0xC0 + i);
    ArtnetRxSocket = kArtnetFd;  // every stream copies its socket when built
    SacnSendSocket = kSacnFd;
  }
  void TearDown() override {
    ArtnetRxSocket = SacnSendSocket = -1;
    std::memset(SacnCid, 0, sizeof(SacnCid));
  }
};

std::vector<uint8_t> Cat(std::vector<uint8_t> head, const std::vector<uint8_t>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The sACN packet of universe 300, priority 120, before its first send.
std::vector<uint8_t> SacnHead() {
  std::vector<uint8_t> h = {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-', 'E', '1', '.', '1', '7',
                            0, 0, 0, 0x72, 0x6E, 0x00, 0x00, 0x00, 0x04};
  for (uint8_t i = 0; i < 16; ++i) h.push_back(static_cast<uint8_t>(0xC0 + i));  // the CID
  h = Cat(h, {0x72, 0x58, 0x00, 0x00, 0x00, 0x02, 'C', 'V', 'M', 'k', '2', ' ', 'U', ':', '3',
              '0', '0'});
  h.resize(108, 0);  // the source name, NUL-padded to 64
  return Cat(h, {120, 0, 0, 0, 0, 0x01, 0x2C, 0x72, 0x0B, 0x02, 0xA1, 0x00, 0x00, 0x00, 0x01,
                 0x02, 0x01, 0x00});
}

// An empty header: the kind sends no datagram and leaves the buffer alone.
TEST_F(StreamDatagrams, EachKindBuildsItsDatagramOrNone) {
  const std::vector<uint8_t> channels = Ramp({}, 512, 7);
  const struct {
    uint32_t kind;
    const char* text;
    std::vector<uint8_t> header;
    int fd = 0;
    const char* to = nullptr;
    uint16_t port = 0;
  } rows[] = {
      {kStreamNetwork, "A300255255255255O\n",  // universe low byte first, Length high first
       ArtOp(0x50, {0x00, 0x0E, 0x00, 0x00, 0x2C, 0x01, 0x02, 0x00}), kArtnetFd,
       "10.255.255.255", 6454},
      {kStreamNetwork, "A001010000000009O\n",
       ArtOp(0x50, {0x00, 0x0E, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00}), kArtnetFd, "10.0.0.9", 6454},
      {kStreamNetwork, "E300010000000009O\n", {'Q', 'S', 'D', 'D', 44, 0, 0, 0x02, 0x00},
       kArtnetFd, "10.0.0.9", 3333},
      {kStreamNetwork, "S300120000000000000" "00000000-0000-0000-0000-000000000000" " \n",
       SacnHead(), kSacnFd, "239.255.1.44", 5568},
      {kStreamNxb, "XO010000000009\n", {'Q', 'S', 'O', 'O', 1}, kArtnetFd, "10.0.0.9", 3333},
      {kStreamNetwork, "K001000000000001000000000000O\n", {}},
      {kStreamNetwork, "X001255255255255O\n", {}},
      {kStreamVirtual, "\n", {}},
  };
  for (const auto& r : rows) {
    const std::unique_ptr<Stream> s = BuildStream(r.kind, r.text);
    std::vector<uint8_t> out(kStreamPacketSize, 0xEE);
    const StreamDatagram d = BuildStreamDatagram(*s, channels.data(), out.data());
    if (r.header.empty()) {
      EXPECT_EQ(d.length, 0u) << r.text;
      EXPECT_EQ(out, std::vector<uint8_t>(kStreamPacketSize, 0xEE)) << r.text;
      continue;
    }
    out.resize(d.length);
    EXPECT_EQ(out, Cat(r.header, channels)) << r.text;
    EXPECT_EQ(d.socket, r.fd) << r.text;
    EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr(r.to)) << r.text;
    EXPECT_EQ(ntohs(d.to.sin_port), r.port) << r.text;
  }
}

}  // namespace
