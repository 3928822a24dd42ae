// What Stream::Send puts on the wire, read back from a loopback socket on a
// port the system picks: QSP and NXB streams send to the port their address
// holds. Art-Net and sACN outputs set their well-known port on every send,
// so their datagrams are checked on the real binary, in a namespace of its
// own, and never here where another program may hold the port.
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
  Listener() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    address_.sin_family = AF_INET;
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address_);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof(address_)) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length) != 0) {
      ADD_FAILURE() << "no loopback socket";
    }
  }
  ~Listener() { close(fd_); }

  const struct sockaddr_in& Address() const { return address_; }

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
    struct sockaddr_in Stream::*address;
    std::vector<uint8_t> header;
  } rows[] = {
      {"SE300255255255255O\n", &Stream::qspAddress, {'Q', 'S', 'D', 'D', 44, 0, 0, 2, 0}},
      {"DXO127000000001\n", &Stream::nxbAddress, {'Q', 'S', 'O', 'O', 1}},
  };
  for (const auto& r : rows) {
    Listener node;
    Stream* s = Filled(r.line, static_cast<uint8_t>(StreamCount));
    s->*r.address = node.Address();
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
  Listener node;
  for (auto [line, keepsFlag] : {std::pair<const char*, bool>{"DXI127000000001\n", true},
                                 {"V\n", false},
                                 {"SK001000000000001000000000000O\n", false},
                                 {"SX001255255255255O\n", false}}) {
    Stream* s = Filled(line);
    s->nxbAddress = node.Address();
    s->Send(1, 0);
    EXPECT_EQ(s->IsChanged(), keepsFlag) << line;
    EXPECT_FALSE(s->SendsData()) << line;
  }
  EXPECT_TRUE(node.Next().empty());
}

}  // namespace
