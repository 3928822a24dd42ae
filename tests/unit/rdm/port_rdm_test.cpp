// RDM on a port over the simulated driver: the exact requests the port puts
// on the line, what it makes of the answers, discovery finding exactly the
// devices that are there, and the port back on DMX timing afterwards. What
// a device answers is pinned in the responder tests, frame bytes and
// checksums in the frame tests.
#include <semaphore.h>

#include <string>
#include <vector>

#include "startup/device_identity.h"
#include "process_state.h"
#include "rdm_fixture.h"
#include "stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

const RdmUid kPar = {{0x4A, 0x5B, 0, 0, 0, 1}};
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

  // The log from the first RDM parameter switch on, each run of transactions
  // as one "rdm".
  std::vector<std::string> Steps() const {
    std::vector<std::string> out;
    for (const std::string& line : uart.Log(5)) {
      std::string step = line.rfind("rdm ", 0) == 0 ? "rdm" : line;
      if (out.empty() ? step == kRdmTiming : !(step == "rdm" && out.back() == step)) {
        out.push_back(step);
      }
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

// Every operation runs on the RDM timing and ends on continuous DMX, the
// current frame posted to go out again.
const std::vector<std::string> kOneOperation = {kRdmTiming, "rdm", kContinuous};

TEST_F(RdmPort, GetAndSetTakeTheResponseAsItCame) {
  DmxPort& port = Port(kPars);
  port.SetParams(port.paramsOneShot);  // as in Klock mode: RDM still ends continuous
  int posted = Pending(port);
  struct Row {
    const char* why;
    bool set;
    uint8_t last;  // of the UID 4a5b0000000<last>
    uint16_t pid;
    Bytes request;
    uint8_t type;
    Bytes data;
    uint8_t pdl;  // what the operation leaves in its PDL byte
  };
  const Row rows[] = {
      {"nobody has the UID", false, 9, kPidDeviceLabel, {}, kRdmNoValidResponse, {}, 0},
      {"a SET's data reaches the device, its result is the type", true, 1, kPidDmxStartAddress,
       {0, 0}, kRdmNackReason, {0, 6}, 2},
      // Half a response is no response; the PDL byte keeps the driver's count.
      {"response cut to 14 bytes", false, 3, kPidDmxStartAddress, {}, kRdmNoValidResponse, {},
       14},
  };
  std::vector<std::string> steps;
  for (const Row& r : rows) {
    const RdmUid uid = {{0x4A, 0x5B, 0, 0, 0, r.last}};
    const uint8_t n = static_cast<uint8_t>(r.request.size());
    uint8_t type = 0xEE, pdl = 0xEE;
    uint8_t data[kRdmMaxPdl] = {};
    int result = r.set ? port.RdmSet(uid, r.pid, n, r.request.data(), 0, &type, data, &pdl)
                       : port.RdmGet(uid, r.pid, n, r.request.data(), 0, &type, data, &pdl);
    EXPECT_EQ(result, r.set ? r.type : 1) << r.why;
    EXPECT_EQ(type, r.type) << r.why;
    EXPECT_EQ(pdl, r.pdl) << r.why;
    Bytes expected = r.data;
    expected.resize(sizeof(data));  // nothing written past the response's data
    EXPECT_EQ(Bytes(data, data + sizeof(data)), expected) << r.why;
    steps.insert(steps.end(), kOneOperation.begin(), kOneOperation.end());
  }
  EXPECT_EQ(Steps(), steps);
  EXPECT_EQ(Pending(port), posted + static_cast<int>(std::size(rows)));
  // The port's first request carries transaction number 1 and its own UID.
  EXPECT_EQ(Transactions()[0].request, "cc01184a5b00000009574b0102030401010000002000820002e3");
}

TEST_F(RdmPort, ARawFrameGoesOutAsItIsOnTheSameTiming) {
  DmxPort& port = Port(kPars);
  Bytes frame = LaidFrame({kPar, port.ownUid, 9, 1, 0, 0, kRdmGetCommand, kPidDeviceLabel, 0,
                           nullptr});
  uint8_t response[kRdmMaxReplySize] = {}, length = 0;
  EXPECT_EQ(port.RdmRaw(frame.data(), 26, response, &length), 1);
  EXPECT_EQ(length, 29);
  EXPECT_EQ(response[kRdmPdlOffset], 3);
  EXPECT_EQ(port.transactionNumber, 0);  // the caller's, not the port's
  EXPECT_EQ(Transactions()[0].request.substr(30, 2), "09");
  EXPECT_EQ(Steps(), kOneOperation);
}

TEST_F(RdmPort, InputAndUnopenedPortsMakeNoTransaction) {
  DmxPort& input = Port(kPars, "005I");
  uint8_t type = 0xEE, pdl = 0xEE, data[kRdmMaxPdl] = {0x77}, response[kRdmMaxReplySize];
  uint16_t count = 9;
  RdmUid uids[4];
  EXPECT_EQ(input.RdmGet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 0);
  EXPECT_EQ(input.RdmSet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 0);
  EXPECT_EQ(input.RdmRaw(data, 26, response, &pdl), 0);
  EXPECT_EQ(input.Discover(&count, uids, 4), 0);
  // Nothing touched but the count, which says nothing was found.
  EXPECT_EQ((std::vector<int>{count, type, pdl, data[0]}), (std::vector<int>{0, 0xEE, 0xEE, 0x77}));
  EXPECT_TRUE(Transactions().empty());
  // A device call that fails is no transaction, whatever its result's low
  // byte says: no response is read.
  DmxPort unopened("");
  EXPECT_EQ(unopened.RdmGet(kPar, kPidDeviceLabel, 0, nullptr, 0, &type, data, &pdl), 1);
  EXPECT_EQ(type, kRdmNoValidResponse);
  EXPECT_EQ(pdl, 0);
}

TEST_F(RdmPort, DiscoveryFindsExactlyTheDevicesThere) {
  struct Row {
    const char* why;
    std::string conf;
    std::vector<uint64_t> found;  // in the order found
  };
  const Row rows[] = {
      {"none", "", {}},
      {"one", "responder 4a5b00000001", {0x4a5b00000001u}},
      {"three far apart", "responder 4a5b00000001\nresponder 000000000001\nresponder FFFFFFFFFF00",
       {0xffffffffff00u, 0x4a5b00000001u, 1}},
      {"two that collide, garbled", "responder 000000000002\nresponder 000000000003", {3, 2}},
      {"two that collide on a wired-AND line, the AND a real UID",
       "collisions and\nresponder 000000000002\nresponder 000000000003", {2, 3}},
      {"wired-AND, the AND no device's UID",
       "collisions and\nresponder 000000000001\nresponder 000000000002", {2, 1}},
      {"wired-AND, preambles of 3 and 0",
       "collisions and\nresponder 000000000001 preamble=3\nresponder 000000000002 preamble=0",
       {2, 1}},
      {"neighbours in the last bit", "responder 4a5b12345670\nresponder 4a5b12345671",
       {0x4a5b12345671u, 0x4a5b12345670u}},
      {"a device that never confirms its mute",
       "responder 000000000002 fault=nomute\nresponder 000000000003", {3}},
      {"a mute-deaf device on a wired-AND line",
       "collisions and\nresponder 000000000002 fault=nomute\nresponder 000000000003", {3}},
      {"a silent device", "responder 000000000002 fault=silent\nresponder 000000000003", {3}},
      {"a device whose replies never add up",
       "responder 000000000002 fault=badsum\nresponder 000000000003", {3}},
      {"a device whose replies are cut short",
       "responder 000000000002 fault=short\nresponder 000000000003", {3}},
  };
  for (const Row& r : rows) {
    ClearStreamTable();
    DmxPort& port = Port(r.conf);
    int posted = Pending(port);
    uint16_t count = 0xEEEE;
    RdmUid uids[8];
    ASSERT_EQ(port.Discover(&count, uids, 8), 1) << r.why;
    std::vector<uint64_t> found;
    for (uint16_t i = 0; i < count; ++i) found.push_back(RdmUidValue(uids[i]));
    EXPECT_EQ(found, r.found) << r.why;
    EXPECT_EQ(port.discoveredCount, r.found.size()) << r.why;
    EXPECT_EQ(Steps(), kOneOperation) << r.why;
    EXPECT_EQ(Pending(port), posted + 1) << r.why;
  }
}

TEST_F(RdmPort, AnEmptyLineCostsTwoUnMutesAndThreeProbesAHalf) {
  DmxPort& port = Port("");
  port.transactionNumber = 254;  // every request takes the next number, 255 followed by 0
  uint16_t count = 1;
  RdmUid uids[1];
  port.Discover(&count, uids, 1);
  std::vector<RdmTransaction> t = Transactions();
  ASSERT_EQ(t.size(), 8u);
  EXPECT_EQ(t[0].request, "cc0118ffffffffffff574b01020304ff0100000010000300089e");
  EXPECT_EQ(t[1].request, "cc0118ffffffffffff574b01020304000100000010000300079f");
  // Upper half first.
  EXPECT_EQ(t[2].request,
            "cc0124ffffffffffff574b0102030401010000001000010c800000000000ffffffffffff0e30");
  EXPECT_EQ(t[5].request,
            "cc0124ffffffffffff574b0102030404010000001000010c0000000000007fffffffffff0d33");
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
  // The list of the last search hides none of its devices from the next.
  ASSERT_EQ(port.Discover(&count, uids, 2), 1);
  EXPECT_EQ(port.discoveredCount, 3);
  // The port's own list refuses its 400th UID.
  port.discoveredCount = 398;
  EXPECT_TRUE(port.AddUid(kPar));
  EXPECT_FALSE(port.AddUid(kPar));
  EXPECT_EQ(port.discoveredCount, 399);
}

}  // namespace
