// Art-Net byte layouts over plain buffers: what goes on the wire and what is
// taken from it.
#include "protocols/artnet_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "receiver_test_support.h"

namespace {

TEST(ArtnetPackets, ArtDmxInputLengths) {
  const struct {
    size_t datagram;
    uint16_t lengthField;
    bool taken;
    uint32_t dataLength;
  } rows[] = {
      {17, 512, false, 0},                           // shorter than the header
      {19, 512, false, 0},                           // one channel
      {20, 512, true, 2},                            // the shortest taken
      {22, 4, true, 4},                              // a universe of three channels, padded to 4
      {38, 0xFFFF, true, 20},                        // a Length beyond what arrived
      {kArtDmxSize, 4, true, 4},                     // trailing bytes beyond the Length
      {kArtDmxSize, 0, true, 0},                     // a Length of nothing writes nothing
      {kArtnetReceiveBufferSize, 0xFFFF, true, 512},  // cut to a universe
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtDmx(0x0102, r.datagram > 18 ? r.datagram - 18 : 0);
    p.resize(r.datagram);
    if (p.size() >= 18) {
      p[16] = static_cast<uint8_t>(r.lengthField >> 8);
      p[17] = static_cast<uint8_t>(r.lengthField);
    }
    ArtDmxInput in = {};
    ASSERT_EQ(ParseArtDmx(p.data(), p.size(), &in), r.taken) << r.datagram;
    if (!r.taken) continue;
    EXPECT_EQ(in.universe, 258) << r.datagram;
    EXPECT_EQ(in.length, r.dataLength) << r.datagram;
    EXPECT_EQ(in.data, p.data() + 18) << r.datagram;
  }
}

TEST(ArtnetPackets, ArtTodRequestAddressesBoundedByWhatArrived) {
  const struct {
    size_t datagram;
    uint8_t adCount;
    bool taken;
    uint32_t addresses;
  } rows[] = {
      {23, 0, false, 0},  // ends before AdCount
      {26, 3, true, 2},   // three asked, two arrived
      {30, 2, true, 2},   // surplus bytes are not addresses
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtOp(0x80);
    p.resize(r.datagram);
    for (size_t i = 24; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i);
    if (p.size() >= 24) p[23] = r.adCount;
    ArtTodRequestInput in = {};
    ASSERT_EQ(ParseArtTodRequest(p.data(), p.size(), &in), r.taken) << r.datagram;
    if (!r.taken) continue;
    EXPECT_EQ(in.adCount, r.adCount) << r.datagram;
    EXPECT_EQ(in.addressCount, r.addresses) << r.datagram;
    EXPECT_EQ(in.addresses, p.data() + 24) << r.datagram;
  }
}

}  // namespace
