#include <vector>

#include "rules/rules_fixture.h"

using MainLoopTest = RulesTest;

// Stats on pass 14 and every 13 after, the unmatched dump on pass 121, and
// the pass after it forced.
TEST_F(MainLoopTest, StatusFilesAndTheForcedPassFollowThePassCount) {
  AddStreams(3);
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

// A change elsewhere neither wakes Klock nor loses its flag.
TEST_F(MainLoopTest, KlockWaitsForItsWatchedStream) {
  AddStreams(3);
  AddRule(kRuleForward, "001,002");
  KlockStream = 0;
  Feed(S(1), {6});
  EXPECT_EQ(Passes(1), kKlockPassSleepUs);
  EXPECT_EQ(S(2)->data[0], 0);
  EXPECT_TRUE(S(1)->IsChanged());
}

// A watched stream that never changes, or lies outside the table: Klock on
// its timer, with the rules forced, every 40 * time-out + 1 passes; the first
// run waits one pass more, as the timer starts at 0.
TEST_F(MainLoopTest, KlockTimerRunsEvery40TimesTimeoutPlusOnePasses) {
  AddStreams(3);
  AddRule(kRuleForward, "000,001");
  // Stream 2 is never written, 3 is just past the table.
  const struct { int watched, timeout; } rows[] = {{2, 3}, {3, 3}, {-7, 3}, {2, 0}};
  uint8_t value = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.watched << "," << r.timeout);
    KlockStream = r.watched;
    KlockTimeout = r.timeout;
    state = MainLoopState();
    for (int quiet : {40 * r.timeout + 1, 40 * r.timeout}) {
      S(0)->data[0] = ++value;  // never flagged
      Passes(quiet);
      EXPECT_NE(S(1)->data[0], value);
      Passes(1);
      EXPECT_EQ(S(1)->data[0], value);
    }
  }
}
