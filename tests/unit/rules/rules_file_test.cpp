// Loading a rules text: what start-up keeps, disables or refuses. Each
// letter's kind and fields are pinned by the rules examples of the file
// reference, which the doc examples test reads.
#include <optional>
#include <string>
#include <vector>

#include "rules/rules_fixture.h"

namespace {

// What start-up does with a rules text, short of ending the process.
std::optional<StartupError> Load(std::string_view text) {
  const StartupFile<RulesRecord> file = ParseRulesText(text);
  BuildRules(file);
  if (file.error) return file.error;
  return FindRuleWithMissingStream();
}

}  // namespace

TEST_F(RulesTest, LoadChecksDisableButKeepTheRule) {
  AddStreams(4);
  const struct { const char* line; uint32_t kind; } cases[] = {
      {"C001000002512010", kRuleDisabled},  // destination start past the universe
      {"C001000002000513", kRuleDisabled},  // more than a universe
      {"C001511002511512", kRuleCopy},      // ranges overrun: clipped when run
      {"H001002003513", kRuleDisabled},
      {"L001002003512", kRuleLtp},
      {"QA001002508", kRuleDisabled},
      {"S001002009", kRuleSwitch},  // only s1, s2 and d1 are checked at load
      {"Q", kRuleLedrunnerB},       // any Q but QA
  };
  std::string text;
  for (const auto& c : cases) text += std::string(c.line) + "\n";
  ASSERT_EQ(Load(text), std::nullopt);
  ASSERT_EQ(RuleCount, std::size(cases));
  for (uint32_t i = 0; i < RuleCount; ++i) EXPECT_EQ(RuleTable[i]->kind, cases[i].kind) << i;
}

TEST_F(RulesTest, KlockLineSetsModeAndIsNoRule) {
  const struct { const char* text; int stream, timeout; uint32_t rules; } cases[] = {
      {"F000,001\nK002360\nF001,002\n", 2, 360, 2},
      {"K001400\n", 1, 3, 0},  // out of range: the default
      {"K001-05\n", 1, 0, 0},
      {"K001001\nK002010\n", 2, 10, 0},  // the last one wins
  };
  for (const auto& c : cases) {
    ResetProcessState();
    AddStreams(3);
    ASSERT_EQ(Load(c.text), std::nullopt) << c.text;
    EXPECT_EQ(KlockStream, c.stream) << c.text;
    EXPECT_EQ(KlockTimeout, c.timeout) << c.text;
    EXPECT_EQ(RuleCount, c.rules) << c.text;
  }
}

// One row per check that refuses a rules text; loading one ends the process
// once the rules before the bad line are built.
TEST_F(RulesTest, MalformedRulesTextsAreRefused) {
  const std::string longLine = "F000,001" + std::string(80, '0') + "\n";
  std::string tooMany;
  for (int i = 0; i <= 200; ++i) tooMany += "F\n";
  const struct { std::string text, fatal; uint32_t line, rulesStored; } cases[] = {
      {"F001,002\n\n", "Unkown Rule \n", 2, 1},
      {"f001,002\n", "Unkown Rule f001,002\n", 1, 0},
      // A line longer than the reader's buffer goes on as a line of its own.
      {longLine, "Unkown Rule " + longLine.substr(79), 2, 1},
      {"F000,001\nC009512000000001\n",
       "Rule 1 refers  to non existent stream, total streams: 4", 0, 2},  // disabled too
      // The number counts rules; a K line is none.
      {"K001001\nF000,001\nC009000000000001\n",
       "Rule 1 refers  to non existent stream, total streams: 4", 0, 2},
      {"K001001\n" + tooMany, "Too many rules, the table holds 200: F\n", 202, 200},
  };
  for (const auto& c : cases) {
    ResetProcessState();
    AddStreams(4);
    const auto error = Load(c.text);
    ASSERT_TRUE(error.has_value()) << c.text;
    EXPECT_EQ(error->reason, c.fatal) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
    EXPECT_EQ(RuleCount, c.rulesStored) << c.text;
  }
}
