// What Stream::Send puts on the wire, read back from a loopback socket. Each
// test listens on its own 127.x address, since the send sets the well-known
// destination port itself.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "artnet_test_support.h"
#include "protocols/sockets.h"
#include "stream.h"

namespace {

class Listener {
 public:
  explicit Listener(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    for (uint32_t attempt = 0; attempt < 200; ++attempt) {
      uint32_t host = 20 + (static_cast<uint32_t>(getpid()) + attempt) % 200;
      address_ = {};
      address_.sin_family = AF_INET;
      address_.sin_port = htons(port);
      address_.sin_addr.s_addr = htonl(0x7F000000u | (host << 8) | 0x11);
      if (bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof(address_)) == 0) return;
    }
    ADD_FAILURE() << "no loopback address free for port " << port;
  }
  ~Listener() { close(fd_); }

  struct in_addr Address() const { return address_.sin_addr; }

  // The next datagram already queued; loopback delivery is done by the time
  // sendto returns, so an empty queue means nothing was sent.
  std::vector<uint8_t> Next() {
    std::vector<uint8_t> buffer(2048);
    ssize_t n = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    buffer.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return buffer;
  }

 private:
  int fd_ = -1;
  struct sockaddr_in address_ = {};
};

class StreamSend : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    sendFd_ = socket(AF_INET, SOCK_DGRAM, 0);
  }
  void TearDown() override {
    close(sendFd_);
    ArtnetRxSocket = -1;
    ArtnetTest::TearDown();
  }
  Stream* Network(const std::string& line) {
    Configure(line);
    Stream* s = StreamTable[StreamCount - 1];
    s->sendSocket = sendFd_;
    return s;
  }
  static void Fill(Stream* s, uint8_t seed) {
    std::vector<uint8_t> v;
    for (uint32_t i = 0; i < 512; ++i) v.push_back(static_cast<uint8_t>(i * 3 + seed));
    s->Write(v.data(), 512, 0);
  }
  static std::vector<uint8_t> Data(const Stream* s) {
    return std::vector<uint8_t>(s->data, s->data + 512);
  }
  static std::vector<uint8_t> Join(std::vector<uint8_t> head, const std::vector<uint8_t>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  }
  int sendFd_ = -1;
};

TEST_F(StreamSend, ArtDmxOut) {
  Listener node(6454);
  Stream* s = Network("SA001255255255255O\n");
  s->artnetUniverse = 0x1234;
  s->artnetAddress.sin_addr = node.Address();
  s->artnetAddress.sin_port = 0;  // the send sets the port itself
  Fill(s, 5);

  s->Send(0, 0);
  EXPECT_EQ(node.Next(), Join({'A', 'r', 't', '-', 'N', 'e', 't', 0x00, 0x00, 0x50, 0x00, 0x0E,
                               0x00, 0x00, 0x34, 0x12, 0x02, 0x00},
                              Data(s)));
  EXPECT_FALSE(s->IsChanged());

  s->Send(0, 0);
  EXPECT_TRUE(node.Next().empty()) << "unchanged and not forced";
  s->Send(1, 1);
  EXPECT_EQ(node.Next().size(), 530u) << "forced";
}

TEST_F(StreamSend, InputStreamsAreNeverSentAndKeepTheirFlag) {
  Listener node(6454);
  Stream* s = Network("SA001255255255255I\n");
  s->artnetAddress.sin_addr = node.Address();
  Fill(s, 1);
  s->Send(1, 0);
  EXPECT_TRUE(node.Next().empty());
  EXPECT_TRUE(s->IsChanged());
  EXPECT_FALSE(s->SendsData());
}

TEST_F(StreamSend, QspDataOut) {
  Listener node(3333);
  Stream* s = Network("SE300255255255255O\n");
  s->qspAddress.sin_addr = node.Address();
  Fill(s, 9);
  s->Send(0, 0);
  EXPECT_EQ(node.Next(), Join({'Q', 'S', 'D', 'D', 44, 0, 0, 0x02, 0x00}, Data(s)));
  EXPECT_FALSE(s->IsChanged());
}

TEST_F(StreamSend, NxbFrameOut) {
  Listener node(3333);
  ArtnetRxSocket = sendFd_;  // the NXB frame leaves from the Art-Net socket
  Configure("DXO127000000001\n");
  Stream* s = StreamTable[0];
  s->nxbAddress.sin_addr = node.Address();
  Fill(s, 2);
  s->Send(0, 0);
  EXPECT_EQ(node.Next(), Join({'Q', 'S', 'O', 'O', 1}, Data(s)));
  EXPECT_FALSE(s->IsChanged());

  Configure("DXI127000000001\n");
  Stream* in = StreamTable[1];
  in->nxbAddress.sin_addr = node.Address();
  Fill(in, 3);
  in->Send(1, 0);
  EXPECT_TRUE(node.Next().empty());
  EXPECT_TRUE(in->IsChanged());
}

TEST_F(StreamSend, SacnSequenceCountsEverySend) {
  Listener node(5568);
  Stream* s = Network("SS001100000000000000" + std::string(36, '0') + "O\n");
  s->acn.destination.sin_addr = node.Address();
  Fill(s, 4);
  s->Send(0, 0);
  std::vector<uint8_t> first = node.Next();
  ASSERT_EQ(first.size(), 638u);
  EXPECT_EQ(first[123], 0x02);  // 513 property values: start code and 512 slots
  EXPECT_EQ(first[124], 0x01);
  EXPECT_EQ(std::vector<uint8_t>(first.begin() + 126, first.end()), Data(s));
  s->Send(1, 0);
  std::vector<uint8_t> second = node.Next();
  ASSERT_EQ(second.size(), 638u);
  EXPECT_EQ(static_cast<uint8_t>(second[111] - first[111]), 1);
  for (int i = 0; i < 255; ++i) s->Send(1, 0);
  while (node.Next().size() == 638u) {
  }
  s->Send(1, 0);
  EXPECT_EQ(node.Next()[111], second[111]) << "256 sends later the sequence is back";
}

TEST_F(StreamSend, StreamsWithNowhereToSendOnlyClearTheirFlag) {
  Listener node(6454);
  Configure("V\nSK001000000000001000000000000O\nSX001255255255255O\n");
  for (uint32_t i = 0; i < StreamCount; ++i) {
    Stream* s = StreamTable[i];
    s->sendSocket = sendFd_;
    Fill(s, 1);
    s->Send(0, 0);
    EXPECT_FALSE(s->IsChanged()) << i;
    EXPECT_FALSE(s->SendsData()) << i;
  }
  EXPECT_TRUE(node.Next().empty());
}

}  // namespace
