// Art-Net byte layouts over plain buffers: what goes on the wire and what is
// taken from it.
#include "protocols/artnet_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "artnet/artnet_test_support.h"

namespace {

TEST(ArtnetPackets, ArtDmxInputLengths) {
  const struct {
    size_t datagram;
    bool taken;
    uint32_t dataLength;
    const char* why;
  } rows[] = {
      {0, false, 0, "empty"},
      {17, false, 0, "shorter than the header"},
      {18, false, 0, "header only"},
      {37, false, 0, "19 channels"},
      {38, true, 20, "the shortest taken: 20 channels"},
      {530, true, 512, "a whole universe"},
      {531, true, 512, "one byte too many is cut"},
      {kArtnetReceiveBufferSize, true, 512, "the whole receive buffer is cut to a universe"},
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtDmx(0x0102, r.datagram > 18 ? r.datagram - 18 : 0);
    p.resize(r.datagram);
    if (p.size() >= 18) p[16] = p[17] = 0xFF;  // a Length field that lies changes nothing
    ArtDmxInput in = {};
    ASSERT_EQ(ParseArtDmx(p.data(), p.size(), &in), r.taken) << r.why;
    if (r.taken) {
      EXPECT_EQ(in.universe, 258) << r.why;
      EXPECT_EQ(in.length, r.dataLength) << r.why;
      EXPECT_EQ(in.data, p.data() + 18) << r.why;
    }
  }
}

TEST(ArtnetPackets, ArtTodRequestAddressesBoundedByWhatArrived) {
  const struct {
    size_t datagram;
    uint8_t command, adCount;
    bool taken;
    uint32_t addresses;
    const char* why;
  } rows[] = {
      {10, 0, 0, false, 0, "opcode only"},
      {23, 0, 0, false, 0, "ends before AdCount"},
      {24, 0, 0, true, 0, "no addresses asked"},
      {24, 0, 3, true, 0, "three asked, none arrived"},
      {26, 0, 3, true, 2, "three asked, two arrived"},
      {27, 0, 3, true, 3, "three asked and arrived"},
      {30, 1, 2, true, 2, "surplus bytes are not addresses"},
      {24 + 255, 0, 255, true, 255, "the most a request can ask"},
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtOp(0x80);
    p.resize(r.datagram);
    for (size_t i = 24; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i);
    if (p.size() >= 24) {
      p[22] = r.command;
      p[23] = r.adCount;
    }
    ArtTodRequestInput in = {};
    ASSERT_EQ(ParseArtTodRequest(p.data(), p.size(), &in), r.taken) << r.why;
    if (r.taken) {
      EXPECT_EQ(in.command, r.command) << r.why;
      EXPECT_EQ(in.adCount, r.adCount) << r.why;
      EXPECT_EQ(in.addressCount, r.addresses) << r.why;
      EXPECT_EQ(in.addresses, p.data() + 24) << r.why;
    }
  }
}

using ArtPollReplyBuild = ArtnetTest;

std::string Text(const uint8_t* reply, size_t at, size_t n) {
  return std::string(reinterpret_cast<const char*>(reply + at), n);
}

// The first reply's fixed fields are checked byte for byte on the real binary.
TEST_F(ArtPollReplyBuild, LaterRepliesAreVirtualAndNamesAreCut) {
  std::strcpy(DeviceName, "ABCDEFGHIJKLMNOPQRST");  // 20 characters
  uint8_t reply[kArtPollReplySize] = {};
  BuildArtPollReply(reply, 0);
  EXPECT_EQ(Text(reply, 26, 18), std::string("ABCDEFGHIJKLMNOP\0\0", 18));
  EXPECT_EQ(Text(reply, 44, 21), std::string("ABCDEFGHIJKLMNOPQRST\0", 21));

  BuildArtPollReply(reply, 1);
  EXPECT_EQ(Text(reply, 26, 18), "ABCDEFGHIJKLMNOP (");
  EXPECT_EQ(Text(reply, 44, 31), std::string("ABCDEFGHIJKLMNOPQRST (virtual)\0", 31));
  EXPECT_EQ(reply[211], 1);
  EXPECT_EQ(reply[212], 4);

  std::strcpy(DeviceName, "0123456789012345678901234567890123456789");  // 40
  BuildArtPollReply(reply, 2);
  EXPECT_EQ(Text(reply, 44, 41), std::string("012345678901234567890123456789 (virtual)\0", 41));
  EXPECT_EQ(reply[108], 0);  // NodeReport starts right after; untouched
}

}  // namespace
