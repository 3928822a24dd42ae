// The simulated E1.20 responders: what each answers to GET and SET. Their
// discovery answers, faults and collisions are seen through the
// discoveries of the port tests.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "rdm_fixture.h"
#include "rdm_responder.h"

namespace {

using xuart_sim::ResponderConfig;
using xuart_sim::ResponderFault;
using xuart_sim::ResponderLine;

const RdmUid kController = {{0x57, 0x4B, 0, 0, 0, 9}};

// Every frame here is of transaction 7, a request on port 1 or an answer of `type`.
std::vector<uint8_t> Frame(const RdmUid& to, const RdmUid& from, uint8_t portOrType,
                           uint8_t commandClass, uint16_t pid, std::vector<uint8_t> data = {},
                           uint16_t subDevice = 0) {
  return LaidFrame({to, from, 7, portOrType, 0, subDevice, commandClass, pid,
                    static_cast<uint8_t>(data.size()), data.data()});
}

std::vector<uint8_t> Request(uint64_t destination, uint8_t commandClass, uint16_t pid,
                             std::vector<uint8_t> data = {}, uint16_t subDevice = 0) {
  return Frame(RdmUidFromValue(destination), kController, 1, commandClass, pid, data, subDevice);
}

std::vector<uint8_t> Transact(ResponderLine& line, const std::vector<uint8_t>& request) {
  std::vector<uint8_t> out(258);
  out.resize(line.Transact(request.data(), request.size(), out.data(), out.size()));
  return out;
}

TEST(ResponderConf, LinesReadAndRefused) {
  ResponderConfig c;
  // UID, label, start address, footprint, preamble, fault.
  using Fields = std::tuple<uint64_t, std::string, int, int, int, ResponderFault>;
  auto fields = [&c] {
    return Fields(RdmUidValue(c.uid), c.label, c.startAddress, c.footprint, c.preamble, c.fault);
  };
  ASSERT_TRUE(xuart_sim::ParseResponderLine(
      "responder 4a5b00000001 label=Spot_left address=512 footprint=0 preamble=0 fault=nomute",
      &c));
  EXPECT_EQ(fields(), Fields(0x4A5B00000001u, "Spot left", 512, 0, 0, ResponderFault::kNoMute));
  ASSERT_TRUE(xuart_sim::ParseResponderLine("responder 4A5B0000000F\n", &c));
  EXPECT_EQ(fields(), Fields(0x4A5B0000000Fu, "", 1, 1, 7, ResponderFault::kNone));
  const char* refused[] = {
      "led",
      "responder 4a5b0000001",   // 11 digits
      "responder 4a5b000000g1",  // not hex
      "responder 4a5b00000001 address=513",
      "responder 4a5b00000001 preamble=8",
      "responder 4a5b00000001 fault=loud",
      "responder 4a5b00000001 label=abcdefghijklmnopqrstuvwxyz0123456",  // 33 characters
  };
  for (const char* line : refused) EXPECT_FALSE(xuart_sim::ParseResponderLine(line, &c)) << line;
  ResponderLine l;
  EXPECT_TRUE(l.Configure("collisions and"));
  EXPECT_TRUE(l.Configure("collisions garbled"));
  EXPECT_FALSE(l.Configure("collisions or"));
  EXPECT_FALSE(l.Configure(""));
  EXPECT_TRUE(l.responders().empty());
}

TEST(Responder, GetAndSetAnswers) {
  ResponderLine line;
  ASSERT_TRUE(line.Configure("responder 4a5b00000001 label=Par_64 address=17 footprint=6"));
  const uint64_t me = 0x4A5B00000001u;
  const uint8_t get = kRdmGetCommand, set = kRdmSetCommand, nack = kRdmNackReason;
  struct Row {
    const char* why;
    uint8_t commandClass;
    uint16_t pid;
    std::vector<uint8_t> request;
    uint8_t type;
    std::vector<uint8_t> data;
    uint16_t subDevice = 0;
  };
  const Row rows[] = {
      {"DEVICE_LABEL", get, kPidDeviceLabel, {}, kRdmAck, {'P', 'a', 'r', ' ', '6', '4'}},
      {"SUPPORTED_PARAMETERS", get, kPidSupportedParameters, {}, kRdmAck, {0x00, 0x82}},
      {"DEVICE_INFO", get, kPidDeviceInfo, {}, kRdmAck,
       {0x01, 0x00, 0x00, 0x01, 0x01, 0x01, 0, 0, 0, 1, 0, 6, 1, 1, 0, 17, 0, 0, 0}},
      {"IDENTIFY_DEVICE", get, kPidIdentifyDevice, {}, kRdmAck, {0}},
      {"start address of one byte", set, kPidDmxStartAddress, {1}, nack, {0, 1}},
      // 513 is refused alike: the QSP RDM tests ask for it.
      {"start address 0", set, kPidDmxStartAddress, {0, 0}, nack, {0, 6}},
      {"a PID nobody serves", get, 0x7FFF, {}, nack, {0, 0}},
      {"a GET with data", get, kPidDeviceLabel, {1}, nack, {0, 1}},
      {"a label of 33 characters", set, kPidDeviceLabel, std::vector<uint8_t>(33, 'x'), nack,
       {0, 1}},
      {"identify on", set, kPidIdentifyDevice, {1}, kRdmAck, {}},
      {"identify 2", set, kPidIdentifyDevice, {2}, nack, {0, 6}},
      {"identify read back", get, kPidIdentifyDevice, {}, kRdmAck, {1}},
      {"label set", set, kPidDeviceLabel, {'W', 'a', 's', 'h'}, kRdmAck, {}},
      {"label read back", get, kPidDeviceLabel, {}, kRdmAck, {'W', 'a', 's', 'h'}},
      {"DEVICE_INFO cannot be set", set, kPidDeviceInfo, {}, nack, {0, 5}},
      {"sub-device 1", get, kPidDeviceLabel, {}, nack, {0, 9}, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Transact(line, Request(me, r.commandClass, r.pid, r.request, r.subDevice)),
              Frame(kController, RdmUidFromValue(me), r.type, r.commandClass + 1, r.pid, r.data,
                    r.subDevice))
        << r.why;
  }
}

TEST(Responder, QuietWhereTheStandardSaysSo) {
  ResponderLine line;
  ASSERT_TRUE(line.Configure("responder 4a5b00000001 address=17"));
  const std::vector<uint8_t> rows[] = {
      Request(0x4A5B00000002u, kRdmGetCommand, kPidDeviceLabel),  // someone else
      Request(0xFFFFFFFFFFFFu, kRdmSetCommand, kPidDmxStartAddress, {0, 99}),  // broadcast
      Request(0x4A5BFFFFFFFFu, kRdmDiscoveryCommand, kPidDiscMute),  // maker's broadcast
      Request(0xFFFFFFFFFFFFu, kRdmDiscoveryCommand, kPidDiscUniqueBranch,  // muted now
              {0x4A, 0x5B, 0, 0, 0, 1, 0x4A, 0x5B, 0, 0, 0, 1}),
  };
  for (const auto& r : rows) EXPECT_TRUE(Transact(line, r).empty());
  EXPECT_EQ(line.responders()[0].startAddress(), 99);  // the broadcast SET was obeyed
  EXPECT_TRUE(line.responders()[0].muted());
  EXPECT_TRUE(Transact(line, Request(0xFFFFFFFFFFFFu, kRdmDiscoveryCommand, kPidDiscUnMute))
                  .empty());
  EXPECT_FALSE(line.responders()[0].muted());
}

}  // namespace
