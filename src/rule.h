#pragma once
// Routing rules between streams, read from /tmp/rules.dat and applied in
// file order on every main-loop pass.
#include <cstdint>

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
  // Applies the rule; force 1 runs it whatever changed.
  void Process(uint32_t force);

  uint32_t kind = kRuleDisabled;
};

constexpr uint32_t kRuleTableSize = 200;
extern Rule* RuleTable[kRuleTableSize];
extern uint32_t RuleCount;

// Reads /tmp/rules.dat: 0 after reading it, 1 when it cannot be opened.
int ProcessRulesFile();
