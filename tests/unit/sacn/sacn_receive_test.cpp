// sACN input: the receive checks and the configuration's CID text, which
// stream a packet feeds, which sources a CID filter takes, what is recorded
// as unmatched, and the priority hold and takeover. The output packet is
// pinned with the stream sends.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "receiver_test_support.h"
#include "fake_clock.h"
#include "streams/network_streams.h"
#include "protocols/sacn_receive.h"

namespace {

const uint8_t kSourceA[16] = {0xA1, 0xB2, 0xC3, 0xD4, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const uint8_t kSourceB[16] = {0xBB, 0xBB, 0xBB, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
// Stream lines: universe, priority, 12 unused, CID filter, direction.
#define ANY_CID "00000000-0000-0000-0000-000000000000"

// Universe `universe` from `cid`, its channels a ramp from `seed`.
std::vector<uint8_t> SacnData(int universe, uint8_t priority, const uint8_t* cid,
                              uint8_t seed = 1) {
  std::vector<uint8_t> p(kSacnDataPacketSize);
  BuildSacnDataPacket(p.data(), cid, static_cast<uint32_t>(universe), priority);
  p.resize(126);  // the header; the channels follow it
  return Ramp(p, 512, seed);
}

TEST(SacnCidText, OnlyAWholeCidFilters) {
  uint8_t cid[16];  // a whole CID is read in the input tests
  const uint8_t zero[16] = {};
  const char* refused[] = {
      "00112233-4455-6677-8899-aabbccddeef",    // one digit short
      "0011223g-4455-6677-8899-aabbccddeeff",   // not a hex digit
      "00112233-4455-6677-8899-aabbccdd\neef",  // line end inside
  };
  for (const char* text : refused) {
    std::memset(cid, 0x55, 16);
    EXPECT_FALSE(ParseSacnCidText(text, cid)) << text;
    EXPECT_EQ(0, std::memcmp(cid, zero, 16)) << text;  // refused: any source, not garbage
  }
  // The separators are not looked at: the digits are read where they stand.
  const uint8_t expected[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_TRUE(ParseSacnCidText("00112233 4455_6677.8899:aabbccddeeff", cid));
  EXPECT_EQ(0, std::memcmp(cid, expected, 16));
}

// Each row changes a valid packet (universe 0x0102, priority 100, 638
// bytes) at `offset` and hands `length` bytes of it to the parser.
TEST(SacnChecks, EachBadFieldShortPartialOrMiscountedPacket) {
  struct Row {
    const char* why;
    size_t offset;
    std::vector<uint8_t> bytes;
    size_t length;
    SacnCheck check;
    uint32_t slots;
  };
  const Row rows[] = {
      {"whole packet", 0, {}, 638, SacnCheck::kOk, 512},
      {"one byte short of the header", 0, {}, 125, SacnCheck::kShort, 0},
      {"the header alone", 0, {}, 126, SacnCheck::kOk, 0},
      {"count 513, 10 slots sent", 0, {}, 136, SacnCheck::kOk, 10},
      {"identifier padding", 14, {1}, 638, SacnCheck::kBadIdentifier, 0},
      {"universe sync vector", 43, {8}, 638, SacnCheck::kBadFramingVector, 0},
      {"DMP vector", 117, {1}, 638, SacnCheck::kBadDmpVector, 0},
      {"DMP address and data type", 118, {0xA0}, 638, SacnCheck::kBadDmpProperties, 0},
      {"priority start code", 125, {0xDD}, 638, SacnCheck::kNonDmxStartCode, 0},
      // The value count includes the start code and never reaches past what
      // arrived or past 512 slots.
      {"value count 0", 123, {0x00, 0x00}, 638, SacnCheck::kOk, 0},
      {"value count 2", 123, {0x00, 0x02}, 638, SacnCheck::kOk, 1},
      {"value count 65535", 123, {0xFF, 0xFF}, 638, SacnCheck::kOk, 512},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> p = SacnData(0x0102, 100, kSourceA);
    std::copy(r.bytes.begin(), r.bytes.end(), p.begin() + static_cast<long>(r.offset));
    SacnDataFrame frame = {};
    SacnCheck check = ParseSacnDataPacket(p.data(), r.length, &frame);
    EXPECT_EQ(check, r.check) << r.why;
    if (check != SacnCheck::kOk) continue;
    EXPECT_EQ(frame.slotCount, r.slots) << r.why;
    EXPECT_EQ(frame.universe, 0x0102u) << r.why;
    EXPECT_EQ(frame.priority, 100) << r.why;
    EXPECT_EQ(frame.cid, p.data() + 22) << r.why;
    EXPECT_EQ(frame.slots, p.data() + 126) << r.why;
  }
}

using SacnInput = ReceiverTest;

TEST_F(SacnInput, FirstInputThatTakesTheSourceGetsTheDataOthersAreUnmatched) {
  const DatagramHandler sacn = HandleSacnDatagram;
  ExpectReceived({"S005100000000000000" ANY_CID " \n",  // an output of the universe: never fed
                  "S005000000000000000A1B2C3D4-0001-0203-0405-060708090A0B" "I\n",
                  "S005000000000000000" ANY_CID "I\n", "S005000000000000000" ANY_CID "I\n"},
                 {{"passes over the filtered stream", sacn, SacnData(5, 100, kSourceB), 2, 512},
                  {"the filter's source", sacn, SacnData(5, 100, kSourceA), 1, 512},
                  {"a universe without an input", sacn, SacnData(6, 100, kSourceA), -1, 0, 1}});
  // Recorded with its source: one entry per universe and source.
  EXPECT_EQ(UnmatchedTable[0].protocol, kProtocolSacn);
  EXPECT_EQ(0, std::memcmp(UnmatchedTable[0].cid, kSourceA, 16));
}

// One priority and one time per stream: an equal or higher priority is taken
// at once, a lower one only after more than 3 whole seconds without a take.
TEST_F(SacnInput, PriorityHoldAndTakeover) {
  UseFakeClock({1000, 0});
  AddNetworkStreams({"S005150000000000000" ANY_CID "I\n"});
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
    Receive(HandleSacnDatagram, SacnData(5, s.priority, s.cid, s.value));
    EXPECT_EQ(At(0).data[0], s.expected) << s.why;
  }
  EXPECT_EQ(At(0).As<NetworkEndpoint>()->acn.priority, 100);
  EXPECT_EQ(UnmatchedCount, 0u);  // refused packets are not unmatched
}

}  // namespace
