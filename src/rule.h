#pragma once
// Routing rules between streams, read from /tmp/rules.dat and applied in
// file order on every main-loop pass. Stream fields hold StreamTable
// indexes; channel fields hold 0-based channel indexes.
#include <cstdint>
#include <memory>
#include <string_view>

#include "stream.h"

enum RuleKind : uint32_t {
  kRuleDisabled = 0,
  kRuleForward = 1,
  kRuleCopy = 2,
  kRuleHtp = 3,
  kRuleLtp = 4,
  kRulePriority = 5,
  kRuleSwitch = 6,
  kRuleSwitch2To1 = 7,
  kRuleCompressor = 8,
  kRuleLedrunnerA = 9,
  kRuleLedrunnerB = 10,
};

class Rule {
 public:
  // Builds a rule from the text after its letter(s); a rule whose starts or
  // counts cannot be honoured comes out disabled (kind 0).
  Rule(uint32_t kind, std::string_view text);
  Rule(const Rule&) = delete;
  Rule& operator=(const Rule&) = delete;

  // The largest of s1, s2 and d1: the load check compares it with the
  // number of streams.
  uint32_t Check() const;

  // Applies the rule; force 1 runs the change-triggered kinds whatever
  // changed.
  void Process(uint32_t force);

  uint32_t kind = kRuleDisabled;
  uint32_t s1 = 0;
  uint32_t s1Start = 0;
  uint32_t s2 = 0;
  uint32_t d1 = 0;
  uint32_t d1Start = 0;
  uint32_t count = 0;
  // LTP only: the source values seen by the previous pass.
  std::unique_ptr<uint8_t[]> prevS1;
  std::unique_ptr<uint8_t[]> prevS2;
  uint8_t ltpOutput[kDmxChannels] = {};
  uint32_t timeout = 0;  // Priority, in seconds
  uint32_t switchSource = 0;
  uint32_t switchDest = 0;
  uint32_t switchA = 0;  // chosen while the control value is below threshold
  uint32_t switchB = 0;  // chosen while it is at or above
  uint32_t controlStream = 0;
  uint32_t controlChannel = 0;
  uint32_t threshold = 0;
  uint32_t compControlStream = 0;
  uint32_t compControlChannel = 0;

 private:
  void ParseFields(std::string_view text);
  void ProcessForward(uint32_t force);
  void ProcessCopy(uint32_t force);
  void ProcessHtp(uint32_t force);
  void ProcessLtp();
  void ProcessPriority();
  void ProcessSwitch();
  void ProcessCompressor();
  void ProcessLedrunnerA(uint32_t force);
  void ProcessLedrunnerB(uint32_t force);
};

constexpr uint32_t kRuleTableSize = 200;
extern Rule* RuleTable[kRuleTableSize];
extern uint32_t RuleCount;

// Deletes every rule and empties the table (tests and the fuzzer load
// several rules texts in one process).
void ClearRuleTable();
