// Rules text from the front end: the parser must never read or write out of
// bounds, whatever the lines hold, and the rules it builds must run safely
// on the streams that exist, including fields the load check leaves alone.
#include <glog/logging.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "any_device.h"
#include "startup/config_file.h"
#include "main_loop.h"
#include "rule.h"
#include "startup/rules_file.h"
#include "stream.h"

namespace {

constexpr uint32_t kFuzzStreams = 12;

void MakeStreams() {
  for (uint32_t i = 0; i < kFuzzStreams; ++i) {
    // Every third stream is a pixel port, so 1020-byte buffers are met too.
    uint32_t kind = i % 3 == 2 ? kStreamLedrunnerPort : kStreamVirtual;
    StreamTable[i] = StartConfiguredStream({1, i, kind, "000000000000\n"});
  }
  StreamCount = kFuzzStreams;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FLAGS_minloglevel = 2;  // a line per rule would drown the fuzzer's output
  FLAGS_logtostderr = true;
  fuzz_device::AcceptEveryDeviceCall();
  MakeStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte chooses how many streams exist, so the load check and the
  // run-time bounds meet both a full and a short table.
  if (size == 0) return 0;
  StreamCount = 1 + data[0] % kFuzzStreams;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  // What start-up does short of ending the process.
  BuildRules(ParseRulesText(text));
  FindRuleWithMissingStream();
  // Rules that fail the load check would end the engine; run them anyway to
  // prove that processing bounds every index on its own.
  StreamCount = kFuzzStreams;
  const MainLoopOutputs outputs = {[] {}, [] {}};
  MainLoopState state;
  for (uint32_t i = 0; i < kFuzzStreams; ++i) {
    Stream* s = StreamTable[i];
    std::memset(s->data, 0, s->dataSize);
    s->data[i] = data[0];  // some sources differ, so change-triggered rules act
    s->ClearChanged();
  }
  for (int pass = 0; pass < 4; ++pass) {
    RunMainLoopPass(&state, outputs);
    state.force = pass & 1;
  }
  ClearRuleTable();
  KlockStream = -1;
  KlockTimeout = kDefaultKlockTimeout;
  return 0;
}
