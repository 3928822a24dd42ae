// The Art-Net and jumbo receive paths, from a received datagram to stream
// data, unmatched universes and replies on the wire.
#include "protocols/artnet_receive.h"

#include <gtest/gtest.h>

#include <vector>

#include "artnet/artnet_test_support.h"
#include "protocols/artnet_packets.h"
#include "protocols/jumbo_packets.h"

namespace {

class ArtnetReceive : public ArtnetTest {
 protected:
  static void Receive(const std::vector<uint8_t>& p, const char* from = "10.0.0.9") {
    struct sockaddr_in sender = From(from);
    // Exactly as long as the datagram: a read beyond it is an ASan report.
    std::vector<uint8_t> exact(p);
    HandleArtnetPacket(exact.data(), exact.size(), &sender, CaptureDatagram);
  }
  static void ReceiveJumbo(const std::vector<uint8_t>& f) {
    std::vector<uint8_t> exact(f);
    HandleJumboFrame(exact.data(), exact.size(), in_addr{});
  }
  static std::vector<uint8_t> Channels(uint32_t stream, size_t n) {
    return Bytes(StreamTable[stream]->data, n);
  }
  static std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> v;
    for (size_t i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(i + seed));
    return v;
  }
};

TEST_F(ArtnetReceive, ArtDmxReachesTheFirstInputStreamOfItsUniverse) {
  ProcessConfigText(
      "SA258010000000009O\n"    // output with the universe: not a match
      "SA258255255255255I\n"    // first input of universe 258
      "SA258255255255255I\n");  // later input of the same universe: never fed
  Receive(ArtDmx(0x0102, 20));
  std::vector<uint8_t> expected = Pattern(20);
  expected.push_back(0);  // channel 21 untouched
  EXPECT_EQ(Channels(1, 21), expected);
  EXPECT_TRUE(StreamTable[1]->IsChanged());
  EXPECT_EQ(StreamTable[1]->writeCount, 1u);
  EXPECT_FALSE(StreamTable[0]->IsChanged());
  EXPECT_FALSE(StreamTable[2]->IsChanged());
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(ArtnetReceive, DroppedDatagramsLeaveNoState) {
  ProcessConfigText("SA001255255255255I\n");
  std::vector<uint8_t> good = ArtDmx(1, 100);
  std::vector<uint8_t> foreign = good;
  foreign[6] = 'x';
  const std::vector<uint8_t> id = {'A', 'r', 't', '-', 'N', 'e', 't'};
  const struct {
    std::vector<uint8_t> bytes;
    const char* from;
    const char* why;
  } rows[] = {
      {{}, "10.0.0.9", "empty"},
      {id, "10.0.0.9", "7 bytes"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0}, "10.0.0.9", "ID without OpCode"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00}, "10.0.0.9", "half an OpCode"},
      {foreign, "10.0.0.9", "not Art-Net"},
      {good, "10.1.2.3", "our own packet"},
      {ArtDmx(1, 19), "10.0.0.9", "19 channels"},
      {ArtOp(0x82), "10.0.0.9", "TodControl"},
      {ArtOp(0x83), "10.0.0.9", "ArtRdm"},
      {ArtOp(0x21), "10.0.0.9", "a PollReply"},
      {ArtOp(0x20), "10.1.2.3", "our own poll"},
  };
  for (const auto& r : rows) {
    Receive(r.bytes, r.from);
    EXPECT_EQ(StreamTable[0]->writeCount, 0u) << r.why;
    EXPECT_EQ(UnmatchedCount, 0u) << r.why;
    EXPECT_TRUE(Captured().empty()) << r.why;
  }
  good[7] = 'X';  // the ID's terminator is not compared
  Receive(good);
  EXPECT_EQ(StreamTable[0]->writeCount, 1u);
}

// Counts, bind indexes and names of the two replies are checked on the real
// binary; here the port blocks byte for byte.
TEST_F(ArtnetReceive, FivePortsGiveTwoReplies) {
  ProcessConfigText(
      "SA001255255255255I\n"
      "SA002255255255255O\n"
      "SV\n"                    // not Art-Net: no port
      "SA003255255255255I\n"
      "SE009255255255255O\n"    // QSP: no port
      "SA004255255255255O\n"
      "SA005255255255255O\n");
  Receive(ArtOp(0x20, {0, 14, 0, 0}));
  ASSERT_EQ(Captured().size(), 2u);
  const std::vector<uint8_t>& first = Captured()[0].bytes;
  const std::vector<uint8_t>& second = Captured()[1].bytes;
  ASSERT_EQ(first.size(), kArtPollReplySize);
  //             NumPorts  PortTypes             GoodInput    GoodOutput   SwIn        SwOut
  EXPECT_EQ(Bytes(&first[172], 22), (std::vector<uint8_t>{0, 4, 0x80, 0x40, 0x80, 0x40, 0x80, 0x80,
                                                           0, 0, 0x80, 0x80, 0, 0, 2, 4, 0, 0, 1,
                                                           3, 0, 0}));
  // PortTypes beyond NumPortsLo keep the first reply's values; peers rely on
  // NumPortsLo alone.
  EXPECT_EQ(Bytes(&second[172], 22), (std::vector<uint8_t>{0, 1, 0x40, 0x40, 0x80, 0x40, 0x80, 0,
                                                            0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0,
                                                            0, 0}));
}

TEST_F(ArtnetReceive, ReplyCountFollowsTheArtnetStreams) {
  ProcessConfigText("SV\n");
  Receive(ArtOp(0x20));
  EXPECT_EQ(Captured().size(), 0u) << "no Art-Net stream, no reply";
  ClearStreamTable();
  for (int i = 1; i <= 8; ++i) ProcessConfigText("SA00" + std::to_string(i) + "255255255255I\n");
  Receive(ArtOp(0x20));
  ASSERT_EQ(Captured().size(), 2u) << "no third, empty reply";
  EXPECT_EQ(Captured()[1].bytes[173], 4);
}

TEST_F(ArtnetReceive, TodRequestAnsweredFromTheStreamsTable) {
  ProcessConfigText(
      "SA005255255255255I\n"    // first Art-Net input: table 0
      "SA006255255255255I\n");  // second: table 1
  // Nine addresses asked, two arrived; both lists empty: nothing to send.
  std::vector<uint8_t> request = ArtOp(0x80, {0, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 1, 2});
  Receive(request);
  EXPECT_TRUE(Captured().empty());

  ArtTodTable& table = ArtTodTables[1];
  table.count = 2;
  table.uids[0] = {{0x57, 0x4B, 0, 0, 0, 9}};
  table.uids[1] = {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}};
  EXPECT_EQ(FindArtTodList(5).count, 0u);
  EXPECT_EQ(FindArtTodList(7).count, 0u);
  EXPECT_EQ(FindArtTodList(6).count, 2u);

  request = ArtOp(0x80, {0, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 5, 6, 7});
  request[22] = 1;  // a command other than TodFull is ignored
  Receive(request, "10.0.0.44");
  EXPECT_TRUE(Captured().empty());
  request[22] = 0;
  Receive(request, "10.0.0.44");
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& d = Captured()[0];
  EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr("10.0.0.44"));  // to the requester
  EXPECT_EQ(ntohs(d.to.sin_port), 6454);
  EXPECT_EQ(d.bytes, ArtOp(0x81, {1, 2, 1, 1,                // ProtVer, RdmVer, Port
                                  0, 0, 0, 0, 0, 0, 0, 0,    // spare, BindIndex, Net
                                  0, 6,                      // CommandResponse, Address
                                  0x00, 0x02, 0, 2,          // UidTotal, BlockCount, UidCount
                                  0x57, 0x4B, 0, 0, 0, 9, 1, 2, 3, 4, 5, 6}));

  table.count = 60000;  // a corrupt count never reads past the table
  EXPECT_EQ(FindArtTodList(6).count, 200u);
  table = ArtTodTable();
}

TEST_F(ArtnetReceive, TodDataSplitsIntoBlocksOf200) {
  static RdmUid uids[450];
  for (uint32_t i = 0; i < 450; ++i) {
    uids[i] = {{0, 0, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}};
  }
  const struct {
    uint32_t count;
    std::vector<size_t> lengths;
  } rows[] = {
      {0, {28}},
      {1, {34}},
      {200, {1228, 28}},
      {450, {1228, 1228, 328}},
  };
  for (const auto& r : rows) {
    Captured().clear();
    SendArtTodData(From("10.0.0.5"), uids, r.count, 3, CaptureDatagram);
    ASSERT_EQ(Captured().size(), r.lengths.size()) << r.count;
    for (size_t b = 0; b < r.lengths.size(); ++b) {
      const std::vector<uint8_t>& p = Captured()[b].bytes;
      ASSERT_EQ(p.size(), r.lengths[b]) << r.count;
      EXPECT_EQ(p[24] << 8 | p[25], static_cast<int>(r.count));  // UidTotal, high byte first
      EXPECT_EQ(p[26], b);                                        // BlockCount
      EXPECT_EQ(p[27], (r.lengths[b] - 28) / 6);                  // UidCount
      if (p[27] > 0) {
        EXPECT_EQ(p[28 + 5], static_cast<uint8_t>(b * 200));  // first UID of the block
      }
    }
  }
}

// A jumbo frame of `count` slots of `size` bytes; slots listed in `artdmx`
// hold an ArtDmx of that universe.
std::vector<uint8_t> Jumbo(uint8_t count, uint16_t size,
                           std::vector<std::pair<uint32_t, uint16_t>> artdmx) {
  std::vector<uint8_t> f(4 + static_cast<size_t>(count) * size, 0);
  const uint8_t header[] = {'Q', 'S', 'J', 'F', 1, 0, 0, 0, 0, 1, count,
                            static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8)};
  std::copy(header, header + sizeof(header), f.begin());
  for (auto [slot, universe] : artdmx) {
    std::vector<uint8_t> p = ArtDmx(universe, size - 18, static_cast<uint8_t>(slot));
    std::copy(p.begin(), p.end(), f.begin() + 4 + slot * size);
  }
  return f;
}

TEST_F(ArtnetReceive, JumboArtDmxSlotsReachTheirStreams) {
  ProcessConfigText("SA001255255255255I\nSA002255255255255I\n");
  ReceiveJumbo(Jumbo(3, 530, {{1, 2}, {2, 1}}));
  EXPECT_EQ(Channels(1, 512), Pattern(512, 1));  // slot 1 at offset 534
  EXPECT_EQ(Channels(0, 512), Pattern(512, 2));  // slot 2 at offset 1064
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(ArtnetReceive, MalformedJumboFramesWriteNothing) {
  ProcessConfigText("SA001255255255255I\n");
  const std::vector<uint8_t> good = Jumbo(2, 530, {{1, 1}});
  auto with = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> f = good;
    f[at] = v;
    return f;
  };
  const struct {
    std::vector<uint8_t> bytes;
    const char* why;
  } rows[] = {
      {{}, "empty"},
      {{'Q', 'S', 'J', 'F', 1, 0, 0}, "7 bytes"},
      {std::vector<uint8_t>(good.begin(), good.begin() + 12), "header without its size"},
      {with(0, 'X'), "wrong magic"},
      {with(4, 2), "byte 4 not 1"},
      {with(9, 0), "byte 9 not 1"},
      {with(10, 0), "no slots"},
      {Jumbo(17, 530, {{1, 1}}), "17 slots of 530 exceed 9000"},
      {Jumbo(2, 37, {{1, 1}}), "slots too short for 20 channels"},
      {Jumbo(3, 9, {}), "slots too short for an OpCode"},
      {Jumbo(200, 5, {}), "slots too short for an ID"},
      {with(4 + 530 + 9, 0x20), "ArtPoll slot: no reply from here"},
      {with(4 + 530 + 3, 'x'), "slot not Art-Net"},
  };
  for (const auto& r : rows) {
    ReceiveJumbo(r.bytes);
    EXPECT_EQ(StreamTable[0]->writeCount, 0u) << r.why;
    EXPECT_EQ(UnmatchedCount, 0u) << r.why;
  }
  EXPECT_TRUE(Captured().empty());
  ReceiveJumbo(good);
  EXPECT_EQ(StreamTable[0]->writeCount, 1u);
}

TEST(JumboPackets, SlotWalking) {
  std::vector<uint8_t> f = Jumbo(3, 530, {});
  JumboHeader h = {};
  ASSERT_TRUE(ParseJumboHeader(f.data(), f.size(), &h));
  EXPECT_EQ(h.count, 3u);
  EXPECT_EQ(h.size, 530u);
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 0), f.data() + 4);
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 2), f.data() + 1064);
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 3), nullptr);
  EXPECT_EQ(JumboSlot(f.data(), f.size() - 1, h, 2), nullptr);  // one byte short
  f = Jumbo(16, 562, {});  // 4 + 16 * 562 = 8996: still fits
  EXPECT_TRUE(ParseJumboHeader(f.data(), f.size(), &h));
  f = Jumbo(1, 8997, {});  // 4 + 8997 = 9001: does not
  EXPECT_FALSE(ParseJumboHeader(f.data(), f.size(), &h));
}

}  // namespace
