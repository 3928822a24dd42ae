// The write operations: what each one does to data, counters and the flag.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "clock.h"
#include "stream.h"

namespace {

struct timeval FakeNow;
struct timeval FakeClock() { return FakeNow; }

using Counters = std::tuple<uint32_t, uint32_t, bool>;  // writes, changes, flag

class StreamWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeNow = {100, 0};
    SetClockForTesting(FakeClock);
  }
  void TearDown() override { SetClockForTesting(nullptr); }
  Counters Counts() const { return {s.writeCount, s.changeCount, s.IsChanged()}; }

  Stream s{0, kStreamVirtual, "\n"};
};

TEST_F(StreamWrite, UnchangedFrameCountsOnlyTheCall) {
  std::vector<uint8_t> frame(512, 0);
  s.Write(frame.data(), 512, 0);
  EXPECT_EQ(Counts(), Counters(1, 0, false));
  EXPECT_EQ(s.lastChange.tv_sec, 0);
  s.Write(frame.data(), 512, 1);  // stamp-first renews the time all the same
  EXPECT_EQ(s.lastChange.tv_sec, 100);
  s.Write(frame.data(), 0, 0);
  EXPECT_EQ(Counts(), Counters(3, 0, false));
}

TEST_F(StreamWrite, ShortFrameChangesOnlyItsChannels) {
  std::vector<uint8_t> full(512, 7);
  s.Write(full.data(), 512, 0);
  s.ClearChanged();
  std::vector<uint8_t> twenty(20, 9);
  FakeNow.tv_sec += 5;
  s.Write(twenty.data(), 20, 0);
  EXPECT_EQ(Counts(), Counters(2, 2, true));
  EXPECT_EQ(s.lastChange.tv_sec, 105);
  std::vector<uint8_t> expected(512, 7);
  std::fill(expected.begin(), expected.begin() + 20, 9);
  EXPECT_EQ(std::vector<uint8_t>(s.data, s.data + 512), expected);
}

TEST_F(StreamWrite, LengthsBeyondTheBufferAreClipped) {
  std::vector<uint8_t> big(2000, 0x55);
  s.Write(big.data(), 2000, 0);
  s.WriteFrom(big.data(), 0xFFFFFFFFu, in_addr{});
  EXPECT_EQ(Counts(), Counters(2, 1, true));
  EXPECT_EQ(s.data[511], 0x55);
  s.WriteAt(512, 1);  // past the end: counted, nothing written
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
  EXPECT_EQ(Counts(), Counters(1, 1, true));
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
  EXPECT_EQ(std::vector<uint8_t>(s.data + 10, s.data + 14), (std::vector<uint8_t>{1, 2, 3, 4}));
  s.ClearChanged();
  s.WriteAt(src, 0, 10);
  EXPECT_EQ(Counts(), Counters(5, 3, false));
}

TEST_F(StreamWrite, MergeHtpTakesTheHigherAndTouchesNoChangeCount) {
  const uint8_t a[2] = {10, 200};
  const uint8_t b[2] = {10, 100};
  s.MergeHtp(a, b, 2);
  EXPECT_EQ(std::vector<uint8_t>(s.data, s.data + 2), (std::vector<uint8_t>{10, 200}));
  EXPECT_EQ(Counts(), Counters(1, 0, true));
  s.ClearChanged();
  s.MergeHtp(a, b, 2);  // nothing changes, flag clear: no counter moves
  EXPECT_EQ(Counts(), Counters(1, 0, false));
}

}  // namespace
