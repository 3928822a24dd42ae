// The QSP receiver: data into input streams, the poll and stream-data
// replies byte for byte, and the datagrams it must refuse.
#include <gtest/gtest.h>

#include <vector>

#include "protocols/qsp_packets.h"
#include "protocols/qsp_receive.h"
#include "receiver_test_support.h"

namespace receiver_test {
namespace {

// A "QSDD" for `universe` whose length field says `lengthField` and which
// carries `carried` channel bytes (a ramp from 1).
std::vector<uint8_t> Qsdd(uint8_t universe, uint16_t lengthField, size_t carried,
                          uint8_t zeroByte = 0) {
  std::vector<uint8_t> p = {'Q', 'S', 'D', 'D', universe, zeroByte, 0,
                            static_cast<uint8_t>(lengthField >> 8),
                            static_cast<uint8_t>(lengthField & 0xFF)};
  std::vector<uint8_t> channels = Ramp(carried, 1);
  p.insert(p.end(), channels.begin(), channels.end());
  return p;
}

class QspReceive : public ReceiverTest {
 protected:
  void Handle(const std::vector<uint8_t>& p, const char* from = "10.1.2.9",
              uint16_t port = 5555) {
    HandleQspPacket(p.data(), p.size(), Peer(from, port), CaptureDatagram);
  }
};

TEST_F(QspReceive, DataReachesTheFirstInputStreamOfItsUniverse) {
  // Output stream and a second input of universe 5 must stay untouched.
  ProcessConfigText(QspLine(5, false) + QspLine(4, true) + QspLine(5, true) + QspLine(5, true));
  Handle(Qsdd(5, 512, 512));
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(At(1).writeCount, 0u);
  EXPECT_EQ(At(2).writeCount, 1u);
  EXPECT_TRUE(At(2).IsChanged());
  EXPECT_EQ(std::vector<uint8_t>(At(2).data, At(2).data + 512), Ramp(512, 1));
  EXPECT_EQ(At(3).writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
  EXPECT_TRUE(Captured().empty());

  // The shortest frame changes only its own channels.
  std::vector<uint8_t> twenty = Qsdd(5, 20, 20);
  for (size_t i = 9; i < twenty.size(); ++i) twenty[i] = 0xEE;
  Handle(twenty);
  EXPECT_EQ(At(2).data[19], 0xEE);
  EXPECT_EQ(At(2).data[20], 21);
}

TEST_F(QspReceive, UnmatchedUniversesAreRecordedOnce) {
  // An output stream of the universe and a stream configured above 255
  // (whose low byte is the packet's universe) take nothing.
  ProcessConfigText(QspLine(44, false) + QspLine(300, true));
  Handle(Qsdd(44, 100, 100));
  Handle(Qsdd(44, 100, 100));
  Handle(Qsdd(9, 100, 100));
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(At(1).writeCount, 0u);
  ASSERT_EQ(UnmatchedCount, 2u);
  EXPECT_EQ(UnmatchedTable[0].protocol, 2u);
  EXPECT_EQ(UnmatchedTable[0].universe, 44u);
  EXPECT_EQ(UnmatchedTable[1].universe, 9u);
}

TEST_F(QspReceive, OwnDataIsIgnoredButOwnRequestsAreServed) {
  ProcessConfigText(QspLine(1, true));
  Handle(Qsdd(1, 512, 512), "10.1.2.3");
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
  Handle({'Q', 'S', 'P', 'P'}, "10.1.2.3");
  EXPECT_EQ(Captured().size(), 1u);
}

TEST_F(QspReceive, MalformedDataIsRefused) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
  };
  std::vector<uint8_t> tooShortForHeader = {'Q', 'S', 'D', 'D', 1, 0, 0, 0x02};
  const Row rows[] = {
      {"header cut short", tooShortForHeader},
      {"byte 5 not zero", Qsdd(1, 512, 512, 1)},
      {"length 19", Qsdd(1, 19, 19)},
      {"length 0", Qsdd(1, 0, 0)},
      {"length 513 does not fit a stream", Qsdd(1, 513, 513)},
      {"length 520 does not fit a stream", Qsdd(1, 520, 520)},
      {"length 65535", Qsdd(1, 0xFFFF, 591)},
      {"length above what arrived", Qsdd(1, 100, 99)},
      {"512 announced, 20 arrived", Qsdd(1, 512, 20)},
  };
  ProcessConfigText(QspLine(1, true));
  for (const Row& row : rows) {
    QspData frame;
    EXPECT_FALSE(ParseQspDataPacket(row.packet.data(), row.packet.size(), &frame)) << row.why;
    Handle(row.packet);
    EXPECT_EQ(At(0).writeCount, 0u) << row.why;
    EXPECT_EQ(UnmatchedCount, 0u) << row.why;
  }
  EXPECT_TRUE(Captured().empty());
}

TEST_F(QspReceive, PollReplyIsBroadcastByteForByte) {
  Handle({'Q', 'S', 'P', 'P'});
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& r = Captured()[0];
  EXPECT_EQ(Dotted(r.to), "255.255.255.255");
  EXPECT_EQ(ntohs(r.to.sin_port), 3333);
  const std::vector<uint8_t> expected = {
      'Q', 'S', 'P', 'R', 0x00, 0x50, 0xC2, 0x1A, 0x2B, 0x3C, 0, 7,   0, 0, 'G',
      'a', 't', 'e', 'w', 'a',  'y',  0,    0,    0,    0,    0, 0, 0, 1};
  EXPECT_EQ(r.bytes, expected);
}

TEST_F(QspReceive, PollReplyNameIsCutAtTenAndNoStaleByteSurvives) {
  std::strcpy(DeviceName, "LongGateway1");
  uint8_t reply[kQspPollReplySize];
  std::memset(reply, 0xAA, sizeof(reply));
  BuildQspPollReply(reply);
  const std::vector<uint8_t> expected = {
      'Q', 'S', 'P', 'R', 0x00, 0x50, 0xC2, 0x1A, 0x2B, 0x3C, 0, 7,   0, 0, 'L',
      'o', 'n', 'g', 'G', 'a',  't',  'e',  'w',  'a',  0,    0, 0, 0, 1};
  EXPECT_EQ(std::vector<uint8_t>(reply, reply + sizeof(reply)), expected);
}

TEST_F(QspReceive, StreamDataGoesBackToPort4000OfTheRequester) {
  ProcessConfigText("V\n" + QspLine(1, true));
  std::vector<uint8_t> ramp = Ramp(512, 3);
  StreamTable[1]->Write(ramp.data(), 512, 0);
  Handle({'Q', 'D', 'S', 'P', 1, 0}, "10.1.2.9", 6000);
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& r = Captured()[0];
  EXPECT_EQ(Dotted(r.to), "10.1.2.9");
  EXPECT_EQ(ntohs(r.to.sin_port), 4000);
  std::vector<uint8_t> expected = {'Q', 'D', 'S', 'R', 1, 0};
  expected.insert(expected.end(), ramp.begin(), ramp.end());
  EXPECT_EQ(r.bytes, expected);
}

TEST_F(QspReceive, StreamRequestsOutOfRangeOrShortGetNoReply) {
  ProcessConfigText("V\nV\n");
  const std::vector<uint8_t> rows[] = {
      {'Q', 'D', 'S', 'P', 2, 0},     // index == StreamCount
      {'Q', 'D', 'S', 'P', 0, 1},     // 256: the index is little-endian
      {'Q', 'D', 'S', 'P', 0xFF, 0xFF},
      {'Q', 'D', 'S', 'P', 0},        // too short to carry an index
      {'Q', 'D', 'S', 'P'},
  };
  for (const auto& p : rows) Handle(p);
  EXPECT_TRUE(Captured().empty());
  ClearStreamTable();
  Handle({'Q', 'D', 'S', 'P', 0, 0});  // before the configuration is read
  EXPECT_TRUE(Captured().empty());
}

TEST_F(QspReceive, ForeignAndShortDatagramsAreDropped) {
  ProcessConfigText(QspLine(1, true));
  const std::vector<uint8_t> rows[] = {
      {}, {'Q'}, {'Q', 'S', 'D'}, {'Q', 'S', 'D', 'X'}, {'q', 's', 'p', 'p'},
      {'Q', 'S', 'R', 'D', 0, 1},  // RDM: no port exists, so no reply
  };
  for (const auto& p : rows) Handle(p);
  EXPECT_TRUE(Captured().empty());
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST(QspDataHeader, OutputHeaderCarriesTheLowByteOfTheUniverse) {
  uint8_t header[kQspDataOffset];
  std::memset(header, 0xAA, sizeof(header));
  BuildQspDataHeader(header, 300);
  const uint8_t expected[] = {'Q', 'S', 'D', 'D', 44, 0, 0, 0x02, 0x00};
  EXPECT_EQ(0, std::memcmp(header, expected, sizeof(expected)));
}

}  // namespace
}  // namespace receiver_test
