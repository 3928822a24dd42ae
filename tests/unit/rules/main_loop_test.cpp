#include "rules/rules_fixture.h"

namespace {

int StatsWrites = 0;
int UnmatchedWrites = 0;
void CountStats() { ++StatsWrites; }
void CountUnmatched() { ++UnmatchedWrites; }
const MainLoopOutputs kCountingOutputs = {CountStats, CountUnmatched};

class MainLoopTest : public RulesTest {
 protected:
  void SetUp() override {
    StatsWrites = 0;
    UnmatchedWrites = 0;
  }
  uint32_t Pass() { return RunMainLoopPass(&state, kCountingOutputs); }
  void Passes(int n) {
    for (int i = 0; i < n; ++i) Pass();
  }
  MainLoopState state;
};

}  // namespace

TEST_F(MainLoopTest, NormalPassRoutesThenClearsFlags) {
  AddStreams(3);
  AddRule(kRuleForward, "000,001");
  AddRule(kRuleForward, "001,002");
  Feed(S(0), {5});
  EXPECT_EQ(Pass(), 25000u);
  EXPECT_EQ(S(2)->data[0], 5);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(S(i)->IsChanged()) << i;
}

TEST_F(MainLoopTest, StatusFilesAndTheForcedPassFollowThePassCount) {
  AddStreams(2);
  AddRule(kRuleForward, "000,001");
  S(0)->data[0] = 8;  // never flagged: only a forced pass carries it
  Passes(13);
  EXPECT_EQ(StatsWrites, 0);
  Pass();  // 14
  EXPECT_EQ(StatsWrites, 1);
  Passes(106);  // up to 120
  EXPECT_EQ(UnmatchedWrites, 0);
  EXPECT_EQ(S(1)->data[0], 0);
  Pass();  // 121: unmatched dump
  EXPECT_EQ(UnmatchedWrites, 1);
  EXPECT_EQ(S(1)->data[0], 0);
  Pass();  // 122: forced
  EXPECT_EQ(S(1)->data[0], 8);
  EXPECT_EQ(StatsWrites, 9);  // passes 14, 27, ... 118
  S(0)->data[0] = 9;
  Passes(119);
  EXPECT_EQ(S(1)->data[0], 8);
  Pass();  // 242: forced again
  EXPECT_EQ(S(1)->data[0], 9);
}

TEST_F(MainLoopTest, KlockRunsOnWatchedChangeWithRulesForced) {
  AddStreams(3);
  AddRule(kRuleForward, "001,002");  // source never flagged
  KlockStream = 0;
  S(1)->data[0] = 4;
  EXPECT_EQ(Pass(), 1000u);
  EXPECT_EQ(S(2)->data[0], 0);

  Feed(S(1), {6});
  Pass();  // a change elsewhere does not wake Klock, and flags are kept
  EXPECT_EQ(S(2)->data[0], 0);
  EXPECT_TRUE(S(1)->IsChanged());

  Feed(S(0), {1});
  Pass();
  EXPECT_EQ(S(2)->data[0], 6);
  EXPECT_FALSE(S(0)->IsChanged());
  EXPECT_FALSE(S(1)->IsChanged());
}

TEST_F(MainLoopTest, KlockTimerRunsEvery40TimesTimeoutPlusOnePasses) {
  AddStreams(2);
  AddRule(kRuleForward, "000,001");
  // A watched stream outside the table never changes: Klock on its timer.
  for (int watched : {1, 2, 999, -7}) {
    SCOPED_TRACE(watched);
    KlockStream = watched;
    KlockTimeout = 3;
    state = MainLoopState();
    S(0)->data[0] = static_cast<uint8_t>(watched);
    Passes(121);
    EXPECT_NE(S(1)->data[0], static_cast<uint8_t>(watched));
    Pass();  // timer 121 > 120
    EXPECT_EQ(S(1)->data[0], static_cast<uint8_t>(watched));
    S(0)->data[0] = 0;
    Passes(120);
    EXPECT_NE(S(1)->data[0], 0);
    Pass();
    EXPECT_EQ(S(1)->data[0], 0);
  }
}

TEST_F(MainLoopTest, KlockTimeoutZeroRunsEveryPass) {
  AddStreams(2);
  AddRule(kRuleForward, "000,001");
  KlockStream = 1;
  KlockTimeout = 0;
  Pass();  // the timer starts at 0, and 0 is not past a time-out of 0
  EXPECT_EQ(S(1)->data[0], 0);
  for (uint8_t v = 1; v < 5; ++v) {
    S(0)->data[0] = v;
    Pass();
    EXPECT_EQ(S(1)->data[0], v);
  }
}
