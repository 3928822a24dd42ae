// The QSP receiver: data into input streams, where the replies go, and the
// datagrams it must refuse. The reply bytes are pinned with the builders.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "receiver_test_support.h"
#include "protocols/qsp_packets.h"
#include "protocols/qsp_receive.h"

namespace {

// A QSP stream line: universe (3 digits), input or output.
std::string QspLine(int universe, bool input) {
  char line[40];
  std::snprintf(line, sizeof(line), "SE%03d000000000000%c\n", universe, input ? 'I' : 'O');
  return line;
}

// A "QSDD" for `universe` whose length field says `lengthField` and which
// carries `carried` channel bytes (a ramp from 1).
std::vector<uint8_t> Qsdd(uint8_t universe, uint16_t lengthField, size_t carried,
                          uint8_t zeroByte = 0) {
  return Ramp({'Q', 'S', 'D', 'D', universe, zeroByte, 0, static_cast<uint8_t>(lengthField >> 8),
               static_cast<uint8_t>(lengthField & 0xFF)},
              carried);
}

class QspReceive : public ArtnetTest {
 protected:
  void Handle(const std::vector<uint8_t>& p, const char* from = "10.1.2.9") {
    HandleQspPacket(p.data(), p.size(), From(from, 5555), CaptureDatagram);
  }
};

TEST_F(QspReceive, DataReachesTheFirstInputStreamOfItsUniverse) {
  // Output stream and a second input of universe 5 must stay untouched.
  ProcessConfigText(QspLine(5, false) + QspLine(4, true) + QspLine(5, true) + QspLine(5, true));
  Handle(Qsdd(5, 512, 512));
  EXPECT_EQ(At(0).writeCount + At(1).writeCount + At(3).writeCount, 0u);
  EXPECT_EQ(Bytes(At(2).data, 512), Ramp({}, 512));
  EXPECT_EQ(UnmatchedCount, 0u);
}

TEST_F(QspReceive, UnmatchedUniversesAreRecordedOnce) {
  // An output stream of the universe and a stream configured above 255
  // (whose low byte is the packet's universe) take nothing.
  ProcessConfigText(QspLine(44, false) + QspLine(300, true));
  Handle(Qsdd(44, 100, 100));
  Handle(Qsdd(44, 100, 100));
  EXPECT_EQ(At(0).writeCount + At(1).writeCount, 0u);
  ASSERT_EQ(UnmatchedCount, 1u);
  EXPECT_EQ(UnmatchedTable[0].universe, 44u);
}

TEST_F(QspReceive, MalformedDataIsRefused) {
  struct Row {
    const char* why;
    std::vector<uint8_t> packet;
  };
  const Row rows[] = {
      {"header cut short", {'Q', 'S', 'D', 'D', 1, 0, 0, 0x02}},
      {"byte 5 not zero", Qsdd(1, 512, 512, 1)},
      {"length 19", Qsdd(1, 19, 19)},
      {"length 513 does not fit a stream", Qsdd(1, 513, 513)},
      {"length above what arrived", Qsdd(1, 100, 99)},
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

// Polls are answered to everyone on the QSP port, stream reads to port 4000
// of whoever asked, both from the endpoint's own socket; the device's own
// requests are served too.
TEST_F(QspReceive, RepliesGoWhereTheyBelong) {
  ProcessConfigText("V\n" + QspLine(1, true));
  StreamTable[1]->Write(Ramp({}, 512).data(), 512, 0);
  const struct {
    std::vector<uint8_t> request;
    const char* from;
    const char* to;
    uint16_t port;
    std::vector<uint8_t> head;  // the reply's first bytes
    size_t length;
  } rows[] = {
      {{'Q', 'S', 'P', 'P'}, "10.1.2.9", "255.255.255.255", 3333, {'Q', 'S', 'P', 'R'}, 29},
      {{'Q', 'D', 'S', 'P', 1, 0}, "10.1.2.9", "10.1.2.9", 4000, {'Q', 'D', 'S', 'R', 1, 0, 1, 2},
       518},
      {{'Q', 'D', 'S', 'P', 0, 0}, "10.1.2.3", "10.1.2.3", 4000, {'Q', 'D', 'S', 'R', 0, 0, 0, 0},
       518},
  };
  for (const auto& r : rows) {
    Captured().clear();
    Handle(r.request, r.from);
    ASSERT_EQ(Captured().size(), 1u) << r.to;
    const SentDatagram& d = Captured()[0];
    EXPECT_EQ(d.fd, kReplySocket);
    EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr(r.to));
    EXPECT_EQ(ntohs(d.to.sin_port), r.port);
    EXPECT_EQ(Bytes(d.bytes.data(), r.head.size()), r.head) << r.to;
    EXPECT_EQ(d.bytes.size(), r.length) << r.to;
  }
}

TEST_F(QspReceive, ForeignShortAndOutOfRangeDatagramsGetNothing) {
  Handle({'Q', 'D', 'S', 'P', 0, 0});  // before the configuration is read
  ProcessConfigText(QspLine(1, true));
  const std::vector<uint8_t> rows[] = {
      {'Q', 'S', 'D'}, {'Q', 'S', 'D', 'X'},
      {'Q', 'D', 'S', 'P', 0, 1},  // 256: the index is little-endian
      {'Q', 'D', 'S', 'P', 0},     // too short to carry an index
      {'Q', 'S', 'R', 'D', 0, 1},  // RDM: no port exists, so no reply
  };
  for (const auto& p : rows) Handle(p);
  EXPECT_TRUE(Captured().empty());
  EXPECT_EQ(At(0).writeCount, 0u);
  EXPECT_EQ(UnmatchedCount, 0u);
}

}  // namespace
