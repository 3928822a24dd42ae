// The write operations: what each one does to data, counters and the flag.
// The HTP merge is covered with its rule.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "fake_clock.h"
#include "port_threads/port_threads.h"
#include "stream.h"

namespace {

using Counters = std::tuple<uint32_t, uint32_t, bool>;  // writes, changes, flag

class StreamWrite : public ::testing::Test {
 protected:
  void SetUp() override { UseFakeClock({100, 0}); }
  Counters Counts() const { return {s.writeCount, s.changeCount, s.IsChanged()}; }

  Stream s{0, std::make_unique<StreamEndpoint>(kStreamVirtual)};
};

// A short frame that changes only its channels is covered on the real binary.
TEST_F(StreamWrite, UnchangedFrameCountsOnlyTheCall) {
  std::vector<uint8_t> frame(512, 0);
  s.Write(frame.data(), 512, 0);
  EXPECT_EQ(Counts(), Counters(1, 0, false));
  EXPECT_EQ(s.lastChange.tv_sec, 0);
  s.Write(frame.data(), 512, 1);  // stamp-first renews the time all the same
  EXPECT_EQ(s.lastChange.tv_sec, 100);
}

TEST_F(StreamWrite, LengthsBeyondTheBufferAreClipped) {
  std::vector<uint8_t> big(2000, 0x55);
  s.Write(big.data(), 2000, 0);
  s.WriteFrom(big.data(), 0xFFFFFFFFu, in_addr{});
  EXPECT_EQ(Counts(), Counters(2, 1, true));
  s.WriteAt(512, 1);  // past the end: counted, nothing written
  s.WriteAt(0xFFFFFFFFu, 1);
  EXPECT_EQ(s.writeCount, 4u);
  s.WriteAt(big.data(), 100, 500);  // clipped to channels 500..511
  s.WriteAt(big.data(), 5, 0xFFFFFFF0u);
  s.MergeHtp(big.data(), big.data(), 5000);
  EXPECT_EQ(s.data[511], 0x55);
}

TEST_F(StreamWrite, WriteAtRenewsWhileTheFlagIsStillSet) {
  s.WriteAt(3, 200);
  FakeNow.tv_sec += 2;
  s.WriteAt(3, 200);  // same value, flag still up from this tick
  EXPECT_EQ(Counts(), Counters(2, 2, true));
  EXPECT_EQ(s.lastChange.tv_sec, 102);
  s.ClearChanged();
  s.WriteAt(3, 200);
  EXPECT_EQ(Counts(), Counters(3, 2, false));
  const uint8_t src[4] = {1, 2, 3, 4};  // a range counts once per call
  s.WriteAt(src, 4, 10);
  EXPECT_EQ(Counts(), Counters(4, 3, true));
}

TEST_F(StreamWrite, ReceivedFramesHandOverTheSlotsBehindAStartCodeOfZero) {
  std::vector<uint8_t> frame(513, 0x21);
  frame[0] = 0xCC;  // an RDM packet is not DMX
  EXPECT_FALSE(HandleReceivedDmxFrame(&s, frame.data(), 513));
  EXPECT_EQ(Counts(), Counters(0, 0, false));
  frame[0] = 0;
  EXPECT_TRUE(HandleReceivedDmxFrame(&s, frame.data(), 25));  // a short frame: 24 channels
  EXPECT_EQ(s.data[23], 0x21);
  EXPECT_EQ(s.data[24], 0);
  EXPECT_FALSE(HandleReceivedDmxFrame(&s, frame.data(), 0));
  EXPECT_FALSE(HandleReceivedDmxFrame(&s, frame.data(), -1));
}

}  // namespace
