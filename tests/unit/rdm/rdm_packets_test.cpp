// RDM frames as they go on the serial line and come back: the one place
// their bytes, checksums and malformed variants are pinned.
#include <gtest/gtest.h>

#include <vector>

#include "rdm_fixture.h"

namespace {

const RdmUid kOwn = {{0x57, 0x4B, 0x01, 0x02, 0x03, 0x04}};
const RdmUid kDevice = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};

std::vector<uint8_t> Dub(const RdmUid& uid, size_t preamble, uint16_t checksumError = 0) {
  std::vector<uint8_t> out(kDubMaxReplySize);
  out.resize(EncodeDubReply(uid, preamble, out.data(), checksumError));
  return out;
}

// Requests without data, GET and discovery, are checked as the port sends
// them, in the port tests.
TEST(RdmFrames, RequestsAreByteExact) {
  const uint8_t setData[] = {0x01, 0x2C};
  std::vector<uint8_t> label(240);
  for (size_t i = 0; i < label.size(); ++i) label[i] = static_cast<uint8_t>(i + 1);
  struct Row {
    const char* why;
    RdmMessage m;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"SET DMX_START_ADDRESS 300 on sub-device 0x0102",
       {kDevice, kOwn, 2, 1, 0, 0x0102, kRdmSetCommand, kPidDmxStartAddress, 2, setData},
       {0xCC, 0x01, 0x1A, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x57, 0x4B, 0x01, 0x02, 0x03,
        0x04, 0x02, 0x01, 0x00, 0x01, 0x02, 0x30, 0x00, 0xF0, 0x02, 0x01, 0x2C, 0x05, 0x52}},
      {"a PDL without data sends zero data bytes, counted in the checksum",
       {kDevice, kOwn, 1, 1, 0, 0, kRdmGetCommand, kPidDeviceLabel, 1, nullptr},
       {0xCC, 0x01, 0x19, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x57, 0x4B, 0x01, 0x02, 0x03,
        0x04, 0x01, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00, 0x82, 0x01, 0x00, 0x04, 0xA1}},
      {"PDL 240: length, PDL and checksum as for the first 228 bytes alone",
       {kDevice, kOwn, 1, 1, 0, 0, kRdmSetCommand, kPidDeviceLabel, 240, label.data()},
       LaidFrame({kDevice, kOwn, 1, 1, 0, 0, kRdmSetCommand, kPidDeviceLabel, 228, label.data()})},
  };
  for (const Row& r : rows) EXPECT_EQ(LaidFrame(r.m), r.bytes) << r.why;
}

TEST(RdmFrames, ResponderRefusesMalformedRequests) {
  const std::vector<uint8_t> good =
      LaidFrame({kDevice, kOwn, 1, 1, 0, 0, kRdmGetCommand, kPidDeviceLabel, 0, nullptr});
  struct Row {
    const char* why;
    size_t offset;
    uint8_t value;
    size_t length;
  };
  const Row rows[] = {
      {"cut inside the checksum", 0, 0xCC, 25},
      {"alternate start code", 0, 0x00, 26},
      {"sub-start code 2", 1, 0x02, 26},
      {"message length below the header", 2, 0x17, 26},
      {"message length past what arrived", 2, 0x19, 26},
      {"PDL disagrees with the message length", 23, 0x01, 26},
      {"checksum off by one", 25, 0xA0, 26},
  };
  RdmMessage m;
  ASSERT_TRUE(ParseRdmFrame(good.data(), good.size(), &m));
  for (const Row& r : rows) {
    std::vector<uint8_t> bad = good;
    bad[r.offset] = r.value;
    EXPECT_FALSE(ParseRdmFrame(bad.data(), r.length, &m)) << r.why;
  }
}

TEST(RdmResponses, OnlyWhatArrivedIsUsed) {
  // A GET response of DEVICE_LABEL "Par", in a buffer of the most a reply can be.
  const uint8_t par[] = {'P', 'a', 'r'};
  std::vector<uint8_t> ack =
      LaidFrame({kOwn, kDevice, 1, kRdmAck, 0, 0, kRdmGetCommand + 1, kPidDeviceLabel, 3, par});
  ack.resize(kRdmMaxReplySize);
  struct Row {
    const char* why;
    size_t offset;
    uint8_t value;
    size_t length;
    bool valid;
    uint8_t type;
    uint8_t pdl;
  };
  const Row rows[] = {
      {"whole ACK", 0, 0xCC, 29, true, kRdmAck, 3},
      {"wrong checksum still counts", 28, 0x00, 29, true, kRdmAck, 3},
      {"ACK_OVERFLOW", 16, 3, 29, true, kRdmAckOverflow, 3},
      {"PDL past what arrived is cut to it", 0, 0xCC, 25, true, kRdmAck, 1},
      {"PDL 250 of a long frame", 23, 250, 29, true, kRdmAck, 5},
      {"PDL 255 of a 255-byte reply: no more than a reply has room for", 23, 255, 255, true,
       kRdmAck, 228},
      {"header alone", 0, 0xCC, 24, true, kRdmAck, 0},
      {"one byte short of a header", 0, 0xCC, 23, false, 0, 0},
      {"start code", 0, 0xCD, 29, false, 0, 0},
      {"sub-start code", 1, 0x02, 29, false, 0, 0},
      {"response type 5", 16, 5, 29, false, 0, 0},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> p = ack;
    p[r.offset] = r.value;
    RdmResponse out = {};
    ASSERT_EQ(ParseRdmResponse(p.data(), r.length, &out), r.valid) << r.why;
    if (!r.valid) continue;
    EXPECT_EQ(out.responseType, r.type) << r.why;
    EXPECT_EQ(out.pdl, r.pdl) << r.why;
    EXPECT_EQ(out.data, p.data() + 24) << r.why;
  }
}

TEST(DubReplies, DecodedBehindEveryPreamble) {
  const uint8_t encoded[] = {0xAA, 0xBA, 0x57, 0xBE, 0x75, 0xFE, 0x57, 0xFA, 0x7D,
                             0xBA, 0xDF, 0xBE, 0xFD, 0xAA, 0x5D, 0xEE, 0x75};
  for (size_t preamble = 0; preamble <= 7; ++preamble) {
    std::vector<uint8_t> reply(preamble, 0xFE);
    reply.insert(reply.end(), encoded, encoded + sizeof(encoded));
    EXPECT_EQ(Dub(kDevice, preamble), reply) << preamble;
    RdmUid uid = {};
    EXPECT_EQ(DecodeDubReply(reply.data(), reply.size(), &uid), DubReply::kValid) << preamble;
    EXPECT_EQ(RdmUidValue(uid), 0x123456789ABCu) << preamble;
  }
}

TEST(DubReplies, CollisionsAndFragments) {
  const std::vector<uint8_t> good = Dub(kDevice, 3);
  struct Row {
    const char* why;
    std::vector<uint8_t> reply;
    DubReply expected;
  };
  std::vector<uint8_t> noSeparator = Dub(kDevice, 7);
  noSeparator[7] = 0xFE;  // eight preamble bytes, then the encoded UID
  const Row rows[] = {
      {"whole reply", good, DubReply::kValid},
      {"wrong checksum encoded", Dub(kDevice, 7, 1), DubReply::kCollision},
      {"one byte short of the checksum", {good.begin(), good.end() - 1}, DubReply::kNone},
      {"separator alone", {0xFE, 0xAA}, DubReply::kNone},
      {"nothing", {}, DubReply::kNone},
      {"no separator in bytes 0 to 7: encoded bytes from 8", noSeparator, DubReply::kValid},
      {"no preamble, UID starting with zero bytes", Dub(RdmUidFromValue(1), 0), DubReply::kValid},
  };
  for (const Row& r : rows) {
    RdmUid uid;
    EXPECT_EQ(DecodeDubReply(r.reply.data(), r.reply.size(), &uid), r.expected) << r.why;
  }
}

TEST(MuteReplies, ConfirmedOnlyByTheirOwnSum) {
  struct Row {
    const char* why;
    std::vector<uint8_t> reply;
    bool confirmed;
  };
  const Row rows[] = {
      {"nothing", {}, false},
      {"one zero byte", {0x00}, true},
      {"two zero bytes", {0x00, 0x00}, true},
      {"one non-zero byte", {0x01}, false},
      {"two bytes that wrap to zero only in 8 bits", {0x80, 0x80}, false},
      {"three bytes: 0x05 then its sum", {0x05, 0x00, 0x05}, true},
      {"three bytes, wrong sum", {0x05, 0x00, 0x06}, false},
      // Start code and UIDs are not looked at: only the trailing sum.
      {"any bytes with their sum", {0x01, 0x02, 0x03, 0x00, 0x06}, true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsConfirmedMuteReply(r.reply.data(), r.reply.size()), r.confirmed) << r.why;
  }
}

}  // namespace
