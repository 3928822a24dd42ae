// The QSP receiver: data into input streams, where the replies go, and the
// datagrams it must refuse. The poll reply's bytes are pinned with its builder.
#include <gtest/gtest.h>

#include <vector>

#include "receiver_test_support.h"
#include "protocols/qsp_packets.h"
#include "protocols/qsp_receive.h"

namespace {

// A "QSDD" for `universe` whose length field says `lengthField` and which
// carries `carried` channel bytes (a ramp from 1).
std::vector<uint8_t> Qsdd(uint8_t universe, uint16_t lengthField, size_t carried,
                          uint8_t zeroByte = 0) {
  return Ramp({'Q', 'S', 'D', 'D', universe, zeroByte, 0, static_cast<uint8_t>(lengthField >> 8),
               static_cast<uint8_t>(lengthField & 0xFF)},
              carried);
}

using QspReceive = ReceiverTest;

TEST_F(QspReceive, FirstMatchingInputTakesTheDataOthersAreRefused) {
  const DatagramHandler qsp = HandleQspPacket;
  ExpectReceived(
      {"E005000000000000O\n", "E004000000000000I\n", "E005000000000000I\n",
       "E005000000000000I\n",   // a later input of universe 5: never fed
       "E300000000000000I\n"},  // above 255: its low byte, 44, never takes
      {{"universe 5", qsp, Qsdd(5, 512, 512), 2, 512},
       {"length 20, the shortest", qsp, Qsdd(5, 20, 20), 2, 20},
       {"universe 44", qsp, Qsdd(44, 100, 100), -1, 0, 1},
       {"our own", qsp, Qsdd(5, 512, 512), -1, 0, 0, "10.1.2.3"},
       {"header cut short", qsp, {'Q', 'S', 'D', 'D', 5, 0, 0, 0x02}},
       {"byte 5 not zero", qsp, Qsdd(5, 512, 512, 1)},
       {"length 19", qsp, Qsdd(5, 19, 19)},
       {"length 513 does not fit a stream", qsp, Qsdd(5, 513, 513)},
       {"length above what arrived", qsp, Qsdd(5, 100, 99)},
       {"three bytes", qsp, {'Q', 'S', 'D'}},
       {"foreign", qsp, {'Q', 'S', 'D', 'X'}},
       {"stream 256: the index is little-endian", qsp, {'Q', 'D', 'S', 'P', 0, 1}},
       {"too short to carry an index", qsp, {'Q', 'D', 'S', 'P', 0}},
       {"RDM: no port exists, so no reply", qsp, {'Q', 'S', 'R', 'D', 0, 1}}});
}

// Polls are answered to everyone on the QSP port, stream reads to port 4000
// of whoever asked; the device's own requests are served too. A peer's
// read-back is seen on the real binary.
TEST_F(QspReceive, RepliesGoWhereTheyBelong) {
  AddStream(kStreamVirtual, "\n");
  AddNetworkStreams({"E001000000000000I\n"});
  StreamTable[1]->Write(Ramp({}, 512).data(), 512, 0);
  const struct {
    std::vector<uint8_t> request;
    const char* from;
    const char* to;
    uint16_t port;
    std::vector<uint8_t> head;  // the reply's first bytes: a poll reply's rest is its builder's
  } rows[] = {
      {{'Q', 'S', 'P', 'P'}, "10.1.2.9", "255.255.255.255", 3333, {'Q', 'S', 'P', 'R'}},
      {{'Q', 'D', 'S', 'P', 1, 0}, "10.1.2.3", "10.1.2.3", 4000,
       Ramp({'Q', 'D', 'S', 'R', 1, 0}, 512)},  // the index low byte first
  };
  for (const auto& r : rows) {
    Captured().clear();
    Receive(HandleQspPacket, r.request, r.from);
    ASSERT_EQ(Captured().size(), 1u) << r.to;
    const SentDatagram& d = Captured()[0];
    EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr(r.to));
    EXPECT_EQ(ntohs(d.to.sin_port), r.port);
    EXPECT_EQ(Bytes(d.bytes.data(), r.head.size()), r.head) << r.to;
  }
}

}  // namespace
