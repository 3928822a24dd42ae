// The KiNet receiver: port discovery, DMX-out and port-out into input
// streams, and the datagrams it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "receiver_test_support.h"
#include "protocols/kinet_packets.h"
#include "protocols/kinet_receive.h"

namespace {

// A KiNet stream line: port (3 digits), a KiNet universe, an unused address,
// input or output.
std::string KinetLine(int port, bool input) {
  char line[40];
  std::snprintf(line, sizeof(line), "SK%03d000000000001000000000000%c\n", port,
                input ? 'I' : 'O');
  return line;
}

std::vector<uint8_t> Header(uint16_t type) {
  std::vector<uint8_t> p(12);
  BuildKinetHeader(p.data(), 2, type, 1);
  return p;
}

// DMX-out: port at 12, channels from 20. Port-out: port at 16, length at
// 20-21, channels from 24.
std::vector<uint8_t> DmxOut(uint8_t port, size_t channels) {
  std::vector<uint8_t> p = Header(kKinetDmxOut);
  p.resize(20, 0);
  p[12] = port;
  return Ramp(p, channels);
}
std::vector<uint8_t> PortOut(uint8_t port, uint16_t lengthField, size_t channels) {
  std::vector<uint8_t> p = Header(kKinetPortOut);
  p.resize(24, 0);
  p[16] = port;
  p[20] = static_cast<uint8_t>(lengthField & 0xFF);
  p[21] = static_cast<uint8_t>(lengthField >> 8);
  return Ramp(p, channels);
}

class KinetReceive : public ArtnetTest {
 protected:
  void Handle(const std::vector<uint8_t>& p, const char* from = "10.1.2.9") {
    HandleKinetPacket(p.data(), p.size(), From(from, 49152), CaptureDatagram);
  }
};

// Both discovery replies are checked byte for byte on the real binary; here
// the port records' bound and the output streams they leave out.
TEST_F(KinetReceive, PortDiscoveryListsSixteenInputStreamsAtMost) {
  std::string config = KinetLine(9, false) + "V\n";
  for (int port = 1; port <= 20; ++port) config += KinetLine(port, true);
  ProcessConfigText(config);
  Handle(Header(kKinetPortDiscovery));
  ASSERT_EQ(Captured().size(), 1u);
  std::vector<uint8_t> expected = {0x04, 0x01, 0xDC, 0x4A, 0x01, 0x00, 0x0B, 0x00,
                                   0x02, 0x00, 0x00, 0x00, 16,   0,    0,    0};
  for (uint8_t port = 1; port <= 16; ++port) {
    expected.insert(expected.end(), {port, 2, 0, 0, 0, 0, 0, 0});
  }
  EXPECT_EQ(Captured()[0].bytes, expected);
}

// Only the first input stream of the port is fed, as far as the stream, the
// datagram and a port-out's length allow.
TEST_F(KinetReceive, DataReachesTheFirstInputStreamOfItsPort) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
    uint32_t written;  // channels that must hold the ramp, the rest untouched
  };
  const Row rows[] = {
      {"DMX-out cut by the 600-byte buffer", DmxOut(1, 580), 512},
      {"port-out announcing more than arrived", PortOut(1, 0xFFFF, 50), 50},
      {"port-out of 600 channels", PortOut(1, 600, 576), 512},
      {"port-out carrying more than it announces", PortOut(1, 30, 200), 30},
  };
  for (const Row& row : rows) {
    ClearStreamTable();
    ProcessConfigText(KinetLine(1, false) + KinetLine(2, true) + KinetLine(1, true) +
                      KinetLine(1, true));
    Handle(row.packet);
    EXPECT_EQ(At(0).writeCount + At(1).writeCount + At(3).writeCount, 0u) << row.why;
    std::vector<uint8_t> expected = Ramp({}, row.written);
    expected.resize(512, 0);
    EXPECT_EQ(Bytes(At(2).data, 512), expected) << row.why;
  }
  Handle(DmxOut(7, 512));
  EXPECT_EQ(UnmatchedCount, 0u);  // KiNet records nothing
}

TEST_F(KinetReceive, MalformedAndForeignDatagramsAreDropped) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
  };
  auto cut = [](std::vector<uint8_t> p, size_t n) {
    p.resize(n);
    return p;
  };
  std::vector<uint8_t> bigEndianMagic = DmxOut(1, 512);
  std::reverse(bigEndianMagic.begin(), bigEndianMagic.begin() + 4);
  const Row rows[] = {
      {"header cut short", cut(Header(kKinetDiscovery), 11)},
      {"magic written big-endian", bigEndianMagic},
      {"a reply type", Header(kKinetDiscoveryReply)},
      {"DMX-out of 19 bytes", cut(DmxOut(1, 0), 19)},
      {"port-out of 23 bytes", cut(PortOut(1, 0, 0), 23)},
  };
  ProcessConfigText(KinetLine(1, true));
  for (const Row& row : rows) {
    Handle(row.packet);
    EXPECT_EQ(At(0).writeCount, 0u) << row.why;
    EXPECT_TRUE(Captured().empty()) << row.why;
  }
  Handle(DmxOut(1, 512), "10.1.2.3");  // our own
  EXPECT_EQ(At(0).writeCount, 0u);
}

}  // namespace
