// The KiNet receiver: both discovery replies byte for byte, DMX-out and
// port-out into input streams, and the datagrams it must refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/kinet_packets.h"
#include "protocols/kinet_receive.h"
#include "receiver_test_support.h"

namespace receiver_test {
namespace {

std::vector<uint8_t> Header(uint16_t type, uint32_t sequence = 7, uint16_t version = 1) {
  std::vector<uint8_t> p(12);
  BuildKinetHeader(p.data(), sequence, type, version);
  return p;
}

// DMX-out: port at 12, 8 bytes of other fields, channels from 20.
std::vector<uint8_t> DmxOut(uint8_t port, size_t channels) {
  std::vector<uint8_t> p = Header(kKinetDmxOut);
  p.resize(20, 0);
  p[12] = port;
  std::vector<uint8_t> ramp = Ramp(channels, 1);
  p.insert(p.end(), ramp.begin(), ramp.end());
  return p;
}

// Port-out: port at 16, length at 20-21, channels from 24.
std::vector<uint8_t> PortOut(uint8_t port, uint16_t lengthField, size_t channels) {
  std::vector<uint8_t> p = Header(kKinetPortOut);
  p.resize(24, 0);
  p[16] = port;
  p[20] = static_cast<uint8_t>(lengthField & 0xFF);
  p[21] = static_cast<uint8_t>(lengthField >> 8);
  std::vector<uint8_t> ramp = Ramp(channels, 1);
  p.insert(p.end(), ramp.begin(), ramp.end());
  return p;
}

class KinetReceive : public ReceiverTest {
 protected:
  void Handle(const std::vector<uint8_t>& p, const char* from = "10.1.2.9",
              uint16_t port = 49152) {
    HandleKinetPacket(p.data(), p.size(), Peer(from, port), CaptureDatagram);
  }
  // How many leading channels of stream i hold the ramp from 1.
  static size_t RampLength(uint32_t i) {
    size_t n = 0;
    while (n < 512 && At(i).data[n] == static_cast<uint8_t>(n + 1)) ++n;
    return n;
  }
};

TEST(KinetHeader, IsLittleEndian) {
  uint8_t h[12];
  BuildKinetHeader(h, 0x11223344, 0x0108, 0x0203);
  const uint8_t expected[] = {0x04, 0x01, 0xDC, 0x4A, 0x03, 0x02,
                              0x08, 0x01, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(0, std::memcmp(h, expected, sizeof(expected)));
}

TEST_F(KinetReceive, DiscoveryIsAnsweredToTheSenderByteForByte) {
  Handle(Header(kKinetDiscovery, 7, 1), "10.1.2.9", 49152);
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& r = Captured()[0];
  EXPECT_EQ(Dotted(r.to), "10.1.2.9");
  EXPECT_EQ(ntohs(r.to.sin_port), 49152);
  std::vector<uint8_t> expected = {
      0x04, 0x01, 0xDC, 0x4A, 0x02, 0x00, 0x02, 0x00, 0x07, 0x00, 0x00, 0x00,  // header
      10,   1,    2,    3,                                                     // address
      0x00, 0x50, 0xC2, 0x1A, 0x2B, 0x3C,                                      // MAC
      0x02, 0x00, 0x04, 0x03, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00,
      'C',  'o',  'r',  'v',  'a',  'n',  't',  'a',  ' ',  'M',  'k',  '2'};
  expected.resize(62, 0);
  EXPECT_EQ(r.bytes, expected);
}

TEST_F(KinetReceive, PortDiscoveryWithoutStreamsReportsNone) {
  Handle(Header(kKinetPortDiscovery, 0x11223344, 3));
  ASSERT_EQ(Captured().size(), 1u);
  const std::vector<uint8_t> expected = {0x04, 0x01, 0xDC, 0x4A, 0x03, 0x00, 0x0B, 0x00,
                                         0x44, 0x33, 0x22, 0x11, 0,    0,    0,    0};
  EXPECT_EQ(Captured()[0].bytes, expected);
  EXPECT_EQ(ntohs(Captured()[0].to.sin_port), 49152);
}

TEST_F(KinetReceive, PortDiscoveryListsInputStreamsOnly) {
  ProcessConfigText(KinetLine(9, false) + "V\n" + KinetLine(5, true));
  Handle(Header(kKinetPortDiscovery, 2, 1));
  ASSERT_EQ(Captured().size(), 1u);
  const std::vector<uint8_t> expected = {0x04, 0x01, 0xDC, 0x4A, 0x01, 0x00, 0x0B, 0x00,
                                         0x02, 0x00, 0x00, 0x00, 1,    0,    0,    0,
                                         5,    2,    0,    0,    0,    0,    0,    0};
  EXPECT_EQ(Captured()[0].bytes, expected);
}

TEST_F(KinetReceive, PortDiscoveryStopsAtSixteenRecords) {
  std::string config;
  for (int port = 1; port <= 20; ++port) config += KinetLine(port, true);
  ProcessConfigText(config);
  Handle(Header(kKinetPortDiscovery, 2, 1));
  ASSERT_EQ(Captured().size(), 1u);
  std::vector<uint8_t> expected = {0x04, 0x01, 0xDC, 0x4A, 0x01, 0x00, 0x0B, 0x00,
                                   0x02, 0x00, 0x00, 0x00, 16,   0,    0,    0};
  for (uint8_t port = 1; port <= 16; ++port) {
    expected.insert(expected.end(), {port, 2, 0, 0, 0, 0, 0, 0});
  }
  EXPECT_EQ(Captured()[0].bytes.size(), 144u);
  EXPECT_EQ(Captured()[0].bytes, expected);
}

TEST_F(KinetReceive, DmxOutFillsTheFirstInputStreamOfItsPort) {
  ProcessConfigText(KinetLine(1, false) + KinetLine(2, true) + KinetLine(1, true) + KinetLine(1, true));
  Handle(DmxOut(1, 512));  // 532 bytes
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(At(1).writeCount, 0u);
  EXPECT_EQ(At(2).writeCount, 1u);
  EXPECT_EQ(RampLength(2), 512u);
  EXPECT_EQ(At(3).writeCount, 0u);
  EXPECT_TRUE(Captured().empty());
  EXPECT_EQ(UnmatchedCount, 0u);  // KiNet records nothing
  Handle(DmxOut(7, 512));
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(KinetReceive, DataLengthsAreBoundedByStreamAndDatagram) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
    uint32_t written;  // channels that must hold the ramp
  };
  const Row rows[] = {
      {"DMX-out of 100 channels", DmxOut(1, 100), 100},
      {"DMX-out cut by the 600-byte buffer", DmxOut(1, 580), 512},
      {"port-out of 100", PortOut(1, 100, 100), 100},
      {"port-out announcing more than arrived", PortOut(1, 0xFFFF, 50), 50},
      {"port-out of 600 channels", PortOut(1, 600, 576), 512},
      {"port-out carrying more than it announces", PortOut(1, 30, 200), 30},
  };
  for (const Row& row : rows) {
    ClearStreamTable();
    ProcessConfigText(KinetLine(1, true));
    Handle(row.packet);
    EXPECT_EQ(At(0).writeCount, 1u) << row.why;
    EXPECT_EQ(RampLength(0), row.written) << row.why;
  }
}

TEST_F(KinetReceive, MalformedAndForeignDatagramsAreDropped) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
    const char* from;
  };
  std::vector<uint8_t> bigEndianMagic = DmxOut(1, 512);
  bigEndianMagic[0] = 0x4A;
  bigEndianMagic[1] = 0xDC;
  bigEndianMagic[2] = 0x01;
  bigEndianMagic[3] = 0x04;
  std::vector<uint8_t> shortHeader = Header(kKinetDiscovery);
  shortHeader.resize(11);
  std::vector<uint8_t> shortDmxOut = DmxOut(1, 0);
  shortDmxOut.resize(19);
  std::vector<uint8_t> shortPortOut = PortOut(1, 0, 0);
  shortPortOut.resize(23);
  const Row rows[] = {
      {"three bytes", {0x04, 0x01, 0xDC}, "10.1.2.9"},
      {"header cut short", shortHeader, "10.1.2.9"},
      {"magic written big-endian", bigEndianMagic, "10.1.2.9"},
      {"unknown type", Header(0x0003), "10.1.2.9"},
      {"a reply type", Header(kKinetDiscoveryReply), "10.1.2.9"},
      {"sync", Header(kKinetSync), "10.1.2.9"},
      {"DMX-out of 19 bytes", shortDmxOut, "10.1.2.9"},
      {"port-out of 23 bytes", shortPortOut, "10.1.2.9"},
      {"DMX-out for a port no stream has", DmxOut(2, 512), "10.1.2.9"},
      {"own DMX-out", DmxOut(1, 512), "10.1.2.3"},
      {"own discovery", Header(kKinetDiscovery), "10.1.2.3"},
  };
  ProcessConfigText(KinetLine(1, true));
  for (const Row& row : rows) {
    Handle(row.packet, row.from);
    EXPECT_EQ(At(0).writeCount, 0u) << row.why;
    EXPECT_TRUE(Captured().empty()) << row.why;
  }
}

}  // namespace
}  // namespace receiver_test
