// The receive loop's wake: every datagram already queued is handed over in
// arrival order, each with its own bytes, length and sender. Real datagrams
// on loopback, between sockets on ports the kernel picks.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "protocols/receive_endpoints.h"
#include "protocols/sockets.h"
#include "receiver_test_support.h"

namespace {

// Handled datagrams are recorded as sent ones are, the sender in place of
// the destination.
void RecordHandled(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                   DatagramSender) {
  RecordDatagram(0, sender, packet, length);
}

constexpr uint32_t kSlotSize = 16;

struct sockaddr_in LocalAddress(int fd) {
  struct sockaddr_in a = {};
  socklen_t length = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return a;
}

class ReceiveBatchTest : public ReceiverTest {
 protected:
  void SetUp() override {
    ReceiverTest::SetUp();
    // Port 0: the kernel picks a free one. The engine's own opener, so a
    // failure ends the run as it would end the engine.
    for (int* fd : {&receiver_, &senders_[0], &senders_[1]}) {
      *fd = OpenBroadcastUdpSocket(0, "cannot open a test socket", "cannot bind a test socket");
    }
    endpoint_.socket = &receiver_;
    endpoint_.bufferSize = kSlotSize;
    endpoint_.handle = RecordHandled;
  }
  void TearDown() override {
    for (int fd : {receiver_, senders_[0], senders_[1]}) close(fd);
  }

  int receiver_ = -1;
  int senders_[2] = {-1, -1};
  ReceiveEndpoint endpoint_ = {};
};

// A loopback send is normally queued before sendto returns, so one wake finds
// all it has room for; a loaded machine may hand some to the kernel's softirq
// thread, and a later wake takes them. A queue longer than the batch is taken
// over several wakes, slots reused without a trace of what they held before.
TEST_F(ReceiveBatchTest, QueuedDatagramsAreHandedOverInArrivalOrder) {
  const struct {
    int from;
    std::vector<uint8_t> sent;
  } rows[] = {
      {0, Ramp({}, kSlotSize, 0x10)},
      {1, {0x7E}},                          // short
      {0, Ramp({}, kSlotSize + 24, 0x40)},  // cut to the slot
      {1, {}},                              // empty
      {1, Ramp({}, kSlotSize, 0xA0)},
      {0, Ramp({}, 3, 0xF0)},  // shorter than what the slot held before
      {0, Ramp({}, kSlotSize, 0x20)},
      {1, Ramp({}, 2, 0x30)},
      {0, Ramp({}, kSlotSize, 0x50)},
      {1, Ramp({}, 2, 0x60)},
  };
  struct sockaddr_in to = LocalAddress(receiver_);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // bound to every address
  for (const auto& r : rows) {
    ASSERT_EQ(sendto(senders_[r.from], r.sent.data(), r.sent.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof(to)),
              static_cast<ssize_t>(r.sent.size()));
  }

  constexpr uint32_t kSlots = 4;
  ReceiveBatch batch(kSlotSize, kSlots);
  std::vector<uint32_t> wakes;
  while (Captured().size() < std::size(rows)) {
    wakes.push_back(ServeBatch(endpoint_, batch, CaptureDatagram));
  }
  EXPECT_LT(wakes.size(), std::size(rows)) << "one wake a datagram: nothing was batched";
  for (uint32_t taken : wakes) EXPECT_LE(taken, kSlots);
  ASSERT_EQ(Captured().size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const SentDatagram& h = Captured()[i];
    const std::vector<uint8_t>& sent = rows[i].sent;
    EXPECT_EQ(h.bytes, Bytes(sent.data(), std::min<size_t>(sent.size(), kSlotSize))) << i;
    // Both senders are on loopback: the port tells them apart.
    EXPECT_EQ(h.to.sin_port, LocalAddress(senders_[rows[i].from]).sin_port) << i;
  }
}

// A receive that fails hands nothing over: the loop goes on waiting.
TEST_F(ReceiveBatchTest, FailedReceiveHandsNothing) {
  int closed = -1;
  endpoint_.socket = &closed;
  ReceiveBatch batch(kSlotSize);
  EXPECT_EQ(ServeBatch(endpoint_, batch, CaptureDatagram), 0u);
  EXPECT_TRUE(Captured().empty());
}

}  // namespace
