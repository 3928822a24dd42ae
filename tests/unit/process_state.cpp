#include "process_state.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/clock.h"
#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "main_loop.h"
#include "ports/simulated_uart.h"
#include "rule.h"
#include "show_engine/dmx_engine.h"
#include "stream.h"
#include "status/unmatched_table.h"

std::unique_ptr<Stream> BuildStream(uint32_t kind, std::string_view text) {
  return std::unique_ptr<Stream>(NewConfiguredStream({1, StreamCount, kind, std::string(text)}));
}

Stream* AddStream(uint32_t kind, std::string_view text) {
  Stream* s = StartConfiguredStream({1, StreamCount, kind, std::string(text)});
  StreamTable[StreamCount++] = s;
  return s;
}

void ClearStreamTable() {
  for (Stream*& s : StreamTable) delete std::exchange(s, nullptr);
  StreamCount = 0;
  PortCount = 0;
}

void ResetProcessState() {
  ClearRuleTable();
  ClearStreamTable();
  ClearUnmatchedTable();
  ResetDeviceIdentity();
  KlockStream = -1;
  KlockTimeout = kDefaultKlockTimeout;
  SetClockForTesting(nullptr);
  DmxEngine::DestroyInstance();
  GrandMaster = 255;
  PlaybackSpeed = 10000;
}

namespace {

class ProcessStateReset : public ::testing::EmptyTestEventListener {
  // Before the fixture is built and after it is gone.
  void OnTestStart(const ::testing::TestInfo&) override { ResetProcessState(); }
  void OnTestEnd(const ::testing::TestInfo&) override { ResetProcessState(); }
};

// A port stream opens its device as it starts, and the engine ends when it
// cannot: a test that builds one without a SimulatedUart of its own gets this
// one, as the engine on a board gets the driver.
class SimulatedUartEverywhere : public ::testing::Environment {
  void SetUp() override { uart_ = std::make_unique<SimulatedUart>(); }
  void TearDown() override { uart_.reset(); }
  std::unique_ptr<SimulatedUart> uart_;
};

// Registered before main runs the tests; gtest owns them.
const bool kRegistered = [] {
  NameLocalTimeZone();
  ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateReset);
  ::testing::AddGlobalTestEnvironment(new SimulatedUartEverywhere);
  return true;
}();

}  // namespace
