#pragma once
// The rules file: one rule per line, the first character selects the kind,
// the rest is fixed runs of three digits. A "K" line is no rule: it puts the
// engine into Klock mode and the output ports into one-shot sending.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rule.h"
#include "support/startup_error.h"

// One line of the rules file as it reads.
struct RulesRecord {
  uint32_t line = 0;              // from 1
  bool klock = false;             // a K line: no rule
  uint32_t kind = kRuleDisabled;  // a rule line: the kind its letter(s) select
  std::string text;               // a rule line: after the letter(s), as read
  int klockStream = -1;           // a K line: its two fields as read
  int klockTimeout = 0;
};

// The lines of a rules text, for a table that has `room` rules left.
// Touches no global.
StartupFile<RulesRecord> ParseRulesText(std::string_view text,
                                        uint32_t room = kRuleTableSize);

// Builds the rules into RuleTable in file order and applies the K lines.
void BuildRules(const StartupFile<RulesRecord>& file);

// The first rule of RuleTable, disabled ones included, that names a stream
// beyond StreamTable.
std::optional<StartupError> FindRuleWithMissingStream();

// Parses, builds and checks a rules text; a text the engine cannot run with
// ends the process once the lines before the bad one are built.
void LoadRulesText(std::string_view text);

// Reads and loads /tmp/rules.dat: 0 after reading it, 1 when it cannot be
// opened (no rules, Klock mode stays off).
int ProcessRulesFile();
