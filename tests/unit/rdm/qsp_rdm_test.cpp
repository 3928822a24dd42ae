// "QSRD" requests on ports over the simulated driver: which port serves,
// what of the request reaches it, and the "QSDR" and "QSRP" bytes that go
// back to port 4000. What the devices answer is pinned in the responder
// tests, the RDM frames on the line in the port and frame tests.
#include <vector>

#include "protocols/qsp_packets.h"
#include "protocols/qsp_rdm_packets.h"
#include "protocols/qsp_receive.h"
#include "rdm_fixture.h"
#include "receiver_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class QspRdm : public ReceiverTest {
 protected:
  void SetUp() override {
    ReceiverTest::SetUp();
    uart.WriteConf(2,
                   "responder 4a5b00000001 label=Par address=17\n"
                   "responder 4a5b00000002\n"
                   "responder 4a5b00000003 fault=short\n");
  }

  SimulatedUart uart;
  NoRdmPause noPause;
};

// A "QSRD" to port `port`: command, UID 4a5b0000000<last>, PID little-endian,
// sub-device, then the PDL and its data.
Bytes Qsrd(uint8_t port, uint8_t command, uint16_t pid = 0, Bytes data = {}, uint8_t last = 1,
           uint8_t subDevice = 0) {
  return Cat({{'Q', 'S', 'R', 'D', port, command, 0x4A, 0x5B, 0, 0, 0, last,
               static_cast<uint8_t>(pid & 0xFF), static_cast<uint8_t>(pid >> 8), subDevice,
               static_cast<uint8_t>(data.size())},
              data});
}

// A whole "QSRP": magic, command, type, UID 4a5b0000000<last>, PDL, data.
Bytes Qsrp(uint8_t command, uint8_t type, Bytes data, uint8_t last = 1) {
  Bytes p = Cat({{'Q', 'S', 'R', 'P', 0, command, type, 0x4A, 0x5B, 0, 0, 0, last,
                  static_cast<uint8_t>(data.size())},
                 data});
  p.resize(kQspRdmReplySize);
  return p;
}

// A whole "QSDR": magic, the discovery command, the count little-endian, the UIDs.
Bytes Qsdr(const std::vector<uint64_t>& uids) {
  Bytes p = {'Q', 'S', 'D', 'R', 0, 1, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(uids.size()), 0};
  for (uint64_t value : uids) {
    RdmUid uid = RdmUidFromValue(value);
    p.insert(p.end(), uid.bytes, uid.bytes + 6);
  }
  p.resize(kQspDiscoveryReplySize);
  return p;
}

TEST_F(QspRdm, EachRequestIsAnsweredOnPort4000OfTheSender) {
  AddStream(kStreamPort, "002O");
  Bytes discovery = Qsrd(2, kQspRdmDiscovery);
  discovery[15] = 9;
  struct Row {
    const char* why;
    Bytes request;
    Bytes reply;
  };
  const Row rows[] = {
      {"a discovery carries no data, whatever its PDL says", discovery,
       Qsdr({0x4A5B00000002u, 0x4A5B00000001u})},
      {"GET DMX_START_ADDRESS: the PID arrives little-endian", Qsrd(2, kQspRdmGet, 0x00F0),
       Qsrp(kQspRdmGet, kRdmAck, {0, 17})},
      {"SET DMX_START_ADDRESS 513: the data reaches the device",
       Qsrd(2, kQspRdmSet, 0x00F0, {0x02, 0x01}), Qsrp(kQspRdmSet, kRdmNackReason, {0x00, 0x06})},
      {"the sub-device reaches the device", Qsrd(2, kQspRdmGet, 0x0082, {}, 1, 1),
       Qsrp(kQspRdmGet, kRdmNackReason, {0x00, 0x09})},
      {"half a response: no data, whatever the driver counted",
       Qsrd(2, kQspRdmGet, 0x0082, {}, 3), Qsrp(kQspRdmGet, kRdmNoValidResponse, {}, 3)},
  };
  for (const Row& r : rows) {
    Captured().clear();
    Receive(HandleQspPacket, r.request, "10.1.2.9");
    ASSERT_EQ(Captured().size(), 1u) << r.why;
    EXPECT_EQ(ntohs(Captured()[0].to.sin_port), kQspReplyPort) << r.why;
    EXPECT_EQ(Captured()[0].to.sin_addr.s_addr, inet_addr("10.1.2.9")) << r.why;
    EXPECT_EQ(Captured()[0].bytes, r.reply) << r.why;
  }
}

// A "QSRD" goes to the first port of its number, even an input, which
// answers nothing; the automated discovery runs on output ports only.
TEST_F(QspRdm, AnInputPortServesRequestsButNotTheAutomatedDiscovery) {
  AddStream(kStreamPort, "002I");
  AddStream(kStreamPort, "002O");
  AddStream(kStreamPort, "008O");
  // The output port would answer with the label and two UIDs.
  Receive(HandleQspPacket, Qsrd(2, kQspRdmGet, 0x0082));
  Receive(HandleQspPacket, Qsrd(2, kQspRdmDiscovery));
  ASSERT_EQ(Captured().size(), 2u);
  EXPECT_EQ(Captured()[0].bytes, Qsrp(kQspRdmGet, kRdmNoValidResponse, {}));
  EXPECT_EQ(Captured()[1].bytes, Qsdr({}));
  // Room for port 8 too, which the discovery never reaches.
  RdmUid buffers[9][4];
  RdmUid* each[9];
  for (int p = 0; p < 9; ++p) each[p] = buffers[p];
  uint32_t counts[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
  DiscoverPort(counts, each, 4);
  EXPECT_EQ(counts[2], 2u);
  EXPECT_EQ(RdmUidValue(each[2][0]), 0x4A5B00000002u);
  EXPECT_EQ(counts[0], 7u);  // no such port: left alone
  EXPECT_EQ(counts[8], 7u);
}

TEST_F(QspRdm, RequestsThatGetNoReply) {
  AddStream(kStreamPort, "002O");
  auto cut = [](Bytes p) {
    p.pop_back();
    return p;
  };
  const struct {
    const char* why;
    Bytes request;
    bool parsed;
  } rows[] = {
      {"no PORT stream with the number", Qsrd(3, kQspRdmDiscovery), true},
      {"command 2", Qsrd(2, 2), true},
      {"command 0", Qsrd(2, 0), true},
      {"15 bytes", cut(Qsrd(2, kQspRdmDiscovery)), false},
      {"a GET one data byte short", cut(Qsrd(2, kQspRdmGet, 0x0082, {1, 2})), false},
      {"a SET one data byte short", cut(Qsrd(2, kQspRdmSet, 0x00F0, {1, 2})), false},
  };
  for (const auto& r : rows) {
    QspRdmRequest parsed;
    EXPECT_EQ(ParseQspRdmRequest(r.request.data(), r.request.size(), &parsed), r.parsed) << r.why;
    Receive(HandleQspPacket, r.request);
  }
  EXPECT_TRUE(Captured().empty());
  EXPECT_TRUE(RdmTransactions(uart, 2).empty());
}

// Limits no port reaches, over whatever the buffer held before.
TEST(QspRdmReplies, CarryNoMoreThanTheyHaveRoomFor) {
  std::vector<uint64_t> values;
  std::vector<RdmUid> uids;
  for (uint64_t i = 0; i < 205; ++i) {
    values.push_back(0x0A0000000000u + i);
    uids.push_back(RdmUidFromValue(values.back()));
  }
  Bytes reply(kQspDiscoveryReplySize, 0x55);
  EXPECT_EQ(BuildQspDiscoveryReply(reply.data(), uids.data(), uids.size()), 200);
  values.resize(200);
  EXPECT_EQ(reply, Qsdr(values));
  EXPECT_EQ(BuildQspDiscoveryReply(reply.data(), uids.data(), 2), 2);
  EXPECT_EQ(reply, Qsdr({values[0], values[1]}));
  reply.assign(kQspRdmReplySize, 0x55);
  BuildQspRdmReply(reply.data(), kQspRdmGet, kRdmAck, RdmUidFromValue(0x4A5B00000001u), 240,
                   Bytes(240, 0x31).data());
  EXPECT_EQ(reply, Qsrp(kQspRdmGet, kRdmAck, Bytes(228, 0x31)));
}

}  // namespace
