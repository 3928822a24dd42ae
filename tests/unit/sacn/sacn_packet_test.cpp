// sACN on the wire: the output packet byte for byte, the receive checks and
// the configuration's CID text.
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_identity.h"
#include "protocols/sacn_packets.h"
#include "stream.h"

namespace {

const uint8_t kDeviceCid[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

// Bytes 0-43: root layer and the start of the framing layer.
const uint8_t kHead[44] = {
    0x00, 0x10, 0x00, 0x00,                                      // preamble, post-amble
    'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0,        // ACN identifier
    0x72, 0x6E, 0x00, 0x00, 0x00, 0x04,                          // root flags+length, vector
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,              // CID
    0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,              //
    0x72, 0x58, 0x00, 0x00, 0x00, 0x02,                          // framing flags+length, vector
};

// Bytes 108-125 of universe 7, priority 100, in the first packet sent.
const uint8_t kTail[18] = {
    100, 0x00, 0x00, 0x01, 0x00, 0x00, 0x07,  // priority, reserved, sequence 1, options, universe
    0x72, 0x0B, 0x02, 0xA1,                   // DMP flags+length, vector, address and data type
    0x00, 0x00, 0x00, 0x01, 0x02, 0x01, 0x00,  // first address, increment, count 513, start code
};

TEST(SacnOutput, EverySentByteAndTheSequence) {
  ResetDeviceIdentity();
  std::memcpy(SacnCid, kDeviceCid, 16);
  const int savedLogLevel = FLAGS_minloglevel;
  FLAGS_minloglevel = 1;  // every send fails on purpose: nothing leaves the test
  Stream s(0, kStreamNetwork, 9,
           "S007100000000000000" "00000000-0000-0000-0000-000000000000" " \n");
  s.sendSocket = -1;

  uint8_t frame[512];
  for (int i = 0; i < 512; ++i) frame[i] = static_cast<uint8_t>(i * 7);
  s.Write(frame, 512, 0);
  s.Send(0, 0);
  EXPECT_EQ(0, std::memcmp(s.packet, kHead, sizeof(kHead)));
  EXPECT_EQ(std::string(s.packet + 44, s.packet + 108), "CVMk2 U:7" + std::string(55, '\0'));
  EXPECT_EQ(0, std::memcmp(s.packet + 108, kTail, sizeof(kTail)));
  EXPECT_EQ(0, std::memcmp(s.packet + 126, frame, 512));
  EXPECT_FALSE(s.IsChanged());

  s.Send(0, 0);  // unchanged, not forced: nothing built
  EXPECT_EQ(s.packet[111], 1);
  int firstWrong = 0;  // forced sends 2..257: the sequence runs up, wraps to 0, goes on
  for (int k = 2; k <= 257; ++k) {
    s.Send(1, 0);
    if (firstWrong == 0 && s.packet[111] != k % 256) firstWrong = k;
  }
  EXPECT_EQ(firstWrong, 0);
  FLAGS_minloglevel = savedLogLevel;
  ResetDeviceIdentity();
}

TEST(SacnCidText, OnlyAWholeCidFilters) {
  uint8_t cid[16];
  ASSERT_TRUE(ParseSacnCidText("00112233-4455-6677-8899-aabbccddeeff", cid));
  const uint8_t expected[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(0, std::memcmp(cid, expected, 16));

  const uint8_t zero[16] = {};
  const char* refused[] = {
      "",                                       // line ends before the field
      "00112233-4455-6677-8899-aabbccddeef",    // one digit short
      "                                    ",   // blank field
      "00112233 4455-6677-8899-aabbccddeeff",   // separator missing
      "0011223g-4455-6677-8899-aabbccddeeff",   // not a hex digit
      "00112233-4455-6677-8899-aabbccdd\neef",  // line end inside
  };
  for (const char* text : refused) {
    std::memset(cid, 0x55, 16);
    EXPECT_FALSE(ParseSacnCidText(text, cid)) << text;
    EXPECT_EQ(0, std::memcmp(cid, zero, 16)) << text;  // refused: any source, not garbage
  }
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
      {"empty datagram", 0, {}, 0, SacnCheck::kShort, 0},
      {"one byte short of the header", 0, {}, 125, SacnCheck::kShort, 0},
      {"header only", 0, {}, 126, SacnCheck::kOk, 0},
      {"count 513, 10 slots sent", 0, {}, 136, SacnCheck::kOk, 10},
      {"identifier letter", 4, {'a'}, 638, SacnCheck::kBadIdentifier, 0},
      {"identifier padding", 14, {1}, 638, SacnCheck::kBadIdentifier, 0},
      {"universe sync vector", 43, {8}, 638, SacnCheck::kBadFramingVector, 0},
      {"framing vector high byte", 40, {1}, 638, SacnCheck::kBadFramingVector, 0},
      {"DMP vector", 117, {1}, 638, SacnCheck::kBadDmpVector, 0},
      {"DMP address and data type", 118, {0xA0}, 638, SacnCheck::kBadDmpProperties, 0},
      {"priority start code", 125, {0xDD}, 638, SacnCheck::kNonDmxStartCode, 0},
      {"root vector not examined", 21, {9}, 638, SacnCheck::kOk, 512},
      // The value count includes the start code and never reaches past what
      // arrived or past 512 slots.
      {"value count 0", 123, {0x00, 0x00}, 638, SacnCheck::kOk, 0},
      {"value count 1: start code only", 123, {0x00, 0x01}, 638, SacnCheck::kOk, 0},
      {"value count 2", 123, {0x00, 0x02}, 638, SacnCheck::kOk, 1},
      {"value count 514", 123, {0x02, 0x02}, 638, SacnCheck::kOk, 512},
      {"value count 65535", 123, {0xFF, 0xFF}, 638, SacnCheck::kOk, 512},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> p(kSacnDataPacketSize);
    BuildSacnDataPacket(p.data(), kDeviceCid, 0x0102, 100);
    for (uint32_t i = 0; i < 512; ++i) p[126 + i] = static_cast<uint8_t>(i + 1);
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
