// The write operations: what each one does to data, counters and the flag.
#include <gtest/gtest.h>

#include <vector>

#include "clock.h"
#include "stream.h"

namespace {

struct timeval FakeNow;
struct timeval FakeClock() { return FakeNow; }

class StreamWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeNow = {100, 0};
    SetClockForTesting(FakeClock);
  }
  void TearDown() override { SetClockForTesting(nullptr); }
  void Tick(long seconds) { FakeNow.tv_sec += seconds; }

  Stream s{0, kStreamVirtual, "\n"};
};

TEST_F(StreamWrite, UnchangedFrameCountsOnlyTheCall) {
  std::vector<uint8_t> frame(512, 0);
  s.Write(frame.data(), 512, 0);
  EXPECT_EQ(s.writeCount, 1u);
  EXPECT_EQ(s.changeCount, 0u);
  EXPECT_FALSE(s.IsChanged());
  EXPECT_EQ(s.lastChange.tv_sec, 0);

  s.Write(frame.data(), 512, 1);  // stamp-first renews the time all the same
  EXPECT_EQ(s.lastChange.tv_sec, 100);
  EXPECT_FALSE(s.IsChanged());

  s.Write(frame.data(), 0, 0);
  EXPECT_EQ(s.writeCount, 3u);
  EXPECT_EQ(s.changeCount, 0u);
}

TEST_F(StreamWrite, ShortFrameChangesOnlyItsChannels) {
  std::vector<uint8_t> full(512, 7);
  s.Write(full.data(), 512, 0);
  s.ClearChanged();
  std::vector<uint8_t> twenty(20, 9);
  Tick(5);
  s.Write(twenty.data(), 20, 0);
  EXPECT_TRUE(s.IsChanged());
  EXPECT_EQ(s.changeCount, 2u);
  EXPECT_EQ(s.lastChange.tv_sec, 105);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(s.data[i], 9);
  for (int i = 20; i < 512; ++i) EXPECT_EQ(s.data[i], 7);
}

TEST_F(StreamWrite, LengthsBeyondTheBufferAreClipped) {
  std::vector<uint8_t> big(2000, 0x55);
  s.Write(big.data(), 2000, 0);
  s.WriteFrom(big.data(), 0xFFFFFFFFu, in_addr{});
  EXPECT_EQ(s.writeCount, 2u);
  EXPECT_EQ(s.changeCount, 1u);
  EXPECT_EQ(s.data[511], 0x55);

  s.WriteAt(512, 1);          // past the end: counted, nothing written
  s.WriteAt(0xFFFFFFFFu, 1);
  EXPECT_EQ(s.writeCount, 4u);
  s.WriteAt(big.data(), 100, 500);  // clipped to channels 500..511
  s.WriteAt(big.data(), 5, 0xFFFFFFF0u);
  s.MergeHtp(big.data(), big.data(), 5000);
  EXPECT_EQ(s.data[511], 0x55);

  Stream led(1, kStreamLedrunnerPort, "000000000001\n");
  EXPECT_EQ(led.dataSize, 1020u);
  EXPECT_EQ(led.bufferSize, 512u);
  led.Write(big.data(), 2000, 0);
  EXPECT_EQ(led.data[1019], 0x55);
}

TEST_F(StreamWrite, WriteAtRenewsWhileTheFlagIsStillSet) {
  s.WriteAt(3, 200);
  EXPECT_TRUE(s.IsChanged());
  EXPECT_EQ(s.changeCount, 1u);
  Tick(2);
  s.WriteAt(3, 200);  // same value, flag still up from this tick
  EXPECT_EQ(s.changeCount, 2u);
  EXPECT_EQ(s.lastChange.tv_sec, 102);
  s.ClearChanged();
  s.WriteAt(3, 200);
  EXPECT_EQ(s.changeCount, 2u);
  EXPECT_EQ(s.writeCount, 3u);
}

TEST_F(StreamWrite, RangeWriteAtCountsOncePerCall) {
  const uint8_t src[4] = {1, 2, 3, 4};
  s.WriteAt(src, 4, 10);
  EXPECT_EQ(s.writeCount, 1u);
  EXPECT_EQ(s.changeCount, 1u);
  EXPECT_EQ(s.data[10], 1);
  EXPECT_EQ(s.data[13], 4);
  s.ClearChanged();
  s.WriteAt(src, 0, 10);
  EXPECT_EQ(s.writeCount, 2u);
  EXPECT_EQ(s.changeCount, 1u);
  EXPECT_FALSE(s.IsChanged());
}

TEST_F(StreamWrite, MergeHtpTakesTheHigherAndTouchesNoChangeCount) {
  const uint8_t a[2] = {10, 200};
  const uint8_t b[2] = {10, 100};
  s.MergeHtp(a, b, 2);
  EXPECT_EQ(s.data[0], 10);
  EXPECT_EQ(s.data[1], 200);
  EXPECT_TRUE(s.IsChanged());
  EXPECT_EQ(s.writeCount, 1u);
  EXPECT_EQ(s.changeCount, 0u);

  s.ClearChanged();
  s.MergeHtp(a, b, 2);  // nothing changes, flag clear: no counter moves
  EXPECT_EQ(s.writeCount, 1u);
  EXPECT_FALSE(s.IsChanged());
}

TEST(StreamInput, OnlyInputNetworkAndInputPortStreamsReceive) {
  Stream artIn(0, kStreamNetwork, -1, "A001000000000000I\n");
  Stream artOut(1, kStreamNetwork, -1, "A001000000000000i\n");
  Stream portIn(2, kStreamPort, "001I\n");
  Stream portOut(3, kStreamPort, "001O\n");
  Stream gen(4, kStreamGenerator, "002255255255255\n");
  Stream nxbIn(5, kStreamNxb, "xI192168001010\n");
  EXPECT_TRUE(artIn.IsInput());
  EXPECT_FALSE(artOut.IsInput());
  EXPECT_TRUE(portIn.IsInput());
  EXPECT_FALSE(portOut.IsInput());
  EXPECT_FALSE(gen.IsInput());
  EXPECT_FALSE(nxbIn.IsInput());
}

}  // namespace
