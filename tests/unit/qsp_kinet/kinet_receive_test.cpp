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
  std::snprintf(line, sizeof(line), "K%03d000000000001000000000000%c\n", port, input ? 'I' : 'O');
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

using KinetReceive = ReceiverTest;

// The port discovery reply whole: at most sixteen records, none for an output.
TEST_F(KinetReceive, PortDiscoveryListsSixteenInputStreamsAtMost) {
  AddStream(kStreamNetwork, KinetLine(9, false));
  AddStream(kStreamVirtual, "\n");
  for (int port = 1; port <= 20; ++port) AddStream(kStreamNetwork, KinetLine(port, true));
  Receive(HandleKinetPacket, Header(kKinetPortDiscovery));
  ASSERT_EQ(Captured().size(), 1u);
  std::vector<uint8_t> expected = {0x04, 0x01, 0xDC, 0x4A, 0x01, 0x00, 0x0B, 0x00,
                                   0x02, 0x00, 0x00, 0x00, 16,   0,    0,    0};
  for (uint8_t port = 1; port <= 16; ++port) {
    expected.insert(expected.end(), {port, 2, 0, 0, 0, 0, 0, 0});
  }
  EXPECT_EQ(Captured()[0].bytes, expected);
}

// Only the first input stream of the port is fed, as far as the stream, the
// datagram and a port-out's length allow; KiNet records nothing unmatched.
TEST_F(KinetReceive, FirstMatchingInputTakesTheDataOthersAreDropped) {
  std::vector<uint8_t> bigEndianMagic = DmxOut(1, 512);
  std::reverse(bigEndianMagic.begin(), bigEndianMagic.begin() + 4);
  const DatagramHandler kinet = HandleKinetPacket;
  const std::string out1 = KinetLine(1, false), in2 = KinetLine(2, true), in1 = KinetLine(1, true);
  ExpectReceived(
      {out1.c_str(), in2.c_str(), in1.c_str(), in1.c_str()},
      {{"DMX-out cut by the 600-byte buffer", kinet, DmxOut(1, 580), 2, 512},
       {"port-out announcing more than arrived", kinet, PortOut(1, 0xFFFF, 50), 2, 50},
       {"port-out of 600 channels", kinet, PortOut(1, 600, 576), 2, 512},
       {"port-out carrying more than it announces", kinet, PortOut(1, 30, 200), 2, 30},
       {"a port without an input", kinet, DmxOut(7, 512)},
       {"our own", kinet, DmxOut(1, 512), -1, 0, 0, "10.1.2.3"},
       {"header cut short", kinet, Bytes(Header(kKinetDiscovery).data(), 11)},
       {"magic written big-endian", kinet, bigEndianMagic},
       {"a reply type", kinet, Header(kKinetDiscoveryReply)},
       {"DMX-out of 19 bytes", kinet, Bytes(DmxOut(1, 0).data(), 19)},
       {"DMX-out of 20 bytes: no channels, still a write", kinet, DmxOut(1, 0), 2},
       {"port-out of 23 bytes", kinet, Bytes(PortOut(1, 0, 0).data(), 23)},
       {"port-out of 24 bytes: no channels, still a write", kinet, PortOut(1, 0, 0), 2}});
}

}  // namespace
