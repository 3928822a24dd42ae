// The Art-Net and jumbo receive paths, from a received datagram to stream
// data, unmatched universes and replies on the wire.
#include "protocols/artnet_receive.h"

#include <gtest/gtest.h>

#include <vector>

#include "artnet_test_support.h"
#include "protocols/artnet_packets.h"
#include "protocols/jumbo_packets.h"

namespace {

class ArtnetReceive : public ArtnetTest {
 protected:
  void Receive(const std::vector<uint8_t>& p, const char* from = "10.0.0.9") {
    struct sockaddr_in sender = From(from);
    // Exactly as long as the datagram: a read beyond it is an ASan report.
    std::vector<uint8_t> exact(p);
    HandleArtnetPacket(exact.data(), exact.size(), &sender, CaptureDatagram);
  }
  static std::vector<uint8_t> Channels(uint32_t stream, size_t n) {
    return std::vector<uint8_t>(StreamTable[stream]->data, StreamTable[stream]->data + n);
  }
  static std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> v;
    for (size_t i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(i + seed));
    return v;
  }
};

TEST_F(ArtnetReceive, ArtDmxReachesTheFirstInputStreamOfItsUniverse) {
  Configure(
      "SA258010000000009O\n"    // output with the universe: not a match
      "SA258255255255255I\n"    // first input of universe 258
      "SA258255255255255I\n");  // later input of the same universe: never fed
  Receive(ArtDmx(0x0102, 38 - 18));
  EXPECT_EQ(Channels(1, 21), [] {
    std::vector<uint8_t> v;
    for (int i = 0; i < 20; ++i) v.push_back(static_cast<uint8_t>(i + 1));
    v.push_back(0);  // channel 21 untouched
    return v;
  }());
  EXPECT_TRUE(StreamTable[1]->IsChanged());
  EXPECT_EQ(StreamTable[1]->writeCount, 1u);
  EXPECT_FALSE(StreamTable[0]->IsChanged());
  EXPECT_FALSE(StreamTable[2]->IsChanged());
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(ArtnetReceive, ArtDmxLongerThanAUniverseIsCutAt512) {
  Configure("SA001255255255255I\n");
  std::vector<uint8_t> p = ArtDmx(1, kArtnetReceiveBufferSize - 18, 7);
  Receive(p);
  EXPECT_EQ(Channels(0, 512), Pattern(512, 7));
}

TEST_F(ArtnetReceive, DroppedDatagramsLeaveNoState) {
  Configure("SA001255255255255I\n");
  std::vector<uint8_t> good = ArtDmx(1, 100);
  std::vector<uint8_t> foreign = good;
  foreign[6] = 'x';
  std::vector<uint8_t> tooFewChannels = ArtDmx(1, 19);
  struct Row {
    std::vector<uint8_t> bytes;
    const char* from;
    const char* why;
  } rows[] = {
      {{}, "10.0.0.9", "empty"},
      {{'A', 'r', 't', '-', 'N', 'e', 't'}, "10.0.0.9", "7 bytes"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0}, "10.0.0.9", "ID without OpCode"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00}, "10.0.0.9", "half an OpCode"},
      {foreign, "10.0.0.9", "not Art-Net"},
      {good, "10.1.2.3", "our own packet"},
      {tooFewChannels, "10.0.0.9", "19 channels"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x82}, "10.0.0.9", "TodControl"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x83}, "10.0.0.9", "ArtRdm"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x21}, "10.0.0.9", "a PollReply"},
      {{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20}, "10.1.2.3", "our own poll"},
  };
  for (const Row& r : rows) {
    Receive(r.bytes, r.from);
    EXPECT_EQ(StreamTable[0]->writeCount, 0u) << r.why;
    EXPECT_EQ(UnmatchedCount, 0u) << r.why;
    EXPECT_TRUE(Captured().empty()) << r.why;
  }
  std::vector<uint8_t> otherByte7 = good;
  otherByte7[7] = 'X';
  Receive(otherByte7);
  EXPECT_EQ(StreamTable[0]->writeCount, 1u);
}

TEST_F(ArtnetReceive, UnmatchedUniverseIsRecordedOnce) {
  Configure("SA001255255255255I\n");
  for (int i = 0; i < 100; ++i) Receive(ArtDmx(0x0305, 512));
  Receive(ArtDmx(7, 512));
  ASSERT_EQ(UnmatchedCount, 2u);
  EXPECT_EQ(UnmatchedTable[0].protocol, 1u);
  EXPECT_EQ(UnmatchedTable[0].universe, 0x0305u);
  EXPECT_EQ(UnmatchedTable[1].universe, 7u);
  EXPECT_EQ(std::vector<uint8_t>(UnmatchedTable[0].cid, UnmatchedTable[0].cid + 16),
            std::vector<uint8_t>(16, 0));
}

TEST_F(ArtnetReceive, PollWithThreePortsGivesOneReplyOnTheBroadcast) {
  Configure(
      "SA001255255255255I\n"
      "SV\n"                    // not Art-Net: no port
      "SA002255255255255I\n"
      "SE009255255255255O\n"    // QSP: no port
      "SA300010000000009O\n");  // universe 300 goes out as 44
  Receive({'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20, 0, 14, 0, 0});
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& d = Captured()[0];
  EXPECT_EQ(d.to.sin_addr.s_addr, BroadcastAddress.s_addr);
  EXPECT_EQ(ntohs(d.to.sin_port), 6454);
  ASSERT_EQ(d.bytes.size(), 240u);
  EXPECT_EQ(std::vector<uint8_t>(d.bytes.begin() + 172, d.bytes.begin() + 194),
            (std::vector<uint8_t>{0, 3,                    // NumPorts
                                  0x80, 0x80, 0x40, 0,     // PortTypes
                                  0x80, 0, 0, 0,           // GoodInput
                                  0x80, 0x80, 0, 0,        // GoodOutput
                                  44, 0, 0, 0,             // SwIn
                                  1, 2, 0, 0}));           // SwOut
  EXPECT_EQ(d.bytes[211], 0);
  EXPECT_EQ(d.bytes[212], 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d.bytes[26])), "Gateway");
}

TEST_F(ArtnetReceive, FivePortsGiveTwoRepliesTheSecondVirtual) {
  Configure(
      "SA001255255255255I\n"
      "SA002255255255255O\n"
      "SA003255255255255I\n"
      "SA004255255255255O\n"
      "SA005255255255255O\n");
  Receive({'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20});
  ASSERT_EQ(Captured().size(), 2u);
  const std::vector<uint8_t>& first = Captured()[0].bytes;
  const std::vector<uint8_t>& second = Captured()[1].bytes;
  EXPECT_EQ(std::vector<uint8_t>(first.begin() + 172, first.begin() + 194),
            (std::vector<uint8_t>{0, 4, 0x80, 0x40, 0x80, 0x40, 0x80, 0x80, 0, 0, 0x80, 0x80, 0,
                                  0, 2, 4, 0, 0, 1, 3, 0, 0}));
  EXPECT_EQ(first[211], 0);
  EXPECT_EQ(first[212], 5);
  // PortTypes beyond NumPortsLo keep the first reply's values; peers rely on
  // NumPortsLo alone.
  EXPECT_EQ(std::vector<uint8_t>(second.begin() + 172, second.begin() + 194),
            (std::vector<uint8_t>{0, 1, 0x40, 0x40, 0x80, 0x40, 0x80, 0, 0, 0, 0, 0, 0, 0, 5, 0,
                                  0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(second[211], 1);
  EXPECT_EQ(second[212], 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&second[26])), "Gateway (V)");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&second[44])), "Gateway (virtual)");
}

TEST_F(ArtnetReceive, ReplyCountFollowsTheArtnetStreams) {
  const std::vector<uint8_t> poll = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20};
  Configure("SV\n");
  Receive(poll);
  EXPECT_EQ(Captured().size(), 0u) << "no Art-Net stream, no reply";
  ClearStreamTable();
  std::string eight;
  for (int i = 1; i <= 8; ++i) eight += "SA00" + std::to_string(i) + "255255255255I\n";
  Configure(eight);
  Receive(poll);
  ASSERT_EQ(Captured().size(), 2u) << "no third, empty reply";
  EXPECT_EQ(Captured()[1].bytes[173], 4);
}

TEST_F(ArtnetReceive, TodRequestWithEmptyListsSendsNothing) {
  Configure("SA001255255255255I\nSA002255255255255I\n");
  std::vector<uint8_t> request = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x80,
                                  0,   14,  0,   0,   0,   0,   0,   0, 0,    0,
                                  0,   0,   0,   9,   1,   2};  // nine asked, two arrived
  Receive(request);
  request[22] = 1;  // a command other than TodFull is ignored
  Receive(request);
  EXPECT_TRUE(Captured().empty());
}

TEST_F(ArtnetReceive, TodRequestAnsweredFromTheStreamsTable) {
  Configure(
      "SA005255255255255I\n"    // first Art-Net input: table 0
      "SA006255255255255I\n");  // second: table 1
  ArtTodTable& table = ArtTodTables[1];
  table.count = 2;
  table.uids[0] = {{0x57, 0x4B, 0, 0, 0, 9}};
  table.uids[1] = {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}};

  EXPECT_EQ(FindArtTodList(5).count, 0u);
  EXPECT_EQ(FindArtTodList(7).count, 0u);
  EXPECT_EQ(FindArtTodList(6).count, 2u);

  Receive({'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x80, 0, 14, 0, 0, 0, 0, 0, 0, 0, 0,
           0, 0, 0, 3, 5, 6, 7},
          "10.0.0.44");
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& d = Captured()[0];
  EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr("10.0.0.44"));  // to the requester
  EXPECT_EQ(ntohs(d.to.sin_port), 6454);
  EXPECT_EQ(d.bytes, (std::vector<uint8_t>{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x81, 1,
                                           2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0x00, 0x02, 0,
                                           2, 0x57, 0x4B, 0, 0, 0, 9, 1, 2, 3, 4, 5, 6}));

  table.count = 60000;  // a corrupt count never reads past the table
  EXPECT_EQ(FindArtTodList(6).count, 200u);
  table = ArtTodTable();
}

TEST_F(ArtnetReceive, TodDataSplitsIntoBlocksOf200) {
  static RdmUid uids[450];
  for (uint32_t i = 0; i < 450; ++i) uids[i] = {{0, 0, 0, 0, static_cast<uint8_t>(i >> 8),
                                                  static_cast<uint8_t>(i)}};
  struct sockaddr_in to = From("10.0.0.5");
  struct Row {
    uint32_t count;
    std::vector<size_t> lengths;
  } rows[] = {
      {0, {28}},
      {1, {34}},
      {200, {1228, 28}},
      {450, {1228, 1228, 328}},
  };
  for (const Row& r : rows) {
    Captured().clear();
    SendArtTodData(to, uids, r.count, 3, CaptureDatagram);
    ASSERT_EQ(Captured().size(), r.lengths.size()) << r.count;
    for (size_t b = 0; b < r.lengths.size(); ++b) {
      const std::vector<uint8_t>& p = Captured()[b].bytes;
      ASSERT_EQ(p.size(), r.lengths[b]) << r.count;
      EXPECT_EQ(p[24] << 8 | p[25], static_cast<int>(r.count));  // UidTotal
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

class JumboReceive : public ArtnetReceive {
 protected:
  void ReceiveJumbo(const std::vector<uint8_t>& f) {
    std::vector<uint8_t> exact(f);
    struct in_addr sender = {};
    HandleJumboFrame(exact.data(), exact.size(), sender);
  }
};

TEST_F(JumboReceive, EachArtDmxSlotReachesItsStream) {
  Configure("SA001255255255255I\nSA002255255255255I\n");
  ReceiveJumbo(Jumbo(3, 530, {{1, 2}, {2, 1}}));
  EXPECT_EQ(Channels(1, 512), Pattern(512, 1));  // slot 1 at offset 534
  EXPECT_EQ(Channels(0, 512), Pattern(512, 2));  // slot 2 at offset 1064
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(JumboReceive, SlotsPastTheDatagramAreSkippedTheRestTaken) {
  Configure("SA001255255255255I\nSA002255255255255I\n");
  std::vector<uint8_t> f = Jumbo(3, 530, {{1, 1}, {2, 2}});
  f.resize(f.size() - 1);  // slot 2 one byte short
  ReceiveJumbo(f);
  EXPECT_EQ(StreamTable[0]->writeCount, 1u);
  EXPECT_EQ(StreamTable[1]->writeCount, 0u);
}

TEST_F(JumboReceive, MalformedFramesWriteNothing) {
  Configure("SA001255255255255I\n");
  std::vector<uint8_t> good = Jumbo(2, 530, {{1, 1}});
  auto with = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> f = good;
    f[at] = v;
    return f;
  };
  std::vector<uint8_t> poll = good;
  poll[4 + 530 + 9] = 0x20;  // the slot holds an ArtPoll: no reply from here
  struct Row {
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
      {poll, "ArtPoll slot"},
      {with(4 + 530 + 3, 'x'), "slot not Art-Net"},
  };
  for (const Row& r : rows) {
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
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 1), f.data() + 534);
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 2), f.data() + 1064);
  EXPECT_EQ(JumboSlot(f.data(), f.size(), h, 3), nullptr);
  EXPECT_EQ(JumboSlot(f.data(), f.size() - 1, h, 2), nullptr);
  f = Jumbo(16, 562, {});  // 4 + 16 * 562 = 8996: still fits
  EXPECT_TRUE(ParseJumboHeader(f.data(), f.size(), &h));
  f = Jumbo(1, 8997, {});  // 4 + 8997 = 9001: does not
  EXPECT_FALSE(ParseJumboHeader(f.data(), f.size(), &h));
}

}  // namespace
