// Art-Net and jumbo input: the byte layouts taken from the wire, and the
// receive paths from a datagram to stream data, unmatched universes and
// replies on the wire.
#include "protocols/artnet_receive.h"

#include <gtest/gtest.h>

#include <vector>

#include "receiver_test_support.h"
#include "protocols/artnet_packets.h"
#include "protocols/jumbo_receive.h"

namespace {

TEST(ArtnetPackets, ArtDmxInputLengths) {
  const struct {
    size_t datagram;
    uint16_t lengthField;
    bool taken;
    uint32_t dataLength;
  } rows[] = {
      {19, 512, false, 0},                           // one channel
      {20, 512, true, 2},                            // the shortest taken
      {38, 0xFFFF, true, 20},                        // a Length beyond what arrived
      {kArtDmxSize, 4, true, 4},                     // trailing bytes beyond the Length
      {kArtDmxSize, 0, true, 0},                     // a Length of nothing writes nothing
      {kArtnetReceiveBufferSize, 0xFFFF, true, 512},  // cut to a universe
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtDmx(0x0102, r.datagram > 18 ? r.datagram - 18 : 0);
    p[16] = static_cast<uint8_t>(r.lengthField >> 8);
    p[17] = static_cast<uint8_t>(r.lengthField);
    p.resize(r.datagram);
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
      {24, 5, true, 0},   // AdCount and nothing after it
      {26, 3, true, 2},   // three asked, two arrived
      {30, 2, true, 2},   // surplus bytes are not addresses
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> p = ArtOp(0x80);
    p.resize(r.datagram);
    if (p.size() >= 24) p[23] = r.adCount;
    ArtTodRequestInput in = {};
    ASSERT_EQ(ParseArtTodRequest(p.data(), p.size(), &in), r.taken) << r.datagram;
    if (!r.taken) continue;
    EXPECT_EQ(in.adCount, r.adCount) << r.datagram;
    EXPECT_EQ(in.addressCount, r.addresses) << r.datagram;
    EXPECT_EQ(in.addresses, p.data() + 24) << r.datagram;
  }
}

using ArtnetReceive = ReceiverTest;

// A jumbo frame of `count` slots of `size` bytes; slot 1 holds an ArtDmx of
// universe 1 when there is one.
std::vector<uint8_t> Jumbo(uint8_t count, uint16_t size) {
  std::vector<uint8_t> f(4 + static_cast<size_t>(count) * size, 0);
  const uint8_t header[] = {'Q', 'S', 'J', 'F', 1, 0, 0, 0, 0, 1, count,
                            static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8)};
  std::copy(header, header + sizeof(header), f.begin());
  if (count > 1 && size >= 18) {
    std::vector<uint8_t> p = ArtDmx(1, size - 18);
    std::copy(p.begin(), p.end(), f.begin() + 4 + size);
  }
  return f;
}

std::vector<uint8_t> With(std::vector<uint8_t> p, size_t at, uint8_t value) {
  p[at] = value;
  return p;
}

// A TodRequest gets no ArtTodData, whatever it asks: no Art-Net port keeps
// RDM UIDs.
TEST_F(ArtnetReceive, FirstMatchingInputTakesTheDataAndDroppedDatagramsLeaveNoState) {
  const std::vector<uint8_t> good = ArtDmx(1, 100);
  // 4 + 2 * 4498: the most a frame may take.
  const std::vector<uint8_t> jumbo = Jumbo(2, 4498);
  // Slots lie in order; the first one cut short by the datagram's end, and
  // every one after it, is left: the buffer beyond holds an earlier datagram.
  std::vector<uint8_t> cutJumbo = Jumbo(3, 530);
  const std::vector<uint8_t> second = ArtDmx(2, 512);
  std::copy(second.begin(), second.end(), cutJumbo.begin() + 4 + 2 * 530);
  cutJumbo.pop_back();
  // Command 0 (the full table), AdCount 2, universes 1 and 2.
  const std::vector<uint8_t> todRequest =
      ArtOp(0x80, {0, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 2});
  ExpectReceived(
      {"A258010000000009O\n",  // output with the universe: not a match
       "A258255255255255I\n",  // first input of universe 258
       "A258255255255255I\n",  // later input of the same universe: never fed
       "A001255255255255I\n", "A002255255255255I\n"},
      {{"universe 258", HandleArtnetPacket, ArtDmx(0x0102, 20), 1, 20},
       {"the ID's terminator is not compared", HandleArtnetPacket, With(good, 7, 'X'), 3, 100},
       {"a universe without an input", HandleArtnetPacket, ArtDmx(3, 10), -1, 0, 1},
       {"half an OpCode", HandleArtnetPacket, {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00}},
       {"not Art-Net", HandleArtnetPacket, With(good, 6, 'x')},
       {"our own packet", HandleArtnetPacket, good, -1, 0, 0, "10.1.2.3"},
       {"a PollReply", HandleArtnetPacket, ArtOp(0x21)},
       {"TodRequest", HandleArtnetPacket, todRequest},
       {"TodRequest for other than the full table", HandleArtnetPacket, With(todRequest, 22, 1)},
       {"TodRequest claiming more than arrived", HandleArtnetPacket, With(todRequest, 23, 200)},
       {"jumbo", HandleJumboFrame, jumbo, 3, 512},
       {"jumbo slots of 22 bytes: four channels", HandleJumboFrame, Jumbo(2, 22), 3, 4},
       {"jumbo slot cut short", HandleJumboFrame, cutJumbo, 3, 512},
       {"jumbo header without its size", HandleJumboFrame, Bytes(jumbo.data(), 12)},
       {"jumbo with the wrong magic", HandleJumboFrame, With(jumbo, 0, 'X')},
       {"jumbo of 9001 bytes", HandleJumboFrame, Jumbo(1, 8997)},
       {"jumbo slots too short for 2 channels", HandleJumboFrame, Jumbo(2, 19)},
       {"ArtPoll slot: no reply from here", HandleJumboFrame, With(jumbo, 4 + 4498 + 9, 0x20)}});
}

// Four ports a reply. The first reply's port block, counts, bind indexes and
// names are checked on the real binary; here the second reply's port block
// byte for byte, and no reply to spare.
TEST_F(ArtnetReceive, ArtnetPortsGiveOneReplyPerFour) {
  AddNetworkStreams({"V\n",                 // not Art-Net: no port
                     "A001255255255255I\n", "A002255255255255O\n", "A003255255255255I\n",
                     "E009255255255255O\n",  // QSP: no port
                     "A004255255255255O\n", "A005255255255255O\n"});
  Receive(HandleArtnetPacket, ArtOp(0x20, {0, 14, 0, 0}));
  ASSERT_EQ(Captured().size(), 2u);
  ASSERT_EQ(Captured()[1].bytes.size(), kArtPollReplySize);
  // PortTypes beyond NumPortsLo keep the first reply's values; peers rely on
  // NumPortsLo alone.
  //                      NumPorts PortTypes            GoodInput   GoodOutput  SwIn        SwOut
  EXPECT_EQ(Bytes(&Captured()[1].bytes[172], 22),
            (std::vector<uint8_t>{0, 1, 0x40, 0x40, 0x80, 0x40, 0x80, 0, 0, 0, 0, 0, 0, 0, 5, 0,
                                  0, 0, 0, 0, 0, 0}));
  AddNetworkStreams({"A006255255255255I\n", "A007255255255255I\n", "A008255255255255I\n"});
  Captured().clear();
  Receive(HandleArtnetPacket, ArtOp(0x20));
  EXPECT_EQ(Captured().size(), 2u) << "no third, empty reply";
}

// Blocks of at most 200 UIDs, to the requester; an empty table still answers.
TEST_F(ArtnetReceive, TodDataSplitsIntoBlocksOf200) {
  static RdmUid uids[450];
  for (uint32_t i = 0; i < 450; ++i) {
    uids[i] = {{0x57, 0x4B, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}};
  }
  const struct {
    uint32_t count;
    std::vector<uint8_t> uidCounts;
  } rows[] = {{0, {0}}, {2, {2}}, {200, {200, 0}}, {450, {200, 200, 50}}};
  for (const auto& r : rows) {
    Captured().clear();
    SendArtTodData(From("10.0.0.44"), uids, r.count, 6, CaptureDatagram);
    ASSERT_EQ(Captured().size(), r.uidCounts.size()) << r.count;
    for (uint8_t b = 0; b < r.uidCounts.size(); ++b) {
      const SentDatagram& d = Captured()[b];
      EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr("10.0.0.44"));  // the address as given
      const uint8_t n = r.uidCounts[b];
      //                    ProtVer, RdmVer, Port; spare, BindIndex, Net; CommandResponse, Address
      std::vector<uint8_t> expected = ArtOp(0x81, {1, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6,
                                                   // UidTotal, big-endian; BlockCount; UidCount
                                                   static_cast<uint8_t>(r.count >> 8),
                                                   static_cast<uint8_t>(r.count), b, n});
      const uint8_t* first = uids[b * 200].bytes;
      expected.insert(expected.end(), first, first + 6 * n);
      EXPECT_EQ(d.bytes, expected) << r.count << " block " << int{b};
    }
  }
  // UIDs past a block's count stay out of its buffer, though they are at hand.
  std::vector<uint8_t> out(kArtTodDataMaxSize, 0xEE);
  BuildArtTodData(out.data(), 6, 450, 0, uids, 2);
  EXPECT_EQ(out[kArtTodDataHeaderSize + 12], 0xEE);
}

}  // namespace
