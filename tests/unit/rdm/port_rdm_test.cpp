// RDM on a port over the simulated driver: the exact requests the port puts
// on the line, what it makes of the answers, discovery finding exactly the
// devices that are there, and the port back on DMX timing afterwards. What
// a device answers is pinned in the responder tests, frame bytes and
// checksums in the frame tests.
#include <semaphore.h>

#include <string>
#include <vector>

#include "device_identity.h"
#include "process_state.h"
#include "rdm_fixture.h"
#include "stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

const RdmUid kPar = {{0x4A, 0x5B, 0x00, 0x00, 0x00, 0x01}};
const char kContinuous[] = "params 160002000300000001000000";
const char kRdmTiming[] = "params 32000a000000000000000000";
const char kPars[] =
    "responder 4a5b00000001 label=Par address=17\n"
    "responder 4a5b00000003 fault=short\n";

class RdmPort : public ::testing::Test {
 protected:
  void SetUp() override { SerialNumber = 0x01020304; }

  // A PORT stream on port 5 whose line holds the responders of `conf`.
  DmxPort& Port(const std::string& conf, const char* text = "005O") {
    uart.WriteConf(5, conf);
    return *AddStream(kStreamPort, text)->As<DmxPort>();
  }

  std::vector<RdmTransaction> Transactions() const { return RdmTransactions(uart, 5); }

  // The log from the first RDM parameter switch on, transactions as "rdm".
  std::vector<std::string> Steps() const {
    std::vector<std::string> out;
    bool started = false;
    for (const std::string& line : uart.Log(5)) {
      started = started || line == kRdmTiming;
      if (started) out.push_back(line.rfind("rdm ", 0) == 0 ? "rdm" : line);
    }
    return out;
  }

  static int Pending(DmxPort& port) {
    int value = -1;
    sem_getvalue(&port.txSemaphore, &value);
    return value;
  }

  SimulatedUart uart;
  NoRdmPause noPause;
};

TEST_F(RdmPort, GetIsByteExactAndLeavesThePortOnDmxTiming) {
  DmxPort& port = Port(kPars);
  port.SetParams(port.paramsOneShot);  // as in Klock mode: RDM still ends continuous
  int posted = Pending(port);
  uint8_t type = 0xEE, pdl = 0xEE;
  uint8_t data[kRdmMaxPdl] = {};
  EXPECT_EQ(port.RdmGet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 1);
  ASSERT_EQ(Transactions().size(), 1u);
  // The port's first request carries transaction number 1.
  EXPECT_EQ(Transactions()[0].request, "cc01184a5b00000001574b0102030401010000002000820002db");
  EXPECT_EQ(type, kRdmAck);
  EXPECT_EQ(pdl, 3);
  EXPECT_EQ(Bytes(data, data + 3), (Bytes{'P', 'a', 'r'}));
  EXPECT_EQ(Steps(), (std::vector<std::string>{kRdmTiming, "rdm", kContinuous}));
  EXPECT_EQ(Pending(port), posted + 1);  // the current frame goes out again
  // The same frame built by a caller passes as it is, on the same timing.
  const std::string sent = Transactions()[0].request;
  Bytes frame;
  for (size_t i = 0; i < sent.size(); i += 2) {
    frame.push_back(static_cast<uint8_t>(std::stoi(sent.substr(i, 2), nullptr, 16)));
  }
  uint8_t response[kRdmMaxReplySize];
  EXPECT_EQ(port.RdmRaw(frame.data(), 26, response, &pdl), 1);
  EXPECT_EQ(pdl, 29);
  EXPECT_EQ(port.transactionNumber, 1);
  ASSERT_EQ(Transactions().size(), 2u);
  EXPECT_EQ(Transactions()[1].request, Transactions()[0].request);
  EXPECT_EQ(Steps(), (std::vector<std::string>{kRdmTiming, "rdm", kContinuous, kRdmTiming, "rdm",
                                               kContinuous}));
}

TEST_F(RdmPort, AnswersAsTheyCome) {
  DmxPort& port = Port(kPars);
  const uint8_t address0[] = {0, 0};
  const RdmUid nobody = {{0x4A, 0x5B, 0, 0, 0, 9}};
  const RdmUid cut = {{0x4A, 0x5B, 0, 0, 0, 3}};
  struct Row {
    const char* why;
    bool set;
    RdmUid uid;
    uint16_t pid;
    uint8_t requestPdl;
    const uint8_t* requestData;
    uint8_t type;
    Bytes data;
    uint8_t pdl;  // what the operation leaves in its PDL byte
  };
  const Row rows[] = {
      {"ACK with data", false, kPar, kPidDmxStartAddress, 0, nullptr, kRdmAck, {0, 17}, 2},
      {"a SET's data reaches the device, its result is the type", true, kPar,
       kPidDmxStartAddress, 2, address0, kRdmNackReason, {0, 6}, 2},
      {"nobody has the UID", false, nobody, kPidDeviceLabel, 0, nullptr, kRdmNoValidResponse, {},
       0},
      // Half a response is no response; the PDL byte keeps the driver's count.
      {"response cut to 14 bytes", false, cut, kPidDmxStartAddress, 0, nullptr,
       kRdmNoValidResponse, {}, 14},
  };
  for (const Row& r : rows) {
    size_t before = Transactions().size();
    uint8_t type = 0xEE, pdl = 0xEE;
    uint8_t data[kRdmMaxPdl] = {};
    int result = r.set ? port.RdmSet(r.uid, r.pid, r.requestPdl, r.requestData, 0, &type, data,
                                     &pdl)
                       : port.RdmGet(r.uid, r.pid, r.requestPdl, r.requestData, 0, &type, data,
                                     &pdl);
    EXPECT_EQ(result, r.set ? r.type : 1) << r.why;
    EXPECT_EQ(type, r.type) << r.why;
    EXPECT_EQ(pdl, r.pdl) << r.why;
    Bytes expected = r.data;
    expected.resize(sizeof(data));  // nothing written past the response's data
    EXPECT_EQ(Bytes(data, data + sizeof(data)), expected) << r.why;
    EXPECT_EQ(Transactions().size(), before + 1) << r.why;
  }
}

TEST_F(RdmPort, TransactionNumbersCountEveryRequestAndWrap) {
  DmxPort port("");
  const uint8_t expected[] = {1, 2, 255, 0, 1};
  RdmRequestBlock block;
  for (size_t i = 0; i < sizeof(expected); ++i) {
    if (i == 2) port.transactionNumber = 254;
    port.InitEmptyRequest(&block);
    port.BuildRdmRequest(&block, kPar, port.ownUid, 1, 0, 0, kRdmDiscoveryCommand,
                         kPidDiscMute, 0, nullptr);
    EXPECT_EQ(block.header[15], expected[i]) << i;
  }
}

TEST_F(RdmPort, InputAndUnopenedPortsMakeNoTransaction) {
  DmxPort& input = Port(kPars, "005I");
  uint8_t type = 0xEE, pdl = 0xEE;
  uint8_t data[kRdmMaxPdl] = {0x77};
  EXPECT_EQ(input.RdmGet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 0);
  EXPECT_EQ(input.RdmSet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 0);
  uint8_t response[kRdmMaxReplySize];
  EXPECT_EQ(input.RdmRaw(data, 26, response, &pdl), 0);
  uint16_t count = 9;
  RdmUid uids[4];
  EXPECT_EQ(input.Discover(&count, uids, 4), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(type, 0xEE);
  EXPECT_EQ(pdl, 0xEE);
  EXPECT_EQ(data[0], 0x77);
  EXPECT_TRUE(Transactions().empty());
  // A device call that fails is no transaction, whatever its result's low
  // byte says: no response is read.
  DmxPort unopened("");
  RdmRequestBlock block;
  unopened.InitEmptyRequest(&block);
  EXPECT_EQ(unopened.RdmExchange(&block, response, &pdl), 0);
  EXPECT_EQ(unopened.RdmGet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 1);
  EXPECT_EQ(type, kRdmNoValidResponse);
  EXPECT_EQ(pdl, 0);
}

std::string UidHex(const RdmUid& uid) {
  char text[13];
  std::snprintf(text, sizeof(text), "%012llx", static_cast<unsigned long long>(RdmUidValue(uid)));
  return text;
}

TEST_F(RdmPort, DiscoveryFindsExactlyTheDevicesThere) {
  struct Row {
    const char* why;
    std::string conf;
    std::vector<std::string> found;  // in the order found
  };
  const Row rows[] = {
      {"none", "", {}},
      {"one", "responder 4a5b00000001", {"4a5b00000001"}},
      {"three far apart",
       "responder 4a5b00000001\nresponder 000000000001\nresponder FFFFFFFFFF00",
       {"ffffffffff00", "4a5b00000001", "000000000001"}},
      {"two that collide, garbled", "responder 000000000002\nresponder 000000000003",
       {"000000000003", "000000000002"}},
      {"two that collide on a wired-AND line, the AND a real UID",
       "collisions and\nresponder 000000000002\nresponder 000000000003",
       {"000000000002", "000000000003"}},
      {"wired-AND, the AND no device's UID",
       "collisions and\nresponder 000000000001\nresponder 000000000002",
       {"000000000002", "000000000001"}},
      {"wired-AND, preambles of 3 and 0",
       "collisions and\nresponder 000000000001 preamble=3\nresponder 000000000002 preamble=0",
       {"000000000002", "000000000001"}},
      {"neighbours in the last bit", "responder 4a5b12345670\nresponder 4a5b12345671",
       {"4a5b12345671", "4a5b12345670"}},
      {"a device that never confirms its mute",
       "responder 000000000002 fault=nomute\nresponder 000000000003", {"000000000003"}},
      {"a mute-deaf device on a wired-AND line",
       "collisions and\nresponder 000000000002 fault=nomute\nresponder 000000000003",
       {"000000000003"}},
      {"a silent device", "responder 000000000002 fault=silent\nresponder 000000000003",
       {"000000000003"}},
      {"a device whose replies never add up",
       "responder 000000000002 fault=badsum\nresponder 000000000003", {"000000000003"}},
      {"a device whose replies are cut short",
       "responder 000000000002 fault=short\nresponder 000000000003", {"000000000003"}},
  };
  for (const Row& r : rows) {
    ClearStreamTable();
    DmxPort& port = Port(r.conf);
    int posted = Pending(port);
    uint16_t count = 0xEEEE;
    RdmUid uids[8];
    ASSERT_EQ(port.Discover(&count, uids, 8), 1) << r.why;
    std::vector<std::string> found;
    for (uint16_t i = 0; i < count; ++i) found.push_back(UidHex(uids[i]));
    EXPECT_EQ(found, r.found) << r.why;
    EXPECT_EQ(port.discoveredCount, r.found.size()) << r.why;
    std::vector<std::string> steps = Steps();
    ASSERT_GE(steps.size(), 2u) << r.why;
    EXPECT_EQ(steps.front(), kRdmTiming) << r.why;
    EXPECT_EQ(steps.back(), kContinuous) << r.why;
    EXPECT_EQ(Pending(port), posted + 1) << r.why;
  }
}

TEST_F(RdmPort, AnEmptyLineCostsTwoUnMutesAndThreeProbesAHalf) {
  DmxPort& port = Port("");
  uint16_t count = 1;
  RdmUid uids[1];
  port.Discover(&count, uids, 1);
  std::vector<RdmTransaction> t = Transactions();
  ASSERT_EQ(t.size(), 8u);
  EXPECT_EQ(t[0].request, "cc0118ffffffffffff574b0102030401010000001000030007a0");
  EXPECT_EQ(t[1].request, "cc0118ffffffffffff574b0102030402010000001000030007a1");
  // Upper half first.
  EXPECT_EQ(t[2].request,
            "cc0124ffffffffffff574b0102030403010000001000010c800000000000ffffffffffff0e32");
  EXPECT_EQ(t[5].request,
            "cc0124ffffffffffff574b0102030406010000001000010c0000000000007fffffffffff0d35");
  for (const RdmTransaction& x : t) EXPECT_EQ(x.response, "-");
  EXPECT_EQ(count, 0);
}

TEST_F(RdmPort, DiscoveryNeverCopiesMoreThanItsCallerHolds) {
  DmxPort& port =
      Port("responder 000000000001\nresponder 000000000002\nresponder 000000000003\n");
  uint16_t count = 0;
  RdmUid uids[3] = {};
  ASSERT_EQ(port.Discover(&count, uids, 2), 1);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(port.discoveredCount, 3);
  EXPECT_EQ(RdmUidValue(uids[2]), 0u);
  // The port's own list refuses its 400th UID.
  port.discoveredCount = 398;
  EXPECT_TRUE(port.AddUid(kPar));
  EXPECT_FALSE(port.AddUid(kPar));
  EXPECT_EQ(port.discoveredCount, 399);
}

}  // namespace
