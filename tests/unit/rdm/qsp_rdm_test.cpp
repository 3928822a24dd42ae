// "QSRD" requests on ports over the simulated driver: which port serves,
// and the "QSDR" and "QSRP" bytes that go back to port 4000.
#include <string>
#include <vector>

#include "port.h"
#include "ports/simulated_uart.h"
#include "protocols/qsp_packets.h"
#include "protocols/qsp_rdm_packets.h"
#include "protocols/qsp_receive.h"
#include "protocols/rdm_packets.h"
#include "receiver_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class QspRdm : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    savedPause_ = DmxPort::rdmPause;
    DmxPort::rdmPause = [](unsigned int) {};
    uart.WriteConf(2,
                   "responder 4a5b00000001 label=Par address=17\n"
                   "responder 4a5b00000002\n");
  }
  void TearDown() override {
    DmxPort::rdmPause = savedPause_;
    ArtnetTest::TearDown();
  }

  static void AddPort(const char* text) { AddStream(kStreamPort, text); }

  void Handle(const Bytes& p) {
    HandleQspPacket(p.data(), p.size(), From("10.1.2.9", 5555), CaptureDatagram);
  }

  size_t RdmTransactions(int port) const {
    size_t n = 0;
    for (const std::string& line : uart.Log(port)) n += line.rfind("rdm ", 0) == 0 ? 1 : 0;
    return n;
  }

  SimulatedUart uart;

 private:
  void (*savedPause_)(unsigned int) = nullptr;
};

// A "QSRD" to port `port`: command, UID 4a5b00000001, PID little-endian,
// sub-device 0, then the PDL and its data.
Bytes Qsrd(uint8_t port, uint8_t command, uint16_t pid = 0, Bytes data = {}, uint8_t last = 1) {
  Bytes p = {'Q', 'S', 'R', 'D', port, command, 0x4A, 0x5B, 0, 0, 0, last,
             static_cast<uint8_t>(pid & 0xFF), static_cast<uint8_t>(pid >> 8), 0,
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

TEST_F(QspRdm, DiscoveryIsAnsweredWithEveryUidFound) {
  AddPort("002O");
  Handle(Qsrd(2, kQspRdmDiscovery));
  ASSERT_EQ(Captured().size(), 1u);
  const SentDatagram& d = Captured()[0];
  EXPECT_EQ(ntohs(d.to.sin_port), kQspReplyPort);
  EXPECT_EQ(d.to.sin_addr.s_addr, inet_addr("10.1.2.9"));
  Bytes expected(kQspDiscoveryReplySize, 0);
  const uint8_t head[] = {'Q',  'S',  'D', 'R', 0, 1, 0, 0, 0, 0, 0,    0,    2,
                          0,    0x4A, 0x5B, 0,  0, 0, 2, 0x4A, 0x5B, 0, 0, 0, 1};
  std::copy(head, head + sizeof(head), expected.begin());
  EXPECT_EQ(d.bytes, expected);
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
      {"SET DMX_START_ADDRESS 300", Qsrd(2, kQspRdmSet, 0x00F0, {0x01, 0x2C}),
       Qsrp(kQspRdmSet, kRdmAck, {})},
      {"and back", Qsrd(2, kQspRdmGet, 0x00F0), Qsrp(kQspRdmGet, kRdmAck, {0x01, 0x2C})},
      {"SET out of range", Qsrd(2, kQspRdmSet, 0x00F0, {0x02, 0x01}),
       Qsrp(kQspRdmSet, kRdmNackReason, {0x00, 0x06})},
      {"GET of a PID nobody serves", Qsrd(2, kQspRdmGet, 0x1234),
       Qsrp(kQspRdmGet, kRdmNackReason, {0x00, 0x00})},
      {"GET to a UID that does not answer", Qsrd(2, kQspRdmGet, 0x0082, {}, 9),
       Qsrp(kQspRdmGet, kRdmNoValidResponse, {}, 9)},
  };
  for (const Row& r : rows) {
    Captured().clear();
    Handle(r.request);
    ASSERT_EQ(Captured().size(), 1u) << r.why;
    EXPECT_EQ(ntohs(Captured()[0].to.sin_port), kQspReplyPort) << r.why;
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
  Bytes none(kQspDiscoveryReplySize, 0);
  const uint8_t head[] = {'Q', 'S', 'D', 'R', 0, 1};
  std::copy(head, head + sizeof(head), none.begin());
  EXPECT_EQ(Captured()[1].bytes, none);
  EXPECT_EQ(RdmTransactions(2), 0u);
}

TEST_F(QspRdm, RequestsThatGetNoReply) {
  AddPort("002O");
  Bytes shortGet = Qsrd(2, kQspRdmGet, 0x0082, {1, 2});
  shortGet.pop_back();
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
      {"a GET without all of its data", shortGet},
  };
  for (const auto& r : rows) Handle(r.request);
  EXPECT_TRUE(Captured().empty());
  EXPECT_EQ(RdmTransactions(2), 0u);
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

}  // namespace
