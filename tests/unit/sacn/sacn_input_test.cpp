// sACN input: which stream a packet feeds, which sources a CID filter takes,
// what is recorded as unmatched, and the priority hold and takeover.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "clock.h"
#include "protocols/sacn_input.h"
#include "stream.h"
#include "unmatched_table.h"

namespace {

struct timeval FakeNow;
struct timeval FakeClock() { return FakeNow; }

const uint8_t kSourceA[16] = {0xA1, 0xB2, 0xC3, 0xD4, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const uint8_t kSourceB[16] = {0xBB, 0xBB, 0xBB, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const char kAnyCid[] = "00000000-0000-0000-0000-000000000000";
const char kCidA[] = "A1B2C3D4-0001-0203-0405-060708090A0B";

class SacnInput : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeNow = {1000, 0};
    SetClockForTesting(FakeClock);
    ClearUnmatchedTable();
  }
  void TearDown() override {
    SetClockForTesting(nullptr);
    for (uint32_t i = 0; i < StreamCount; ++i) {
      delete StreamTable[i];
      StreamTable[i] = nullptr;
    }
    StreamCount = 0;
    ClearUnmatchedTable();
  }
  Stream* Add(const std::string& line) {
    uint32_t i = StreamCount;
    StreamTable[i] = new Stream(i, kStreamNetwork, -1, line);
    StreamCount = i + 1;
    return StreamTable[i];
  }
  // The text after the line's "S": protocol, universe, priority, 12 unused,
  // CID, direction.
  Stream* AddInput(int universe, int priority, const char* cid = kAnyCid) {
    char head[20];
    std::snprintf(head, sizeof(head), "S%03d%03d000000000000", universe, priority);
    return Add(head + std::string(cid) + "I\n");
  }
  static void Receive(int universe, uint8_t priority, const uint8_t* cid, uint8_t value,
                      size_t length = kSacnDataPacketSize) {
    uint8_t p[kSacnDataPacketSize];
    BuildSacnDataPacket(p, cid, static_cast<uint32_t>(universe), priority);
    std::memset(p + 126, value, 512);
    HandleSacnDatagram(p, length);
  }
  void At(long seconds, long micros) { FakeNow = {seconds, micros}; }
};

TEST_F(SacnInput, FirstInputOfTheUniverseTakesTheData) {
  Stream* out = Add(std::string("S005100000000000000") + kAnyCid + " \n");  // output: never fed
  Stream* first = AddInput(5, 0);
  Stream* second = AddInput(5, 0);
  Receive(5, 100, kSourceA, 9);
  EXPECT_EQ(first->data[0], 9);
  EXPECT_EQ(first->data[511], 9);
  EXPECT_EQ(first->writeCount, 1u);
  EXPECT_TRUE(first->IsChanged());
  EXPECT_EQ(second->writeCount, 0u);
  EXPECT_EQ(out->writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(SacnInput, DroppedPacketsWriteNothing) {
  Stream* in = AddInput(5, 0);
  Receive(5, 100, kSourceA, 9, 125);  // shorter than the header
  EXPECT_EQ(in->writeCount, 0u);

  uint8_t p[kSacnDataPacketSize];
  BuildSacnDataPacket(p, kSourceA, 5, 100);
  p[125] = 0xDD;
  HandleSacnDatagram(p, sizeof(p));
  EXPECT_EQ(in->writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(SacnInput, PartialUniverseWritesOnlyWhatArrived) {
  Stream* in = AddInput(5, 0);
  Receive(5, 100, kSourceA, 7);
  Receive(5, 100, kSourceA, 3, 126 + 4);
  EXPECT_EQ(std::vector<uint8_t>(in->data, in->data + 6),
            (std::vector<uint8_t>{3, 3, 3, 3, 7, 7}));
  EXPECT_EQ(in->data[511], 7);
}

TEST_F(SacnInput, CidFilterAndUnmatchedSources) {
  Stream* filtered = AddInput(5, 0, kCidA);
  Stream* any = AddInput(5, 0);
  Receive(5, 100, kSourceB, 2);  // passes over the filtered stream to the next
  EXPECT_EQ(filtered->writeCount, 0u);
  EXPECT_EQ(any->data[0], 2);
  Receive(5, 100, kSourceA, 1);
  EXPECT_EQ(filtered->data[0], 1);
  EXPECT_EQ(any->data[0], 2);

  // Universe 6 has no input: recorded once per (universe, source).
  for (int k = 0; k < 3; ++k) Receive(6, 100, kSourceA, 1);
  Receive(6, 100, kSourceB, 1);
  Receive(300, 100, kSourceB, 1);
  ASSERT_EQ(UnmatchedCount, 3u);
  EXPECT_EQ(UnmatchedTable[0].protocol, 3u);
  EXPECT_EQ(UnmatchedTable[0].universe, 6u);
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[0].cid, kSourceA, 16));
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[1].cid, kSourceB, 16));
  EXPECT_EQ(UnmatchedTable[2].universe, 300u);
}

TEST_F(SacnInput, FilteredStreamAloneRecordsOtherSources) {
  Stream* filtered = AddInput(5, 0, kCidA);
  Receive(5, 100, kSourceB, 2);
  EXPECT_EQ(filtered->writeCount, 0u);
  ASSERT_EQ(UnmatchedCount, 1u);
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[0].cid, kSourceB, 16));
}

TEST_F(SacnInput, PriorityHoldAndTakeover) {
  Stream* in = AddInput(5, 100);
  At(1000, 0);
  Receive(5, 100, kSourceA, 1);  // equal to the configured priority
  EXPECT_EQ(in->data[0], 1);

  struct Step {
    long sec, usec;
    uint8_t priority;
    const uint8_t* cid;
    uint8_t value;
    uint8_t expected;
  };
  const Step steps[] = {
      {1000, 500000, 50, kSourceB, 2, 1},  // lower: held off
      {1003, 0, 100, kSourceA, 3, 3},      // the first source keeps it
      {1006, 999999, 50, kSourceB, 4, 3},  // 1006 > 1003 + 3 is false
      {1007, 0, 50, kSourceB, 5, 5},       // more than 3 whole seconds: taken
      {1007, 100, 60, kSourceA, 6, 6},     // stored priority is now 50
      {1007, 200, 55, kSourceB, 7, 6},     // and now 60
      {1007, 300, 200, kSourceB, 8, 8},    // higher: at once
  };
  for (const Step& s : steps) {
    At(s.sec, s.usec);
    Receive(5, s.priority, s.cid, s.value);
    EXPECT_EQ(in->data[0], s.expected) << s.sec << "." << s.usec;
  }
  EXPECT_EQ(in->acn.priority, 200);
  EXPECT_EQ(UnmatchedCount, 0u);  // refused packets are not unmatched
}

TEST_F(SacnInput, TakeoverCountsWholeSeconds) {
  Stream* in = AddInput(5, 100);
  At(10, 900000);
  Receive(5, 100, kSourceA, 1);
  At(14, 0);
  Receive(5, 50, kSourceB, 2);  // 14 > 10 + 3
  EXPECT_EQ(in->data[0], 2);

  Stream* other = AddInput(6, 100);
  At(10, 0);
  Receive(6, 100, kSourceA, 1);
  At(13, 999999);
  Receive(6, 50, kSourceB, 2);  // 13 > 13 is false
  EXPECT_EQ(other->data[0], 1);
}

TEST_F(SacnInput, FirstPacketIsTakenWhateverItsPriority) {
  Stream* in = AddInput(5, 150);
  At(10, 0);
  Receive(5, 100, kSourceA, 1);
  EXPECT_EQ(in->data[0], 1);
  EXPECT_EQ(in->acn.priority, 100);
}

TEST_F(SacnInput, ClockFarFromEpochDoesNotWrap) {
  Stream* in = AddInput(5, 100);
  At(0x7FFFFFFFL - 1, 0);
  Receive(5, 100, kSourceA, 1);
  At(0x7FFFFFFFL, 0);
  Receive(5, 50, kSourceB, 2);  // last + 3 would pass 2^31 in 32 bits
  EXPECT_EQ(in->data[0], 1);
}

}  // namespace
