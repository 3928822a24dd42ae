// sACN byte layouts: the receive checks and the configuration's CID text. The
// output packet is checked byte for byte on the real binary.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocols/sacn_packets.h"

namespace {

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
    std::vector<uint8_t> p(kSacnDataPacketSize);
    const uint8_t cid[16] = {0xC1, 0xD5};
    BuildSacnDataPacket(p.data(), cid, 0x0102, 100);
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

}  // namespace
