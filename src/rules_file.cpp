#include "rules_file.h"

#include <glog/logging.h>

#include <sstream>

#include "fixed_field.h"
#include "line_reader.h"
#include "main_loop.h"
#include "stream.h"

namespace {

// The front end keeps its lines well inside this; a longer line goes on as
// a line of its own, as it always has.
constexpr size_t kRulesLineBuffer = 80;

void ApplyKlockLine(std::string_view text) {
  KlockStream = static_cast<int>(ReadFixedField(text, 0, 3));
  KlockTimeout = static_cast<int>(ReadFixedField(text, 3, 3));
  VLOG(2) << "Engine in Klock mode with stream : " << KlockStream
          << " timeout: " << KlockTimeout;
  if (KlockTimeout > 360) {
    KlockTimeout = 3;
  } else if (KlockTimeout < 0) {
    KlockTimeout = 0;
  }
  // Even a stream number of -1 (Klock off) switches the ports.
  uint32_t streams = StreamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < streams && i < kStreamTableSize; ++i) {
    if (StreamTable[i] != nullptr) StreamTable[i]->SetOneShot();
  }
}

// The kind a line's first character selects and where its fields begin;
// false for a character that selects none.
bool RuleKindOfLine(std::string_view line, uint32_t* kind, size_t* textStart) {
  *textStart = 1;
  switch (FixedCharAt(line, 0)) {
    case 'F':
      *kind = kRuleForward;
      return true;
    case 'C':
      *kind = kRuleCopy;
      return true;
    case 'H':
      *kind = kRuleHtp;
      return true;
    case 'L':
      *kind = kRuleLtp;
      return true;
    case 'P':
      *kind = kRulePriority;
      return true;
    case 'S':
      *kind = kRuleSwitch;
      return true;
    case 'Z':
      *kind = kRuleSwitch2To1;
      return true;
    case 'O':
      *kind = kRuleCompressor;
      return true;
    case 'Q':
      *kind = FixedCharAt(line, 1) == 'A' ? kRuleLedrunnerA : kRuleLedrunnerB;
      *textStart = 2;
      return true;
    default:
      return false;
  }
}

// The text after the first `n` characters, empty when the line is shorter.
std::string_view After(std::string_view line, size_t n) {
  return n < line.size() ? line.substr(n) : std::string_view();
}

}  // namespace

bool ProcessRulesText(std::string_view text, std::string* fatal) {
  LineReader reader(text, kRulesLineBuffer);
  std::string_view line;
  while (reader.Next(&line)) {
    if (FixedCharAt(line, 0) == 'K') {
      ApplyKlockLine(After(line, 1));
      continue;
    }
    uint32_t kind = kRuleDisabled;
    size_t textStart = 1;
    if (!RuleKindOfLine(line, &kind, &textStart)) {
      // The misspelling is the engine's own text; the front end looks for it.
      *fatal = "Unkown Rule " + std::string(line);
      return false;
    }
    if (RuleCount >= kRuleTableSize) {
      std::ostringstream message;
      message << "Too many rules, the table holds " << kRuleTableSize << ": " << line;
      *fatal = message.str();
      return false;
    }
    RuleTable[RuleCount] = new Rule(kind, After(line, textStart));
    RuleCount += 1;
  }

  // Disabled rules are checked too: a line naming a missing stream is a
  // broken configuration whatever else is wrong with it.
  uint32_t streams = StreamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < RuleCount; ++i) {
    if (RuleTable[i]->Check() >= streams) {
      std::ostringstream message;
      message << "Rule " << static_cast<int32_t>(i)
              << " refers  to non existent stream, total streams: " << streams;
      *fatal = message.str();
      return false;
    }
  }
  return true;
}

void LoadRulesText(std::string_view text) {
  std::string fatal;
  if (!ProcessRulesText(text, &fatal)) LOG(FATAL) << fatal;
}

int ReadRulesFile(const char* path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return 1;
  LoadRulesText(text);
  return 0;
}

int ProcessRulesFile() { return ReadRulesFile("/tmp/rules.dat"); }
