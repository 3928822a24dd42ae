// Art-Net byte layouts over plain buffers: what goes on the wire and what is
// taken from it.
#include "protocols/artnet_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "artnet_test_support.h"

namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

TEST(ArtnetPackets, ArtDmxHeaderForOutput) {
  uint8_t out[18];
  BuildArtDmxHeader(out, 0xAB1234);  // only the low 16 bits go out
  const std::vector<uint8_t> expected = {'A', 'r', 't', '-', 'N', 'e', 't', 0x00, 0x00,
                                         0x50, 0x00, 0x0E, 0x00, 0x00, 0x34, 0x12, 0x02, 0x00};
  EXPECT_EQ(Bytes(out, 18), expected);
}

TEST(ArtnetPackets, ArtDmxInputLengths) {
  struct Row {
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
      {600, true, 512, "the whole receive buffer is cut to a universe"},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> p = ArtDmx(0x0102, r.datagram > 18 ? r.datagram - 18 : 0);
    p.resize(r.datagram);
    p[16] = 0xFF;  // a Length field that lies changes nothing
    p[17] = 0xFF;
    ArtDmxInput in = {};
    ASSERT_EQ(ParseArtDmx(p.data(), p.size(), &in), r.taken) << r.why;
    if (!r.taken) continue;
    EXPECT_EQ(in.universe, 258) << r.why;
    EXPECT_EQ(in.length, r.dataLength) << r.why;
    EXPECT_EQ(in.data, p.data() + 18) << r.why;
  }
}

TEST(ArtnetPackets, ArtTodRequestAddressesBoundedByWhatArrived) {
  struct Row {
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
  for (const Row& r : rows) {
    std::vector<uint8_t> p(r.datagram, 0);
    std::memcpy(p.data(), "Art-Net", 8);
    p[9] = 0x80;
    for (size_t i = 24; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i);
    if (p.size() > 22) p[22] = r.command;
    if (p.size() > 23) p[23] = r.adCount;
    ArtTodRequestInput in = {};
    ASSERT_EQ(ParseArtTodRequest(p.data(), p.size(), &in), r.taken) << r.why;
    if (!r.taken) continue;
    EXPECT_EQ(in.command, r.command) << r.why;
    EXPECT_EQ(in.adCount, r.adCount) << r.why;
    EXPECT_EQ(in.addressCount, r.addresses) << r.why;
    EXPECT_EQ(in.addresses, p.data() + 24) << r.why;
  }
}

class ArtPollReplyBuild : public ArtnetTest {};

TEST_F(ArtPollReplyBuild, FixedFieldsOfTheFirstReply) {
  uint8_t reply[kArtPollReplySize] = {};
  BuildArtPollReply(reply, 0);
  std::vector<uint8_t> expected(kArtPollReplySize, 0);
  const uint8_t head[] = {'A',  'r',  't',  '-',  'N',  'e',  't',  0x00,  // ID
                          0x00, 0x21,                                      // OpPollReply
                          10,   1,    2,    3,                             // IP
                          0x36, 0x19,                                      // port 6454
                          1,    2,    0,    0,                             // VersInfo, switches
                          0x7A, 0x31, 0,    2,    0x4B, 0x57,              // OEM, Ubea, Status1, ESTA
                          'G',  'a',  't',  'e',  'w',  'a',  'y'};        // ShortName
  std::copy(head, head + sizeof(head), expected.begin());
  const uint8_t longName[] = {'G', 'a', 't', 'e', 'w', 'a', 'y'};
  std::copy(longName, longName + sizeof(longName), expected.begin() + 44);
  const uint8_t tail[] = {0x00, 0x50, 0xC2, 0x1A, 0x2B, 0x3C,  // MAC
                          10,   1,    2,    3,                 // BindIp
                          0,                                   // BindIndex
                          5};                                  // Status2
  std::copy(tail, tail + sizeof(tail), expected.begin() + 201);
  EXPECT_EQ(Bytes(reply, kArtPollReplySize), expected);
}

TEST_F(ArtPollReplyBuild, LaterRepliesAreVirtualAndNamesAreCut) {
  std::strcpy(DeviceName, "ABCDEFGHIJKLMNOPQRST");  // 20 characters
  uint8_t reply[kArtPollReplySize] = {};
  BuildArtPollReply(reply, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 26), 18),
            std::string("ABCDEFGHIJKLMNOP\0\0", 18));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 44)), "ABCDEFGHIJKLMNOPQRST");

  BuildArtPollReply(reply, 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 26), 18), "ABCDEFGHIJKLMNOP (");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 44)), "ABCDEFGHIJKLMNOPQRST (virtual)");
  EXPECT_EQ(reply[211], 1);
  EXPECT_EQ(reply[212], 4);

  std::strcpy(DeviceName, "0123456789012345678901234567890123456789");  // 40
  BuildArtPollReply(reply, 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 44)),
            "012345678901234567890123456789 (virtual)");
  EXPECT_EQ(reply[108], 0);  // NodeReport starts right after; untouched
}

TEST(ArtnetPackets, ArtTodDataLayout) {
  const RdmUid uids[2] = {{{0x57, 0x4B, 0x00, 0x00, 0x00, 0x01}},
                          {{0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF}}};
  uint8_t out[kArtTodDataMaxSize];
  size_t length = BuildArtTodData(out, 7, 450, 2, uids, 2);
  const std::vector<uint8_t> expected = {
      'A', 'r', 't', '-', 'N', 'e', 't', 0x00, 0x00, 0x81,  // ID, OpTodData
      1, 2, 1, 1,                                           // ProtVer, RdmVer, Port
      0, 0, 0, 0, 0, 0, 0, 0,                               // spare, BindIndex, Net
      0, 7,                                                 // CommandResponse, Address
      0x01, 0xC2,                                           // UidTotal 450, high byte first
      2, 2,                                                 // BlockCount, UidCount
      0x57, 0x4B, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF};
  EXPECT_EQ(Bytes(out, length), expected);
}

}  // namespace
