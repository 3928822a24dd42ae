// "QSRD" requests on ports over the simulated driver: which port serves,
// what of the request reaches it, and the "QSDR" and "QSRP" bytes that go
// back to port 4000. What the devices answer is pinned in the responder
// tests, the RDM frames on the line in the port and frame tests.
#include <string>
#include <vector>

#include "protocols/qsp_packets.h"
#include "protocols/qsp_rdm_packets.h"
#include "protocols/qsp_receive.h"
#include "rdm_fixture.h"
#include "receiver_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class QspRdm : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    uart.WriteConf(2,
                   "responder 4a5b00000001 label=Par address=17\n"
                   "responder 4a5b00000002\n"
                   "responder 4a5b00000003 fault=short\n");
  }

  static void AddPort(const char* text) { AddStream(kStreamPort, text); }

  void Handle(const Bytes& p) {
    HandleQspPacket(p.data(), p.size(), From("10.1.2.9", 5555), CaptureDatagram);
  }

  SimulatedUart uart;
  NoRdmPause noPause;
};

// A "QSRD" to port `port`: command, UID 4a5b0000000<last>, PID little-endian,
// sub-device, then the PDL and its data.
Bytes Qsrd(uint8_t port, uint8_t command, uint16_t pid = 0, Bytes data = {}, uint8_t last = 1,
           uint8_t subDevice = 0) {
  Bytes p = {'Q', 'S', 'R', 'D', port, command, 0x4A, 0x5B, 0, 0, 0, last,
             static_cast<uint8_t>(pid & 0xFF), static_cast<uint8_t>(pid >> 8), subDevice,
             static_cast<uint8_t>(data.size())};
  for (uint8_t b : data) p.push_back(b);
  return p;
}

// A whole "QSRP": magic, command, type, UID 4a5b0000000<last>, PDL, data.
Bytes Qsrp(uint8_t command, uint8_t type, Bytes data, uint8_t last = 1) {
  Bytes p(kQspRdmReplySize, 0);
  const uint8_t head[] = {'Q', 'S', 'R', 'P', 0, command, type, 0x4A, 0x5B, 0, 0, 0, last,
                          static_cast<uint8_t>(data.size())};
  std::copy(head, head + sizeof(head), p.begin());
  std::copy(data.begin(), data.end(), p.begin() + 14);
  return p;
}

// A whole "QSDR": magic, the discovery command, the count little-endian, the UIDs.
Bytes Qsdr(const std::vector<uint64_t>& uids) {
  Bytes p(kQspDiscoveryReplySize, 0);
  const uint8_t head[] = {'Q', 'S', 'D', 'R', 0, 1, 0, 0, 0, 0, 0, 0,
                          static_cast<uint8_t>(uids.size())};
  std::copy(head, head + sizeof(head), p.begin());
  for (size_t i = 0; i < uids.size(); ++i) {
    RdmUid uid = RdmUidFromValue(uids[i]);
    std::copy(uid.bytes, uid.bytes + 6, p.begin() + 14 + 6 * i);
  }
  return p;
}

TEST_F(QspRdm, DiscoveryIsAnsweredWithEveryUidFound) {
  AddPort("002O");
  Bytes request = Qsrd(2, kQspRdmDiscovery);
  request[15] = 9;  // a discovery carries no data, whatever its PDL says
  Handle(request);
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& d = Captured()[0];
  EXPECT_EQ(ntohs(d.to.sin_port), kQspReplyPort);
  EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr("10.1.2.9"));
  EXPECT_EQ(d.bytes, Qsdr({0x4A5B00000002u, 0x4A5B00000001u}));
}

TEST_F(QspRdm, GetAndSetAreAnsweredWithTheResponse) {
  AddPort("002O");
  struct Row {
    const char* why;
    Bytes request;
    Bytes reply;
  };
  const Row rows[] = {
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
    Handle(r.request);
    ASSERT_EQ(Captured().size(), 1u) << r.why;
    EXPECT_EQ(Captured()[0].bytes, r.reply) << r.why;
  }
}

TEST_F(QspRdm, TheFirstPortOfTheNumberServesEvenAsAnInput) {
  AddPort("002I");
  AddPort("002O");
  Handle(Qsrd(2, kQspRdmGet, 0x0082));
  Handle(Qsrd(2, kQspRdmDiscovery));
  ASSERT_EQ(Captured().size(), 2u);
  EXPECT_EQ(Captured()[0].bytes, Qsrp(kQspRdmGet, kRdmNoValidResponse, {}));
  EXPECT_EQ(Captured()[1].bytes, Qsdr({}));
  EXPECT_TRUE(RdmTransactions(uart, 2).empty());
}

TEST_F(QspRdm, RequestsThatGetNoReply) {
  AddPort("002O");
  Bytes shortGet = Qsrd(2, kQspRdmGet, 0x0082, {1, 2});
  shortGet.pop_back();
  Bytes shortSet = Qsrd(2, kQspRdmSet, 0x00F0, {1, 2});
  shortSet.pop_back();
  Bytes fifteen = Qsrd(2, kQspRdmDiscovery);
  fifteen.pop_back();
  const struct {
    const char* why;
    Bytes request;
  } rows[] = {
      {"no PORT stream with the number", Qsrd(3, kQspRdmDiscovery)},
      {"command 2", Qsrd(2, 2)},
      {"command 0", Qsrd(2, 0)},
      {"15 bytes", fifteen},
      {"a GET one data byte short", shortGet},
      {"a SET one data byte short", shortSet},
  };
  for (const auto& r : rows) Handle(r.request);
  EXPECT_TRUE(Captured().empty());
  EXPECT_TRUE(RdmTransactions(uart, 2).empty());
}

TEST_F(QspRdm, DiscoverPortFillsEveryOutputPortNumber) {
  AddPort("002I");
  AddPort("002O");
  AddPort("009O");
  std::vector<RdmUid> buffers(8 * 4);
  RdmUid* each[8];
  for (int p = 0; p < 8; ++p) each[p] = &buffers[4 * p];
  uint32_t counts[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  DiscoverPort(counts, each, 4);
  EXPECT_EQ(counts[2], 2u);
  EXPECT_EQ(RdmUidValue(each[2][0]), 0x4A5B00000002u);
  EXPECT_EQ(counts[0], 7u);  // no such port: left alone
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
  reply.assign(kQspRdmReplySize, 0x55);
  BuildQspRdmReply(reply.data(), kQspRdmGet, kRdmAck, RdmUidFromValue(0x4A5B00000001u), 240,
                   Bytes(240, 0x31).data());
  EXPECT_EQ(reply, Qsrp(kQspRdmGet, kRdmAck, Bytes(228, 0x31)));
}

}  // namespace
