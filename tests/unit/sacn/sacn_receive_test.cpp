// sACN input: which stream a packet feeds, which sources a CID filter takes,
// what is recorded as unmatched, and the priority hold and takeover.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "receiver_test_support.h"
#include "support/clock.h"
#include "streams/network_streams.h"
#include "protocols/sacn_receive.h"

namespace {

struct timeval FakeNow;
struct timeval FakeClock() { return FakeNow; }

const uint8_t kSourceA[16] = {0xA1, 0xB2, 0xC3, 0xD4, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const uint8_t kSourceB[16] = {0xBB, 0xBB, 0xBB, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const char kAnyCid[] = "00000000-0000-0000-0000-000000000000";
const char kCidA[] = "A1B2C3D4-0001-0203-0405-060708090A0B";

class SacnInput : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    FakeNow = {1000, 0};
    SetClockForTesting(FakeClock);
  }
  // An sACN stream line: universe, priority, 12 unused, CID, direction.
  static Stream* Add(int universe, int priority, const char* cid = kAnyCid, char direction = 'I') {
    char head[24];
    std::snprintf(head, sizeof(head), "SS%03d%03d000000000000", universe, priority);
    ProcessConfigText(head + std::string(cid) + direction + "\n");
    return StreamTable[StreamCount - 1];
  }
  static void Receive(int universe, uint8_t priority, const uint8_t* cid, uint8_t value) {
    uint8_t p[kSacnDataPacketSize];
    BuildSacnDataPacket(p, cid, static_cast<uint32_t>(universe), priority);
    std::memset(p + 126, value, 512);
    HandleSacnDatagram(p, sizeof(p), From("10.0.0.9", 5568), CaptureDatagram);
  }
};

TEST_F(SacnInput, FirstInputThatTakesTheSourceGetsTheDataOthersAreUnmatched) {
  Stream* out = Add(5, 100, kAnyCid, ' ');  // an output of the same universe: never fed
  Stream* filtered = Add(5, 0, kCidA);
  Stream* first = Add(5, 0);
  Stream* second = Add(5, 0);
  Receive(5, 100, kSourceB, 2);  // passes over the filtered stream to the next
  Receive(5, 100, kSourceA, 1);
  EXPECT_EQ(filtered->data[0], 1);
  EXPECT_EQ(first->data[0], 2);
  EXPECT_EQ(filtered->writeCount + first->writeCount, 2u);
  EXPECT_EQ(second->writeCount + out->writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);

  // Universes without an input: recorded once per universe and source.
  for (int k = 0; k < 3; ++k) Receive(6, 100, kSourceA, 1);
  Receive(6, 100, kSourceB, 1);
  ASSERT_EQ(UnmatchedCount, 2u);
  EXPECT_EQ(UnmatchedTable[0].protocol, 3u);
  EXPECT_EQ(UnmatchedTable[0].universe, 6u);
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[0].cid, kSourceA, 16));
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[1].cid, kSourceB, 16));
}

// One priority and one time per stream: an equal or higher priority is taken
// at once, a lower one only after more than 3 whole seconds without a take.
TEST_F(SacnInput, PriorityHoldAndTakeover) {
  Stream* in = Add(5, 150);
  struct Step {
    const char* why;
    long sec, usec;
    uint8_t priority;
    const uint8_t* cid;
    uint8_t value;
    uint8_t expected;
  };
  const Step steps[] = {
      {"first packet, under the configured 150", 1000, 900000, 100, kSourceA, 1, 1},
      {"lower: held off", 1000, 950000, 50, kSourceB, 2, 1},
      {"equal: taken", 1003, 0, 100, kSourceA, 3, 3},
      {"1006 > 1003 + 3 is false", 1006, 999999, 50, kSourceB, 4, 3},
      {"more than 3 whole seconds: taken", 1007, 0, 50, kSourceB, 5, 5},
      {"higher: at once", 1007, 300, 200, kSourceB, 8, 8},
      {"near 2^31", 0x7FFFFFFEL, 0, 100, kSourceA, 10, 10},
      {"last + 3 would pass 2^31 in 32 bits", 0x7FFFFFFFL, 0, 50, kSourceB, 11, 10},
  };
  for (const Step& s : steps) {
    FakeNow = {s.sec, s.usec};
    Receive(5, s.priority, s.cid, s.value);
    EXPECT_EQ(in->data[0], s.expected) << s.why;
  }
  EXPECT_EQ(in->As<NetworkEndpoint>()->acn.priority, 100);
  EXPECT_EQ(UnmatchedCount, 0u);  // refused packets are not unmatched
}

}  // namespace
