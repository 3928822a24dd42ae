#include <vector>

#include "rules/rules_fixture.h"

namespace {

std::vector<uint8_t> Bytes(const Stream* s, uint32_t from, uint32_t n) {
  return std::vector<uint8_t>(s->data + from, s->data + from + n);
}

struct timeval FakeNow = {};
struct timeval FakeClock() { return FakeNow; }

}  // namespace

TEST_F(RulesTest, ForwardRunsOnChangeOrForce) {
  AddStreams(2);
  AddRule(kRuleForward, "000,001\n");
  Feed(S(0), {1, 2, 3});
  S(0)->data[511] = 9;
  RunRules(0);
  EXPECT_EQ(Bytes(S(1), 0, 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(S(1)->data[511], 9);
  EXPECT_EQ(S(1)->writeCount, 1u);
  EXPECT_EQ(S(1)->changeCount, 1u);
  EXPECT_TRUE(S(1)->IsChanged());

  // A source that changed without its flag (the flag was cleared between
  // write and rule) is picked up only by a forced pass.
  EndPass();
  S(0)->data[0] = 50;
  RunRules(0);
  EXPECT_EQ(S(1)->data[0], 1);
  EXPECT_EQ(S(1)->writeCount, 1u);
  RunRules(1);
  EXPECT_EQ(S(1)->data[0], 50);
  EXPECT_TRUE(S(1)->IsChanged());

  // Forced again with nothing new: a write is counted, nothing is marked.
  EndPass();
  RunRules(1);
  EXPECT_EQ(S(1)->writeCount, 3u);
  EXPECT_EQ(S(1)->changeCount, 2u);
  EXPECT_FALSE(S(1)->IsChanged());
}

TEST_F(RulesTest, CopyMovesOneRangeAndLeavesTheRest) {
  AddStreams(2);
  std::memset(S(1)->data, 7, kDmxChannels);
  AddRule(kRuleCopy, "000000001100010\n");  // channels 1-10 to 101-110
  Feed(S(0), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  RunRules(0);
  EXPECT_EQ(Bytes(S(1), 98, 14),
            (std::vector<uint8_t>{7, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 7, 7}));
  EXPECT_EQ(S(1)->data[0], 7);
  EXPECT_EQ(S(1)->writeCount, 1u);
  EXPECT_EQ(S(1)->changeCount, 1u);
}

TEST_F(RulesTest, CopyIsClippedToBothBuffers) {
  AddStreams(3);
  Stream* pixels = AddStream(kStreamLedrunnerPort);
  for (uint32_t i = 0; i < kDmxChannels; ++i) S(0)->data[i] = static_cast<uint8_t>(i);
  std::memset(S(1)->data, 0xEE, kDmxChannels);
  AddRule(kRuleCopy, "000505001000512\n");  // source runs out after 7 channels
  AddRule(kRuleCopy, "000000002510010\n");  // destination runs out after 2
  AddRule(kRuleCopy, "000000003511512\n");  // 509 bytes fit in a pixel frame
  RunRules(1);
  EXPECT_EQ(Bytes(S(1), 0, 8), (std::vector<uint8_t>{249, 250, 251, 252, 253, 254, 255, 0xEE}));
  EXPECT_EQ(Bytes(S(2), 508, 4), (std::vector<uint8_t>{0, 0, 0, 1}));
  EXPECT_EQ(pixels->data[510], 0);
  EXPECT_EQ(pixels->data[511], 0);
  EXPECT_EQ(pixels->data[512], 1);
  EXPECT_EQ(pixels->data[1019], static_cast<uint8_t>(508));
}

TEST_F(RulesTest, RangesWithinOneStreamReadTheSourceFirst) {
  AddStreams(2);
  AddRule(kRuleCopy, "000000000001004\n");
  Feed(S(0), {1, 2, 3, 4, 5});
  RunRules(0);
  EXPECT_EQ(Bytes(S(0), 0, 6), (std::vector<uint8_t>{1, 1, 2, 3, 4, 0}));

  AddRule(kRuleLedrunnerA, "001001002\n");
  Feed(S(1), {1, 2, 3, 4, 5});
  S(1)->data[509] = 9;
  S(1)->data[510] = 8;
  RunRules(0);
  EXPECT_EQ(Bytes(S(1), 0, 4), (std::vector<uint8_t>{3, 4, 5, 0}));
  EXPECT_EQ(Bytes(S(1), 506, 6), (std::vector<uint8_t>{0, 9, 0, 9, 8, 0}));
}

TEST_F(RulesTest, HtpTakesTheHigherValueUpToCount) {
  AddStreams(3);
  std::memset(S(2)->data, 5, kDmxChannels);
  AddRule(kRuleHtp, "000001002003\n");
  Feed(S(0), {200, 100, 10, 99});
  EndPass();
  Feed(S(1), {100, 200, 10, 99});  // only the second source changed
  RunRules(0);
  EXPECT_EQ(Bytes(S(2), 0, 5), (std::vector<uint8_t>{200, 200, 10, 5, 5}));
  EXPECT_TRUE(S(2)->IsChanged());
  EXPECT_EQ(S(2)->writeCount, 1u);
  EXPECT_EQ(S(2)->changeCount, 0u);  // a merge is no counted change

  EndPass();
  S(0)->data[0] = 0;
  S(1)->data[0] = 0;
  RunRules(0);  // neither source flagged
  EXPECT_EQ(S(2)->data[0], 200);
  RunRules(1);
  EXPECT_EQ(S(2)->data[0], 0);
}

TEST_F(RulesTest, LtpFollowsTheLatestChangeOnEveryChannel) {
  AddStreams(3);
  Rule* r = AddRule(kRuleLtp, "000001002010\n");  // count 10 still merges all
  Feed(S(0), {50});
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 50);
  EndPass();

  Feed(S(1), {70});
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 70);

  // Both change in one pass: S1 wins, and S2's value never shows later.
  Feed(S(0), {60});
  Feed(S(1), {80});
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 60);
  EndPass();
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 60);
  EXPECT_FALSE(S(2)->IsChanged());

  // Channel 501 is past the count but merged all the same, flags or not.
  S(1)->data[500] = 33;
  RunRules(0);
  EXPECT_EQ(S(2)->data[500], 33);
  EXPECT_EQ(r->ltpOutput[500], 33);
}

TEST_F(RulesTest, PriorityHandsOverAfterTimeoutAndTakesBack) {
  SetClockForTesting(FakeClock);
  AddStreams(3);
  AddRule(kRulePriority, "000001002005\n");
  Feed(S(1), {2});
  FakeNow = {1000, 900000};
  Feed(S(0), {1});  // S1 last changed during second 1000

  for (long sec : {1000L, 1003L, 1005L}) {
    FakeNow = {sec, 999999};
    RunRules(0);
    EXPECT_EQ(S(2)->data[0], 1) << "second " << sec;
  }
  FakeNow = {1006, 0};
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 2);

  // An unchanged rewrite of S1 is no sign of life.
  Feed(S(0), {1});
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 2);

  Feed(S(0), {3});
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 3);
}

TEST_F(RulesTest, SwitchRoutesByThreshold) {
  AddStreams(4);  // 0 source, 1 A, 2 B, 3 control
  AddRule(kRuleSwitch, "000001002003009128\n");
  Feed(S(0), {11});
  S(3)->data[9] = 127;
  RunRules(0);
  EXPECT_EQ(S(1)->data[0], 11);
  EXPECT_EQ(S(2)->data[0], 0);

  S(3)->data[9] = 128;
  Feed(S(0), {12});
  RunRules(0);
  EXPECT_EQ(S(1)->data[0], 11);  // A keeps its last frame
  EXPECT_EQ(S(2)->data[0], 12);
}

TEST_F(RulesTest, SwitchThresholdExtremes) {
  AddStreams(4);
  Feed(S(0), {1});
  S(3)->data[0] = 0;
  AddRule(kRuleSwitch, "000001002003000000\n");  // 0: always at or above
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 1);
  EXPECT_EQ(S(1)->data[0], 0);
  ClearRuleTable();
  S(3)->data[0] = 255;
  AddRule(kRuleSwitch, "000001002003000300\n");  // above 255: always below
  RunRules(0);
  EXPECT_EQ(S(1)->data[0], 1);
}

TEST_F(RulesTest, SwitchTwoToOnePicksTheSource) {
  AddStreams(4);  // 0 A, 1 B, 2 destination, 3 control
  AddRule(kRuleSwitch2To1, "000001002003511100\n");
  Feed(S(0), {10});
  Feed(S(1), {20});
  S(3)->data[511] = 99;
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 10);
  S(3)->data[511] = 100;
  RunRules(0);
  EXPECT_EQ(S(2)->data[0], 20);
}

TEST_F(RulesTest, CompressorScalesByTheLevelChannel) {
  AddStreams(3);
  AddRule(kRuleCompressor, "000001002004\n");
  Feed(S(0), {255, 1, 200, 0, 128});
  const struct {
    uint8_t level;
    std::vector<uint8_t> out;
  } cases[] = {
      {255, {255, 1, 200, 0, 128}},
      {254, {254, 0, 199, 0, 127}},
      {128, {128, 0, 100, 0, 64}},
      {0, {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    S(2)->data[4] = c.level;
    RunRules(0);
    EXPECT_EQ(Bytes(S(1), 0, 5), c.out) << "level " << int(c.level);
  }
  // Counted as a write only while there is something to send; never as a
  // change, and no time stamp.
  EXPECT_TRUE(S(1)->IsChanged());
  EXPECT_EQ(S(1)->changeCount, 0u);
  EXPECT_EQ(S(1)->lastChange.tv_sec, 0);
  uint32_t writes = S(1)->writeCount;
  EndPass();
  RunRules(0);
  EXPECT_EQ(S(1)->writeCount, writes);
  EXPECT_FALSE(S(1)->IsChanged());
}

TEST_F(RulesTest, LedrunnerAPacksFromTheStartChannel) {
  AddStreams(2);
  std::memset(S(1)->data, 4, kDmxChannels);
  AddRule(kRuleLedrunnerA, "001000507\n");
  S(0)->data[506] = 1;
  S(0)->data[507] = 2;
  S(0)->data[508] = 3;
  S(0)->data[509] = 5;
  S(0)->data[510] = 6;
  RunRules(0);  // source not flagged
  EXPECT_EQ(S(1)->data[0], 4);
  RunRules(1);
  EXPECT_EQ(Bytes(S(1), 0, 4), (std::vector<uint8_t>{2, 3, 5, 4}));
}

TEST_F(RulesTest, LedrunnerBFillsOnePixelFrameFromTwoUniverses) {
  AddStreams(2);
  Stream* pixels = AddStream(kStreamLedrunnerPort);
  Stream* plain = AddStream();
  for (uint32_t i = 0; i < kDmxChannels; ++i) {
    S(0)->data[i] = static_cast<uint8_t>(i);
    S(1)->data[i] = static_cast<uint8_t>(255 - i % 256);
  }
  AddRule(kRuleLedrunnerB, "002000001\n");
  AddRule(kRuleLedrunnerB, "003000001\n");
  RunRules(0);
  EXPECT_EQ(pixels->data[0], 0);
  Feed(S(1), {77});  // flags S2 only
  RunRules(0);
  EXPECT_EQ(Bytes(pixels, 508, 4), (std::vector<uint8_t>{252, 253, 77, 254}));
  EXPECT_EQ(pixels->data[1019], static_cast<uint8_t>(255 - 509 % 256));
  EXPECT_EQ(pixels->changeCount, 2u);  // the frame write and the range write
  // A 512-channel destination keeps what fits of the second universe.
  EXPECT_EQ(Bytes(plain, 508, 4), (std::vector<uint8_t>{252, 253, 77, 254}));
}

// The load check covers only s1, s2 and d1; every other stream and channel
// field, and the rest of a rule built elsewhere, is bounded where it is used.
TEST_F(RulesTest, OutOfRangeFieldsMakeTheRuleDoNothing) {
  AddStreams(4);
  for (uint32_t i = 0; i < 4; ++i) std::memset(S(i)->data, 1, kDmxChannels);
  const struct {
    uint32_t kind;
    const char* text;
    const char* why;
  } cases[] = {
      {kRuleForward, "000,009", "destination past the table"},
      {kRuleForward, "256,001", "source past the table storage"},
      {kRuleCopy, "009000001000010", "source past the table"},
      {kRuleHtp, "000009001512", "second source past the table"},
      {kRuleLtp, "000001009512", "destination past the table"},
      {kRulePriority, "000001-01000", "negative destination"},
      {kRuleSwitch, "000001009003000000", "chosen destination past the table"},
      {kRuleSwitch, "000009002003000200", "unchosen destination past the table"},
      {kRuleSwitch, "000001002009000000", "control stream past the table"},
      {kRuleSwitch, "000001002003512000", "control channel past the buffer"},
      {kRuleSwitch2To1, "000001009003000000", "destination past the table"},
      {kRuleSwitch2To1, "000001002003999000", "control channel past the buffer"},
      {kRuleCompressor, "000001009000", "control stream past the table"},
      {kRuleCompressor, "000001002600", "control channel past the buffer"},
      {kRuleLedrunnerA, "009000000", "destination past the table"},
      {kRuleLedrunnerB, "001000009", "second source past the table"},
  };
  for (const auto& c : cases) {
    Rule* r = AddRule(c.kind, c.text);
    EXPECT_EQ(r->kind, c.kind) << c.why;
    r->Process(1);
    for (uint32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(Bytes(S(i), 0, kDmxChannels), std::vector<uint8_t>(kDmxChannels, 1)) << c.why;
      EXPECT_EQ(S(i)->writeCount, 0u) << c.why;
    }
  }
}

TEST_F(RulesTest, DisabledRuleDoesNothing) {
  AddStreams(2);
  Rule* r = AddRule(kRuleCopy, "000512001000010\n");
  ASSERT_EQ(r->kind, static_cast<uint32_t>(kRuleDisabled));
  Feed(S(0), {9});
  r->Process(1);
  EXPECT_EQ(S(1)->writeCount, 0u);
}

// Earlier rules feed later ones in the same pass; a later rule feeds an
// earlier one only through the next forced pass, as the flag is gone by then.
TEST_F(RulesTest, ChainOrderDecidesWhenAChangeArrives) {
  AddStreams(8);
  AddRule(kRuleForward, "005,006");
  AddRule(kRuleForward, "006,007");
  Feed(S(5), {42});
  RunRules(0);
  EXPECT_EQ(S(7)->data[0], 42);

  ClearRuleTable();
  EndPass();
  AddRule(kRuleForward, "006,007");
  AddRule(kRuleForward, "005,006");
  Feed(S(5), {43});
  RunRules(0);
  EXPECT_EQ(S(6)->data[0], 43);
  EXPECT_EQ(S(7)->data[0], 42);
  EndPass();
  RunRules(0);
  EXPECT_EQ(S(7)->data[0], 42);
  RunRules(1);
  EXPECT_EQ(S(7)->data[0], 43);
}
