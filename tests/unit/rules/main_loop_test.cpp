#include <vector>

#include "rules/rules_fixture.h"

namespace {

class MainLoopTest : public RulesTest {
 protected:
  void SetUp() override {
    StatsWrites = UnmatchedWrites = 0;
    AddStreams(3);
  }
};

}  // namespace

// Stats on pass 14 and every 13 after, the unmatched dump on pass 121, and
// the pass after it forced.
TEST_F(MainLoopTest, StatusFilesAndTheForcedPassFollowThePassCount) {
  AddRule(kRuleForward, "000,001");
  S(0)->data[0] = 8;  // never flagged: only a forced pass carries it
  // Passes run before the checks, then the writes and what the forced pass carried.
  const struct { int passes, stats, unmatched, out; } steps[] = {
      {13, 0, 0, 0}, {1, 1, 0, 0}, {106, 9, 0, 0}, {1, 9, 1, 0}, {1, 9, 1, 8}};
  for (const auto& s : steps) {
    Passes(s.passes);
    EXPECT_EQ((std::vector<int>{StatsWrites, UnmatchedWrites, S(1)->data[0]}),
              (std::vector<int>{s.stats, s.unmatched, s.out})) << s.passes;
  }
}

TEST_F(MainLoopTest, KlockRunsOnWatchedChangeWithRulesForced) {
  AddRule(kRuleForward, "001,002");  // source never flagged
  KlockStream = 0;
  Feed(S(1), {6});
  EXPECT_EQ(Passes(1), kKlockPassSleepUs);  // a change elsewhere does not wake Klock, and flags are kept
  EXPECT_EQ(S(2)->data[0], 0);
  EXPECT_TRUE(S(1)->IsChanged());
  Feed(S(0), {1});
  Passes(1);
  EXPECT_EQ(S(2)->data[0], 6);
  EXPECT_FALSE(S(1)->IsChanged());
}

// A watched stream that never changes, or lies outside the table: Klock on
// its timer, every 40 * time-out + 1 passes.
TEST_F(MainLoopTest, KlockTimerRunsEvery40TimesTimeoutPlusOnePasses) {
  AddRule(kRuleForward, "000,001");
  for (int watched : {1, 3, -7}) {  // 3: just past the table
    SCOPED_TRACE(watched);
    KlockStream = watched;
    state = MainLoopState();
    S(0)->data[0] = static_cast<uint8_t>(watched);
    Passes(121);
    EXPECT_NE(S(1)->data[0], static_cast<uint8_t>(watched));
    Passes(1);  // timer 121 > 120
    EXPECT_EQ(S(1)->data[0], static_cast<uint8_t>(watched));
  }
  KlockTimeout = 0;
  state = MainLoopState();
  S(0)->data[0] = 7;
  Passes(1);  // the timer starts at 0, and 0 is not past a time-out of 0
  EXPECT_EQ(S(1)->data[0], static_cast<uint8_t>(-7));
  Passes(1);
  EXPECT_EQ(S(1)->data[0], 7);
  S(0)->data[0] = 8;
  Passes(1);  // time-out 0: every pass from then on
  EXPECT_EQ(S(1)->data[0], 8);
}
