#include "rules/rules_fixture.h"

namespace {

int StatsWrites = 0;
int UnmatchedWrites = 0;
void CountStats() { ++StatsWrites; }
void CountUnmatched() { ++UnmatchedWrites; }

class MainLoopTest : public RulesTest {
 protected:
  void SetUp() override {
    StatsWrites = UnmatchedWrites = 0;
    AddStreams(3);
  }
  uint32_t Passes(int n) {
    uint32_t sleep = 0;
    for (int i = 0; i < n; ++i) sleep = RunMainLoopPass(&state, {CountStats, CountUnmatched});
    return sleep;
  }
  MainLoopState state;
};

}  // namespace

TEST_F(MainLoopTest, NormalPassRoutesThenClearsFlags) {
  AddRule(kRuleForward, "000,001");
  AddRule(kRuleForward, "001,002");
  Feed(S(0), {5});
  EXPECT_EQ(Passes(1), 25000u);
  EXPECT_EQ(S(2)->data[0], 5);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(S(i)->IsChanged()) << i;
}

TEST_F(MainLoopTest, StatusFilesAndTheForcedPassFollowThePassCount) {
  AddRule(kRuleForward, "000,001");
  S(0)->data[0] = 8;  // never flagged: only a forced pass carries it
  const struct {
    int passes;  // run before the checks
    int stats, unmatched;
    uint8_t out;
    const char* why;
  } steps[] = {
      {13, 0, 0, 0, "13 passes: nothing due"},
      {1, 1, 0, 0, "pass 14: stats"},
      {106, 9, 0, 0, "up to 120: stats on 14, 27 ... 118"},
      {1, 9, 1, 0, "pass 121: unmatched dump"},
      {1, 9, 1, 8, "pass 122: forced"},
  };
  for (const auto& s : steps) {
    Passes(s.passes);
    EXPECT_EQ(StatsWrites, s.stats) << s.why;
    EXPECT_EQ(UnmatchedWrites, s.unmatched) << s.why;
    EXPECT_EQ(S(1)->data[0], s.out) << s.why;
  }
  S(0)->data[0] = 9;
  Passes(119);
  EXPECT_EQ(S(1)->data[0], 8);
  Passes(1);  // 242: forced again
  EXPECT_EQ(S(1)->data[0], 9);
}

TEST_F(MainLoopTest, KlockRunsOnWatchedChangeWithRulesForced) {
  AddRule(kRuleForward, "001,002");  // source never flagged
  KlockStream = 0;
  S(1)->data[0] = 4;
  EXPECT_EQ(Passes(1), 1000u);
  EXPECT_EQ(S(2)->data[0], 0);
  Feed(S(1), {6});
  Passes(1);  // a change elsewhere does not wake Klock, and flags are kept
  EXPECT_EQ(S(2)->data[0], 0);
  EXPECT_TRUE(S(1)->IsChanged());
  Feed(S(0), {1});
  Passes(1);
  EXPECT_EQ(S(2)->data[0], 6);
  EXPECT_FALSE(S(0)->IsChanged());
  EXPECT_FALSE(S(1)->IsChanged());
}

// A watched stream that never changes, or lies outside the table: Klock on
// its timer, every 40 * time-out + 1 passes.
TEST_F(MainLoopTest, KlockTimerRunsEvery40TimesTimeoutPlusOnePasses) {
  AddRule(kRuleForward, "000,001");
  for (int watched : {1, 3, 999, -7}) {  // 3: just past the table
    SCOPED_TRACE(watched);
    KlockStream = watched;
    KlockTimeout = 3;
    state = MainLoopState();
    S(0)->data[0] = static_cast<uint8_t>(watched);
    Passes(121);
    EXPECT_NE(S(1)->data[0], static_cast<uint8_t>(watched));
    Passes(1);  // timer 121 > 120
    EXPECT_EQ(S(1)->data[0], static_cast<uint8_t>(watched));
    S(0)->data[0] = 0;
    Passes(120);
    EXPECT_NE(S(1)->data[0], 0);
    Passes(1);
    EXPECT_EQ(S(1)->data[0], 0);
  }
  KlockStream = 1;
  KlockTimeout = 0;
  state = MainLoopState();
  S(0)->data[0] = 7;
  Passes(1);  // the timer starts at 0, and 0 is not past a time-out of 0
  EXPECT_EQ(S(1)->data[0], 0);
  for (uint8_t v = 1; v < 5; ++v) {
    S(0)->data[0] = v;
    Passes(1);
    EXPECT_EQ(S(1)->data[0], v) << "time-out 0: every pass";
  }
}
