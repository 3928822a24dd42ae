// The receive loop's wake: every datagram already queued is handed over in
// arrival order, each with its own bytes, length and sender. Real datagrams
// on loopback, between sockets on ports the kernel picks.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "protocols/receive_endpoints.h"
#include "protocols/sockets.h"

namespace {

struct Handled {
  std::vector<uint8_t> bytes;
  uint16_t senderPort;
  uint32_t senderAddress;
};

std::vector<Handled>& HandledDatagrams() {
  static std::vector<Handled> handled;
  return handled;
}

void RecordHandled(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                   DatagramSender) {
  HandledDatagrams().push_back({std::vector<uint8_t>(packet, packet + length),
                                ntohs(sender.sin_port), ntohl(sender.sin_addr.s_addr)});
}

ssize_t SendNothing(int, const struct sockaddr_in&, const uint8_t*, size_t length) {
  return static_cast<ssize_t>(length);
}

constexpr uint32_t kSlotSize = 16;

int LoopbackSocket() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  struct sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Port 0: the kernel picks a free one.
  if (fd >= 0) bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local));
  return fd;
}

struct sockaddr_in LocalAddress(int fd) {
  struct sockaddr_in a = {};
  socklen_t length = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return a;
}

class ReceiveBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HandledDatagrams().clear();
    for (int* fd : {&receiver_, &senders_[0], &senders_[1]}) ASSERT_GE(*fd = LoopbackSocket(), 0);
    endpoint_.socket = &receiver_;
    endpoint_.bufferSize = kSlotSize;
    endpoint_.handle = RecordHandled;
  }
  void TearDown() override {
    for (int fd : {receiver_, senders_[0], senders_[1]}) close(fd);
  }

  void Send(int from, const std::vector<uint8_t>& bytes) {
    const struct sockaddr_in to = LocalAddress(receiver_);
    ASSERT_EQ(sendto(senders_[from], bytes.data(), bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof(to)),
              static_cast<ssize_t>(bytes.size()));
  }
  uint16_t SenderPort(int from) { return ntohs(LocalAddress(senders_[from]).sin_port); }

  int receiver_ = -1;
  int senders_[2] = {-1, -1};
  ReceiveEndpoint endpoint_ = {};
  const DatagramSender reply_{-1, SendNothing};
};

std::vector<uint8_t> Filled(size_t n, uint8_t first) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

// A loopback send is normally queued before sendto returns, so one wake finds
// all it has room for; a loaded machine may hand some to the kernel's softirq
// thread, and a later wake takes them. A queue longer than the batch is taken
// over several wakes, slots reused without a trace of what they held before.
TEST_F(ReceiveBatchTest, QueuedDatagramsAreHandedOverInArrivalOrder) {
  const struct {
    int from;
    std::vector<uint8_t> sent;
    std::vector<uint8_t> handled;
  } rows[] = {
      {0, Filled(kSlotSize, 0x10), Filled(kSlotSize, 0x10)},
      {1, {0x7E}, {0x7E}},                                         // short
      {0, Filled(kSlotSize + 24, 0x40), Filled(kSlotSize, 0x40)},  // cut to the slot
      {1, {}, {}},                                                 // empty
      {1, Filled(kSlotSize, 0xA0), Filled(kSlotSize, 0xA0)},
      {0, Filled(3, 0xF0), Filled(3, 0xF0)},  // shorter than what the slot held before
      {0, Filled(kSlotSize, 0x20), Filled(kSlotSize, 0x20)},
      {1, Filled(2, 0x30), Filled(2, 0x30)},
      {0, Filled(kSlotSize, 0x50), Filled(kSlotSize, 0x50)},
      {1, Filled(2, 0x60), Filled(2, 0x60)},
  };
  for (const auto& r : rows) Send(r.from, r.sent);

  constexpr uint32_t kSlots = 4;
  ReceiveBatch batch(kSlotSize, kSlots);
  std::vector<uint32_t> wakes;
  while (HandledDatagrams().size() < std::size(rows)) {
    wakes.push_back(ServeBatch(endpoint_, batch, reply_));
  }
  EXPECT_LT(wakes.size(), std::size(rows)) << "one wake a datagram: nothing was batched";
  EXPECT_GE(wakes.size(), 3u);
  for (uint32_t taken : wakes) EXPECT_LE(taken, kSlots);
  ASSERT_EQ(HandledDatagrams().size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Handled& h = HandledDatagrams()[i];
    EXPECT_EQ(h.bytes, rows[i].handled) << "datagram " << i;
    EXPECT_EQ(h.senderPort, SenderPort(rows[i].from)) << "datagram " << i;
    EXPECT_EQ(h.senderAddress, INADDR_LOOPBACK) << "datagram " << i;
  }
}

// A receive that fails hands nothing over: the loop goes on waiting.
TEST_F(ReceiveBatchTest, FailedReceiveHandsNothing) {
  int closed = LoopbackSocket();
  close(closed);
  endpoint_.socket = &closed;
  ReceiveBatch batch(kSlotSize);
  EXPECT_EQ(ServeBatch(endpoint_, batch, reply_), 0u);
  EXPECT_TRUE(HandledDatagrams().empty());
}

}  // namespace
