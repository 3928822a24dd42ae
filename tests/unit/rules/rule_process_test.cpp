#include "fake_clock.h"
#include "rules/rules_fixture.h"

TEST_F(RulesTest, CopyMovesOneRangeClippedToBothBuffers) {
  AddStreams(3);
  Stream* pixels = AddStream(kStreamLedrunnerPort);
  for (uint32_t i = 0; i < kDmxChannels; ++i) S(0)->data[i] = static_cast<uint8_t>(i);
  std::memset(S(1)->data, 0xEE, kDmxChannels);
  AddRule(kRuleCopy, "000505001000512\n");  // source runs out after 7 channels
  AddRule(kRuleCopy, "000000002510010\n");  // destination runs out after 2
  AddRule(kRuleCopy, "000000003511512\n");  // 509 bytes fit in a pixel frame
  RunRules(1);
  EXPECT_EQ(Bytes(S(1), 0, 8), (Frame{249, 250, 251, 252, 253, 254, 255, 0xEE}));
  EXPECT_EQ(Bytes(S(2), 508, 4), (Frame{0, 0, 0, 1}));
  EXPECT_EQ(Bytes(pixels, 510, 3), (Frame{0, 0, 1}));
  EXPECT_EQ(pixels->data[1019], static_cast<uint8_t>(508));
}

// Ledrunner A also shows its packing here: channels from the start channel
// on, to the destination's first.
TEST_F(RulesTest, RangesWithinOneStreamReadTheSourceFirst) {
  AddStreams(2);
  AddRule(kRuleCopy, "000000000001004\n");
  AddRule(kRuleLedrunnerA, "001001002\n");
  Feed(S(0), {1, 2, 3, 4, 5});
  Feed(S(1), {1, 2, 3, 4, 5});
  S(1)->data[509] = 9;
  RunRules(0);
  EXPECT_EQ(Bytes(S(0), 0, 6), (Frame{1, 1, 2, 3, 4, 0}));
  EXPECT_EQ(Bytes(S(1), 0, 4), (Frame{3, 4, 5, 0}));
  EXPECT_EQ(Bytes(S(1), 506, 4), (Frame{0, 9, 0, 9}));
  EndPass();
  S(1)->data[4] = 8;  // unflagged: carried by a forced pass
  EXPECT_EQ(RunAndRead(1, 1, 2), 8);
}

// Rules writing the same channels take turns: each writes when its own
// source changed, and the forced pass runs them all in file order.
TEST_F(RulesTest, TwoRulesWritingOneStreamTakeTurns) {
  AddStreams(3);
  AddRule(kRuleForward, "000 002\n");
  AddRule(kRuleCopy, "001000002000002\n");
  const struct { int feed; uint32_t force; Frame out; } passes[] = {
      {1, 0, {9, 9, 0}},  // the Copy's source changed
      {0, 0, {1, 0, 0}},  // the Forward's: its zeros over the Copy's channels
      {-1, 0, {1, 0, 0}},  // nothing changed: they stay
      {-1, 1, {9, 9, 0}},  // the forced pass: the Copy, on the later line, last
  };
  for (const auto& p : passes) {
    if (p.feed == 0) Feed(S(0), {1});
    if (p.feed == 1) Feed(S(1), {9, 9, 9});
    RunRules(p.force);
    EXPECT_EQ(Bytes(S(2), 0, 3), p.out) << &p - passes;
    EndPass();
  }
}

TEST_F(RulesTest, HtpTakesTheHigherValueUpToCount) {
  AddStreams(3);
  std::memset(S(2)->data, 5, kDmxChannels);
  AddRule(kRuleHtp, "000001002003\n");
  Feed(S(0), {200, 100, 10, 99});
  EndPass();
  Feed(S(1), {100, 200, 10, 99});  // only the second source changed
  RunRules(0);
  EXPECT_EQ(Bytes(S(2), 0, 5), (Frame{200, 200, 10, 5, 5}));
  EndPass();
  S(0)->data[0] = S(1)->data[0] = 0;
  EXPECT_EQ(RunAndRead(0, 2), 200) << "neither source flagged";
  EXPECT_EQ(RunAndRead(1, 2), 0);
  EXPECT_EQ(S(2)->writeCount, 2u);
}

TEST_F(RulesTest, LtpFollowsTheLatestChangeOnEveryChannel) {
  AddStreams(3);
  AddRule(kRuleLtp, "000001002010\n");  // count 10 still merges all
  // Fed this pass (-1: not). In a tie the first source wins, and the second's
  // value never shows later on.
  const struct { int s0, s1; uint8_t out; } steps[] = {
      {50, -1, 50}, {-1, 70, 70}, {60, 80, 60}, {-1, -1, 60}};
  for (const auto& s : steps) {
    if (s.s0 >= 0) Feed(S(0), {static_cast<uint8_t>(s.s0)});
    if (s.s1 >= 0) Feed(S(1), {static_cast<uint8_t>(s.s1)});
    EXPECT_EQ(RunAndRead(0, 2), s.out) << s.s0 << "," << s.s1;
    EndPass();
  }
  S(1)->data[500] = 33;  // past the count, unflagged, merged all the same
  EXPECT_EQ(RunAndRead(0, 2, 500), 33);
}

TEST_F(RulesTest, PriorityHandsOverAfterTimeoutAndTakesBack) {
  UseFakeClock({});
  AddStreams(3);
  AddRule(kRulePriority, "000001002005\n");
  Feed(S(1), {2});
  FakeNow = {1000, 900000};
  Feed(S(0), {1});  // S1 last changed during second 1000
  const struct { struct timeval now; int s0; uint8_t out; const char* why; } steps[] = {
      {{1005, 999999}, -1, 1, "quiet for 5 s: still within the time-out"},
      {{1006, 0}, -1, 2, "past the time-out: hand-over"},
      {{1006, 0}, 1, 2, "an unchanged rewrite is no sign of life"},
      {{1006, 0}, 3, 3, "a change takes it back"},
  };
  for (const auto& s : steps) {
    FakeNow = s.now;
    if (s.s0 >= 0) Feed(S(0), {static_cast<uint8_t>(s.s0)});  // -1: not fed
    EXPECT_EQ(RunAndRead(0, 2), s.out) << s.why;
  }
}

// S0 holds 10 and S1 20, control in S3. Switch sends S0 to S1 (A) or S2 (B);
// 2-to-1 sends S0 (A) or S1 (B) to S2. At or above the threshold picks B.
TEST_F(RulesTest, SwitchesPickByThreshold) {
  const struct { uint32_t kind; const char* text; uint32_t channel; uint8_t control; Frame s1s2; }
  rows[] = {
      {kRuleSwitch, "000001002003009128", 9, 127, {10, 0}},   // below: A
      {kRuleSwitch, "000001002003009128", 9, 128, {20, 10}},  // at: B, A keeps its frame
      {kRuleSwitch, "000001002003000300", 0, 255, {10, 0}},   // above 255: always A
      {kRuleSwitch2To1, "000001002003511100", 511, 99, {20, 10}},
      {kRuleSwitch2To1, "000001002003511100", 511, 100, {20, 20}},
  };
  for (const auto& r : rows) {
    ResetProcessState();
    AddStreams(4);
    AddRule(r.kind, r.text);
    Feed(S(0), {10});
    Feed(S(1), {20});
    S(3)->data[r.channel] = r.control;
    RunRules(0);
    EXPECT_EQ((Frame{S(1)->data[0], S(2)->data[0]}), r.s1s2) << r.text << " " << int(r.control);
  }
}

TEST_F(RulesTest, CompressorScalesByTheLevelChannel) {
  AddStreams(3);
  AddRule(kRuleCompressor, "000001002004\n");
  Feed(S(0), {255, 1, 200, 0, 128});
  S(2)->data[4] = 128;
  RunRules(0);
  EXPECT_EQ(Bytes(S(1), 0, 5), (Frame{128, 0, 100, 0, 64}));
  // As for an HTP merge: a write only while there is something to send; never
  // a change, no stamp.
  EXPECT_EQ(S(1)->writeCount, 1u);
  EXPECT_EQ(S(1)->changeCount, 0u);
  EXPECT_EQ(S(1)->lastChange.tv_sec, 0);
  EndPass();
  RunRules(0);
  EXPECT_EQ(S(1)->writeCount, 1u);
}

TEST_F(RulesTest, LedrunnerRulesFillThePixelFrame) {
  AddStreams(2);
  Stream* pixels = AddStream(kStreamLedrunnerPort);
  for (uint32_t i = 0; i < kDmxChannels; ++i) {
    S(0)->data[i] = static_cast<uint8_t>(i);
    S(1)->data[i] = static_cast<uint8_t>(255 - i % 256);
  }
  AddRule(kRuleLedrunnerB, "002000001\n");
  EXPECT_EQ(RunAndRead(0, 2), 0) << "neither source flagged";
  Feed(S(1), {77});  // flags S2 only
  RunRules(0);
  EXPECT_EQ(Bytes(pixels, 508, 4), (Frame{252, 253, 77, 254}));
  EXPECT_EQ(pixels->data[1019], static_cast<uint8_t>(255 - 509 % 256));
  AddRule(kRuleLedrunnerA, "002000507\n")->Process(1);  // the last start that leaves a pixel
  EXPECT_EQ(Bytes(pixels, 0, 4), (Frame{251, 252, 253, 3}));
}

// The load check covers only s1, s2 and d1; every other stream and channel
// field, and the rest of a rule built elsewhere, is bounded where it is used.
TEST_F(RulesTest, OutOfRangeFieldsMakeTheRuleDoNothing) {
  AddStreams(4);
  for (uint32_t i = 0; i < 4; ++i) std::memset(S(i)->data, 1, kDmxChannels);
  const struct { uint32_t kind; const char* text; } rows[] = {
      {kRuleForward, "000,009"},                // destination past the table
      {kRuleForward, "256,001"},                // source past the table storage
      {kRuleCopy, "000512001000010"},           // start past the universe
      {kRuleSwitch, "000009002003000200"},      // unchosen destination past the table
      {kRuleSwitch2To1, "000001002003512000"},  // control channel just past the universe
      {kRuleCompressor, "000001009000"},        // control stream past the table
      {kRuleCompressor, "009001002000"},        // source past the table
      {kRuleHtp, "000009002003"},               // second source past the table
      {kRuleLtp, "000009002003"},
      {kRulePriority, "000009002005"},
      {kRuleLedrunnerA, "009000000"},           // destination past the table
      {kRuleLedrunnerB, "002000009"},           // second source past the table
  };
  for (const auto& r : rows) {
    AddRule(r.kind, r.text)->Process(1);
    for (uint32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(Bytes(S(i), 0, kDmxChannels), Frame(kDmxChannels, 1)) << r.text;
      EXPECT_EQ(S(i)->writeCount, 0u) << r.text;
    }
  }
}
