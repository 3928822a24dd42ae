#include "startup/rules_file.h"

#include <glog/logging.h>

#include <sstream>

#include "support/fixed_field.h"
#include "support/line_reader.h"
#include "main_loop.h"
#include "stream.h"
#include "streams/stream_table.h"

namespace {

// The front end keeps its lines well inside this; past it, the rest of a
// line is read as a line of its own, as on the device.
constexpr size_t kRulesLineBuffer = 80;

void ApplyKlockLine(const RulesRecord& record) {
  KlockStream = record.klockStream;
  KlockTimeout = record.klockTimeout;
  VLOG(2) << "Engine in Klock mode with stream : " << KlockStream
          << " timeout: " << KlockTimeout;
  if (KlockTimeout > kMaxKlockTimeout) {
    KlockTimeout = kDefaultKlockTimeout;
  } else if (KlockTimeout < 0) {
    KlockTimeout = 0;
  }
  // Even a stream number of -1 (Klock off) switches the ports.
  ForEachStream([](uint32_t, Stream& s) { s.SetOneShot(); });
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

StartupFile<RulesRecord> ParseRulesText(std::string_view text, uint32_t room) {
  StartupFile<RulesRecord> file;
  LineReader reader(text, kRulesLineBuffer);
  std::string_view line;
  uint32_t rules = 0;
  for (uint32_t number = 1; reader.Next(&line); ++number) {
    RulesRecord record;
    record.line = number;
    if (FixedCharAt(line, 0) == 'K') {
      record.klock = true;
      record.klockStream = static_cast<int>(ReadFixedField(line, 1, 3));
      record.klockTimeout = static_cast<int>(ReadFixedField(line, 4, 3));
      file.records.push_back(std::move(record));
      continue;
    }
    size_t textStart = 1;
    if (!RuleKindOfLine(line, &record.kind, &textStart)) {
      // The misspelling is the engine's own text; the front end looks for it.
      file.error = StartupError{number, std::string(line), "Unkown Rule " + std::string(line)};
      break;
    }
    if (rules >= room) {
      std::ostringstream message;
      message << "Too many rules, the table holds " << kRuleTableSize << ": " << line;
      file.error = StartupError{number, std::string(line), message.str()};
      break;
    }
    ++rules;
    record.text = std::string(After(line, textStart));
    file.records.push_back(std::move(record));
  }
  return file;
}

void BuildRules(const StartupFile<RulesRecord>& file) {
  for (const RulesRecord& record : file.records) {
    if (record.klock) {
      ApplyKlockLine(record);
    } else if (RuleCount < kRuleTableSize) {
      RuleTable[RuleCount] = new Rule(record.kind, record.text);
      RuleCount += 1;
    }
  }
}

std::optional<StartupError> FindRuleWithMissingStream() {
  // Disabled rules are checked too: a line naming a missing stream is a
  // broken configuration whatever else is wrong with it.
  uint32_t streams = StreamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < RuleCount; ++i) {
    if (RuleTable[i]->Check() >= streams) {
      std::ostringstream message;
      message << "Rule " << static_cast<int32_t>(i)
              << " refers  to non existent stream, total streams: " << streams;
      return StartupError{0, std::string(), message.str()};
    }
  }
  return std::nullopt;
}

void LoadRulesText(std::string_view text) {
  const StartupFile<RulesRecord> file = ParseRulesText(text, kRuleTableSize - RuleCount);
  BuildRules(file);
  if (file.error) FailStartup(*file.error);
  if (auto missing = FindRuleWithMissingStream()) FailStartup(*missing);
}

int ProcessRulesFile() {
  std::string text;
  if (!ReadWholeFile("/tmp/rules.dat", &text)) return 1;
  LoadRulesText(text);
  return 0;
}
