// sACN on the wire: the output packet byte for byte, the receive checks, the
// configuration's CID text and the multicast groups.
#include <arpa/inet.h>
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_identity.h"
#include "protocols/sacn_packets.h"
#include "protocols/sockets.h"
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

// Bytes 108-125 of universe 7, priority 100, with the sequence at [3].
const uint8_t kTail[18] = {
    100,                    // priority
    0x00, 0x00,             // reserved
    0x00,                   // sequence
    0x00,                   // options
    0x00, 0x07,             // universe
    0x72, 0x0B, 0x02, 0xA1,  // DMP flags+length, vector, address and data type
    0x00, 0x00, 0x00, 0x01,  // first address, increment
    0x02, 0x01,             // value count 513
    0x00,                   // start code
};

std::string SourceName(const uint8_t* packet) {
  return std::string(reinterpret_cast<const char*>(packet + 44), 64);
}

std::string Padded(const char* name) {
  std::string s(name);
  s.resize(64, '\0');
  return s;
}

class SacnOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDeviceIdentity();
    std::memcpy(SacnCid, kDeviceCid, 16);
    savedLogLevel = FLAGS_minloglevel;
    FLAGS_minloglevel = 1;  // every send fails on purpose: nothing leaves the test
  }
  void TearDown() override {
    FLAGS_minloglevel = savedLogLevel;
    ResetDeviceIdentity();
  }
  int savedLogLevel = 0;
};

TEST_F(SacnOutput, EverySentByteAndTheSequence) {
  Stream s(0, kStreamNetwork, 9,
           "S007100000000000000" "00000000-0000-0000-0000-000000000000" " \n");
  s.sendSocket = -1;
  ASSERT_EQ(s.protocol, kProtocolSacn);
  ASSERT_EQ(s.input, 0u);

  // The pre-fill alone: sequence 0, slots 0.
  EXPECT_EQ(0, std::memcmp(s.acn.packet, kHead, sizeof(kHead)));
  EXPECT_EQ(SourceName(s.acn.packet), Padded("CVMk2 U:7"));
  EXPECT_EQ(0, std::memcmp(s.acn.packet + 108, kTail, sizeof(kTail)));
  EXPECT_EQ(std::vector<uint8_t>(s.acn.packet + 126, s.acn.packet + 638),
            std::vector<uint8_t>(512, 0));

  uint8_t frame[512];
  for (int i = 0; i < 512; ++i) frame[i] = static_cast<uint8_t>(i * 7);
  s.Write(frame, 512, 0);
  s.Send(0, 0);
  uint8_t sentTail[sizeof(kTail)];
  std::memcpy(sentTail, kTail, sizeof(kTail));
  sentTail[3] = 1;  // the first packet on the wire carries sequence 1
  EXPECT_EQ(0, std::memcmp(s.packet, kHead, sizeof(kHead)));
  EXPECT_EQ(SourceName(s.packet), Padded("CVMk2 U:7"));
  EXPECT_EQ(0, std::memcmp(s.packet + 108, sentTail, sizeof(sentTail)));
  EXPECT_EQ(0, std::memcmp(s.packet + 126, frame, 512));
  EXPECT_FALSE(s.IsChanged());

  s.Send(0, 0);  // unchanged, not forced: nothing built
  EXPECT_EQ(s.packet[111], 1);
  s.Send(1, 0);
  EXPECT_EQ(s.packet[111], 2);
  for (int k = 0; k < 253; ++k) s.Send(1, 0);
  EXPECT_EQ(s.packet[111], 255);
  s.Send(1, 0);
  EXPECT_EQ(s.packet[111], 0);
  s.Send(1, 0);
  EXPECT_EQ(s.packet[111], 1);
}

TEST_F(SacnOutput, DestinationNameAndInputFilter) {
  Stream out(0, kStreamNetwork, 9,
             "S300200000000000000" "00000000-0000-0000-0000-000000000000" " \n");
  EXPECT_STREQ(inet_ntoa(out.acn.destination.sin_addr), "239.255.1.44");
  EXPECT_EQ(ntohs(out.acn.destination.sin_port), 5568);
  EXPECT_EQ(SourceName(out.acn.packet), Padded("CVMk2 U:300"));
  EXPECT_EQ(out.acn.packet[108], 200);
  EXPECT_EQ(out.acn.packet[113], 0x01);
  EXPECT_EQ(out.acn.packet[114], 0x2C);

  Stream in(1, kStreamNetwork, 9,
            "S005050000000000000" "A1b2C3d4-0001-0203-0405-060708090a0b" "I\n");
  EXPECT_EQ(in.input, 1u);
  EXPECT_EQ(in.acn.priority, 50);
  const uint8_t cid[16] = {0xA1, 0xB2, 0xC3, 0xD4, 0x00, 0x01, 0x02, 0x03,
                           0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
  EXPECT_EQ(0, std::memcmp(in.acn.cidFilter, cid, 16));
  EXPECT_EQ(in.sendSocket, SacnSendSocket);  // not the socket handed in
}

TEST(SacnCidText, OnlyAWholeCidFilters) {
  uint8_t cid[16];
  ASSERT_TRUE(ParseSacnCidText("00112233-4455-6677-8899-aabbccddeeff", cid));
  const uint8_t expected[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(0, std::memcmp(cid, expected, 16));

  const uint8_t zero[16] = {};
  const char* refused[] = {
      "",                                      // line ends before the field
      "00112233-4455-6677-8899-aabbccddeef",   // one digit short
      "                                    ",  // blank field
      "00112233 4455-6677-8899-aabbccddeeff",  // separator missing
      "0011223g-4455-6677-8899-aabbccddeeff",  // not a hex digit
      "00112233-4455-6677-8899-aabbccdd\neef",  // line end inside
  };
  for (const char* text : refused) {
    std::memset(cid, 0x55, 16);
    EXPECT_FALSE(ParseSacnCidText(text, cid)) << text;
    EXPECT_EQ(0, std::memcmp(cid, zero, 16)) << text;
  }
}

// A valid packet for universe 0x0102, priority 100, slots 1, 2, 3, ...
std::vector<uint8_t> GoodPacket() {
  std::vector<uint8_t> p(kSacnDataPacketSize);
  BuildSacnDataPacket(p.data(), kDeviceCid, 0x0102, 100);
  for (uint32_t i = 0; i < 512; ++i) p[126 + i] = static_cast<uint8_t>(i + 1);
  return p;
}

TEST(SacnChecks, EachBadFieldShortOrPartialPacket) {
  struct Row {
    const char* why;
    size_t offset;  // byte to set, or SIZE_MAX for none
    uint8_t value;
    size_t length;
    SacnCheck check;
    uint32_t slots;
  };
  const size_t kNone = SIZE_MAX;
  const Row rows[] = {
      {"whole packet", kNone, 0, 638, SacnCheck::kOk, 512},
      {"empty datagram", kNone, 0, 0, SacnCheck::kShort, 0},
      {"one byte short of the header", kNone, 0, 125, SacnCheck::kShort, 0},
      {"header only", kNone, 0, 126, SacnCheck::kOk, 0},
      {"partial universe", kNone, 0, 136, SacnCheck::kOk, 10},
      {"one byte short", kNone, 0, 637, SacnCheck::kOk, 511},
      {"identifier letter", 4, 'a', 638, SacnCheck::kBadIdentifier, 0},
      {"identifier padding", 14, 1, 638, SacnCheck::kBadIdentifier, 0},
      {"framing vector low byte", 43, 3, 638, SacnCheck::kBadFramingVector, 0},
      {"framing vector high byte", 40, 1, 638, SacnCheck::kBadFramingVector, 0},
      {"universe sync vector", 43, 8, 638, SacnCheck::kBadFramingVector, 0},
      {"DMP vector", 117, 1, 638, SacnCheck::kBadDmpVector, 0},
      {"DMP address and data type", 118, 0xA0, 638, SacnCheck::kBadDmpProperties, 0},
      {"text start code", 125, 0x17, 638, SacnCheck::kNonDmxStartCode, 0},
      {"RDM start code", 125, 0xCC, 638, SacnCheck::kNonDmxStartCode, 0},
      {"priority start code", 125, 0xDD, 638, SacnCheck::kNonDmxStartCode, 0},
      {"root vector not examined", 21, 9, 638, SacnCheck::kOk, 512},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> p = GoodPacket();
    if (r.offset != kNone) p[r.offset] = r.value;
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

TEST(SacnChecks, ValueCountBoundsTheSlots) {
  struct Row {
    uint8_t high, low;
    uint32_t slots;
  };
  const Row rows[] = {{0x00, 0x00, 0}, {0x00, 0x01, 0}, {0x00, 0x02, 1},
                      {0x00, 0x05, 4}, {0x02, 0x00, 511}, {0x02, 0x01, 512},
                      {0x02, 0x02, 512}, {0xFF, 0xFF, 512}};
  for (const Row& r : rows) {
    std::vector<uint8_t> p = GoodPacket();
    p[123] = r.high;
    p[124] = r.low;
    SacnDataFrame frame = {};
    ASSERT_EQ(ParseSacnDataPacket(p.data(), p.size(), &frame), SacnCheck::kOk);
    EXPECT_EQ(frame.slotCount, r.slots) << int(r.high) << "," << int(r.low);
  }
}

TEST(SacnGroups, HighAndLowByteOfTheUniverse) {
  EXPECT_EQ(SacnMulticastGroup(1), 0xEFFF0001u);
  EXPECT_EQ(SacnMulticastGroup(300), 0xEFFF012Cu);
  EXPECT_EQ(SacnMulticastGroup(0x1FFFF), 0xEFFFFFFFu);  // bits above 16 do not spill
}

}  // namespace
