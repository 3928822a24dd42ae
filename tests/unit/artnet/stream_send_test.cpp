// What Stream::Send puts on the wire, read back from a loopback socket. Each
// test listens on its own 127.x address, since the send sets the well-known
// destination port itself.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "receiver_test_support.h"
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
    ArtnetRxSocket = sendFd_;  // NXB frames leave from the Art-Net socket
  }
  void TearDown() override {
    close(sendFd_);
    ArtnetRxSocket = -1;
    ArtnetTest::TearDown();
  }
  // A stream from one configuration line, filled with changed data.
  Stream* Filled(const std::string& line, uint8_t seed = 1) {
    ProcessConfigText(line);
    Stream* s = StreamTable[StreamCount - 1];
    s->sendSocket = sendFd_;
    s->Write(Ramp({}, 512, seed).data(), 512, 0);
    return s;
  }
  int sendFd_ = -1;
};

TEST_F(StreamSend, EachOutputSendsItsPacketAndClearsTheFlag) {
  const struct {
    const char* line;
    uint16_t port;
    struct sockaddr_in Stream::*address;
    std::vector<uint8_t> header;
  } rows[] = {
      {"SA300255255255255O\n", 6454, &Stream::artnetAddress,
       ArtOp(0x50, {0x00, 0x0E, 0x00, 0x00, 0x2C, 0x01, 0x02, 0x00})},
      {"SE300255255255255O\n", 3333, &Stream::qspAddress, {'Q', 'S', 'D', 'D', 44, 0, 0, 2, 0}},
      {"DXO127000000001\n", 3333, &Stream::nxbAddress, {'Q', 'S', 'O', 'O', 1}},
  };
  for (const auto& r : rows) {
    Listener node(r.port);
    Stream* s = Filled(r.line, static_cast<uint8_t>(StreamCount));
    (s->*r.address).sin_addr = node.Address();
    s->Send(0, 0);
    std::vector<uint8_t> expected = r.header;
    expected.insert(expected.end(), s->data, s->data + 512);
    EXPECT_EQ(node.Next(), expected) << r.line;
    EXPECT_FALSE(s->IsChanged()) << r.line;
    s->Send(0, 0);
    EXPECT_TRUE(node.Next().empty()) << r.line << ": unchanged and not forced";
    s->Send(1, 1);
    EXPECT_EQ(node.Next().size(), r.header.size() + 512) << r.line << ": forced";
  }
}

// Even a forced send puts nothing on the wire for these; only an input keeps
// its flag for the rules to see.
TEST_F(StreamSend, StreamsThatSendNothing) {
  Listener node(3333);
  for (auto [line, keepsFlag] : {std::pair<const char*, bool>{"DXI127000000001\n", true},
                                 {"V\n", false},
                                 {"SK001000000000001000000000000O\n", false},
                                 {"SX001255255255255O\n", false}}) {
    Stream* s = Filled(line);
    s->nxbAddress.sin_addr = node.Address();
    s->Send(1, 0);
    EXPECT_EQ(s->IsChanged(), keepsFlag) << line;
    EXPECT_FALSE(s->SendsData()) << line;
  }
  EXPECT_TRUE(node.Next().empty());
}

}  // namespace
