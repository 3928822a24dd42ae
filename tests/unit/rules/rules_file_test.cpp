#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "rules/rules_fixture.h"

namespace {

// Every number a rule holds, in the record's order.
std::vector<uint32_t> Fields(const Rule* r) {
  return {r->kind,         r->s1,           r->s1Start,        r->s2,
          r->d1,           r->d1Start,      r->count,          r->timeout,
          r->switchSource, r->switchDest,   r->switchA,        r->switchB,
          r->controlStream, r->controlChannel, r->threshold,   r->compControlStream,
          r->compControlChannel};
}

std::string Repeat(const std::string& line, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += line;
  return s;
}

}  // namespace

TEST_F(RulesTest, EveryLetterFillsItsFields) {
  AddStreams(10);
  std::string fatal;
  ASSERT_TRUE(ProcessRulesText("F001,002\n"
                               "C001002003004005\n"
                               "H001002003004\n"
                               "L005006007008\n"
                               "P001002003004\n"
                               "S001002003004005006\n"
                               "Z001002003004005006\n"
                               "O001002003004\n"
                               "QA001002003\n"
                               "QB004005006\n"
                               "QX007008009\n",
                               &fatal))
      << fatal;
  const std::vector<std::vector<uint32_t>> expected = {
      //  k  s1 st s2 d1 ds cnt to  src dst A  B  cs cc th ccs ccc
      {1, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {2, 1, 2, 0, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {3, 1, 0, 2, 3, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {4, 5, 0, 6, 7, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {5, 1, 0, 2, 3, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {6, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 3, 4, 5, 6, 0, 0},
      {7, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 2, 4, 5, 6, 0, 0},
      {8, 1, 0, 0, 2, 0, 512, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4},
      {9, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {10, 5, 0, 6, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {10, 8, 0, 9, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  ASSERT_EQ(RuleCount, expected.size());
  for (uint32_t i = 0; i < RuleCount; ++i) EXPECT_EQ(Fields(RuleTable[i]), expected[i]) << i;
  EXPECT_EQ(KlockStream, -1);
}

TEST_F(RulesTest, LoadChecksDisableButKeepTheRule) {
  AddStreams(4);
  const struct {
    const char* line;
    uint32_t kind;
  } cases[] = {
      {"C001512002000010", kRuleDisabled},  // source start past the universe
      {"C001000002512010", kRuleDisabled},  // destination start past it
      {"C001000002000513", kRuleDisabled},  // more than a universe
      {"C001-01002000010", kRuleDisabled},  // negative start
      {"C001511002511512", kRuleCopy},      // ranges overrun: clipped when run
      {"H001002003513", kRuleDisabled},
      {"H001002003512", kRuleHtp},
      {"L001002003600", kRuleDisabled},
      {"L001002003010", kRuleLtp},
      {"QA001002507", kRuleLedrunnerA},
      {"QA001002508", kRuleDisabled},
      {"QA001002-01", kRuleDisabled},
      {"QB001002003", kRuleLedrunnerB},
  };
  std::string text;
  for (const auto& c : cases) text += std::string(c.line) + "\n";
  std::string fatal;
  ASSERT_TRUE(ProcessRulesText(text, &fatal)) << fatal;
  ASSERT_EQ(RuleCount, std::size(cases));
  for (uint32_t i = 0; i < RuleCount; ++i) {
    EXPECT_EQ(RuleTable[i]->kind, cases[i].kind) << cases[i].line;
  }
}

TEST_F(RulesTest, ShortLinesReadZeroPastTheirEnd) {
  AddStreams(4);
  std::string fatal;
  ASSERT_TRUE(ProcessRulesText("S001002003003005006\nH001\nP0\nQ", &fatal)) << fatal;
  ASSERT_EQ(RuleCount, 4u);
  EXPECT_EQ(Fields(RuleTable[1]), (std::vector<uint32_t>{3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                          0, 0, 0, 0}));
  EXPECT_EQ(RuleTable[2]->timeout, 0u);
  EXPECT_EQ(RuleTable[3]->kind, static_cast<uint32_t>(kRuleLedrunnerB));
  // A switch naming streams that do not exist loads: only s1, s2 and d1
  // are checked, and it does nothing when run.
  EXPECT_EQ(RuleTable[0]->switchB, 3u);
}

TEST_F(RulesTest, KlockLineSetsModeAndIsNoRule) {
  AddStreams(3);
  const struct {
    const char* text;
    int stream, timeout;
    uint32_t rules;
  } cases[] = {
      {"K002010\n", 2, 10, 0},
      {"K001360\n", 1, 360, 0},
      {"K001400\n", 1, 3, 0},  // out of range: the default
      {"K001-05\n", 1, 0, 0},
      {"K-01005\n", -1, 5, 0},  // Klock off, ports still one-shot
      {"K\n", 0, 0, 0},
      {"F000,001\nK002010\nF001,002\n", 2, 10, 2},
      {"K002010\nF000,001\nF001,002\n", 2, 10, 2},
      {"K001001\nK002010\n", 2, 10, 0},  // the last one wins
  };
  for (const auto& c : cases) {
    ClearRuleTable();
    KlockStream = -1;
    KlockTimeout = 3;
    std::string fatal;
    ASSERT_TRUE(ProcessRulesText(c.text, &fatal)) << c.text << fatal;
    EXPECT_EQ(KlockStream, c.stream) << c.text;
    EXPECT_EQ(KlockTimeout, c.timeout) << c.text;
    EXPECT_EQ(RuleCount, c.rules) << c.text;
  }
}

// One row per rules text the engine refuses to run with.
TEST_F(RulesTest, MalformedRulesTextsAreRefused) {
  const std::string longLine = "F000,001" + std::string(80, '0') + "\n";
  const struct {
    uint32_t streams;
    std::string text;
    std::string fatal;
    uint32_t rulesStored;
  } cases[] = {
      {4, "\n", "Unkown Rule \n", 0},
      {4, "F001,002\n\n", "Unkown Rule \n", 1},  // empty last line
      {4, "f001,002\n", "Unkown Rule f001,002\n", 0},
      {4, " F001,002\n", "Unkown Rule  F001,002\n", 0},
      {4, "1F001,002\n", "Unkown Rule 1F001,002\n", 0},
      {4, "X", "Unkown Rule X", 0},
      // A line longer than the reader's buffer goes on as a line of its own.
      {4, longLine, "Unkown Rule " + longLine.substr(79), 1},
      {4, "F001,004\n", "Rule 0 refers  to non existent stream, total streams: 4", 1},
      {4, "F000,001\nC009512000000001\n",
       "Rule 1 refers  to non existent stream, total streams: 4", 2},  // disabled too
      {4, "H000-01001010\n", "Rule 0 refers  to non existent stream, total streams: 4", 1},
      {0, "F000,000\n", "Rule 0 refers  to non existent stream, total streams: 0", 1},
      {1, Repeat("F000,000\n", 201), "Too many rules, the table holds 200: F000,000\n", 200},
  };
  for (const auto& c : cases) {
    TearDown();
    AddStreams(c.streams);
    std::string fatal;
    EXPECT_FALSE(ProcessRulesText(c.text, &fatal)) << c.text;
    EXPECT_EQ(fatal, c.fatal) << c.text;
    EXPECT_EQ(RuleCount, c.rulesStored) << c.text;
  }
}

TEST_F(RulesTest, FileReaderLoadsOrReportsMissing) {
  AddStreams(3);
  const std::string dir = ::testing::TempDir();
  EXPECT_EQ(ReadRulesFile((dir + "/no-such-rules.dat").c_str()), 1);
  EXPECT_EQ(RuleCount, 0u);

  const std::string path = dir + "/rules-" + std::to_string(getpid()) + ".dat";
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("F000,001\nK002005\nH000001002512\n", f);
  std::fclose(f);
  EXPECT_EQ(ReadRulesFile(path.c_str()), 0);
  std::remove(path.c_str());
  EXPECT_EQ(RuleCount, 2u);
  EXPECT_EQ(KlockStream, 2);
  EXPECT_EQ(KlockTimeout, 5);
}

// The texts themselves are in the table above; loading one ends the process.
using RulesDeathTest = RulesTest;
TEST_F(RulesDeathTest, FatalTextEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  AddStreams(2);
  EXPECT_DEATH(LoadRulesText("F000,001\nq001\n"), "Unkown Rule q001");
}
