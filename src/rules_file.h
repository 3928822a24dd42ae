#pragma once
// The rules file: one rule per line, the first character selects the kind,
// the rest is fixed runs of three digits. A "K" line is no rule: it puts the
// engine into Klock mode and the output ports into one-shot sending.
#include <cstdint>
#include <string>
#include <string_view>

#include "rule.h"

// Builds the rules of `text` into RuleTable in file order and applies its
// K lines. Returns false, with the message the engine dies with in *fatal,
// on a line of no known kind, a rule beyond the table's room, or a rule
// naming a stream that does not exist; the rules read so far stay stored.
bool ProcessRulesText(std::string_view text, std::string* fatal);

// ProcessRulesText, with a text the engine cannot run with made fatal.
void LoadRulesText(std::string_view text);

// Reads and loads the rules file at `path`: 0 after reading it, 1 when it
// cannot be opened (no rules, Klock mode stays off).
int ReadRulesFile(const char* path);
