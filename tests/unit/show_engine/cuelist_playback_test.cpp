#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_engine/engine_fixture.h"
#include "show_engine/show_scripts.h"

namespace {

using CuelistPlayback = EngineTest;

// The cases of playback_cases.txt: each channel value it states, in the frame
// it names.
TEST_F(CuelistPlayback, CasesFrameByFrame) {
  const std::vector<show_scripts::Script> cases = show_scripts::ReadScripts(
      std::string(CORVANTA_TEST_DATA) + "/show_engine/playback_cases.txt");
  ASSERT_FALSE(cases.empty());
  for (const show_scripts::Script& c : cases) {
    size_t checked = 0;
    show_scripts::Play(c, [&](int f, const uint8_t* frame) {
      for (const show_scripts::Expect& e : c.expects) {
        if (e.frame != f) continue;
        ++checked;
        EXPECT_EQ(int{frame[e.channel]}, e.value) << c.name << ", frame " << f << ", channel " << e.channel;
      }
    });
    EXPECT_EQ(checked, c.expects.size()) << c.name << " ends before its last expected frame";
  }
}

// Entries of 82 ms (two frames) that jump to their value and keep it; the
// list stops in its fifth frame, when the second entry's time is up.
const std::string kHaltEntries =
    "Cues 3 "
    "Cue 0 Vals 1 0 100 Oscs 0 Timing 1 0 0 0 -1 82 "
    "Cue 1 Vals 1 0 150 Oscs 0 Timing 1 0 0 0 -1 82 "
    "Cue 0 Vals 1 0 222 Oscs 0 Timing 1 0 0 0 -1 82 ";
const std::string kHaltList = "Cuelists 1 " + kHaltEntries;

TEST_F(CuelistPlayback, HaltEndsTheListAndGoStartsAgain) {
  Load("Cues 0", kHaltList, "DefVals 1 7 ChTypes 0 ChSubtypes 0");
  engine.GoCuelist(0, 0, 65535);
  DmxEngineLayer& layer = *engine.cuelistLayers.at(0);
  EXPECT_EQ(EachFrame(8, 0), (std::vector<int>{100, 100, 150, 150, 7, 7, 7, 7}));
  EXPECT_EQ(layer.state, kLayerStopped);
  EXPECT_EQ(layer.inactive, 0);  // a stopped list still drives its start values
  engine.GoCuelist(0, 0, 65535);
  EXPECT_EQ(Frames(1, 0), 100);
  // A list edited shorter under its position stops instead of reading past it.
  layer.currentEntry = 3;
  layer.countdown = 0;
  EXPECT_EQ(Frames(1, 0), 7);
  EXPECT_EQ(layer.state, kLayerStopped);
}

// List 0 stops in its fifth frame, which is computed again on the spot from
// inside itself: list 1's fade steps twice in it, 205 ms to 287 (73, not 62).
// Shows are timed on it.
TEST_F(CuelistPlayback, AListStoppingMidFrameAdvancesTheOtherListsOnceMore) {
  Load("Cues 0",
       "Cuelists 2 " + kHaltEntries + "Cues 1 Cue 0 Vals 1 1 255 Oscs 0 Timing 1 0 0 1000 -1 0",
       "DefVals 1 7 ChTypes 0 ChSubtypes 0");
  engine.GoCuelist(1, 0, 65535);
  EXPECT_EQ(Frames(1, 1), 10);
  engine.GoCuelist(0, 0, 65535);
  EXPECT_EQ(EachFrame(5, 1), (std::vector<int>{20, 31, 41, 52, 73}));
  EXPECT_EQ(engine.outputFrame[0], 7);  // list 0 stopped in that last frame
}

TEST_F(CuelistPlayback, PauseInMidFadeFallsBackThenStops) {
  Load("Cues 0", "Cuelists 1 Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 1000 1000");
  engine.GoCuelist(0, 0, 65535);
  EXPECT_EQ(Frames(12, 0), 125);
  ASSERT_EQ(engine.PauseCuelist(0, 0), 1);
  const DmxEngineLayer& layer = *engine.cuelistLayers.at(0);
  EXPECT_EQ(Frames(1, 0), 120);  // 32117 falling over 1000 ms
  EXPECT_EQ(Frames(23, 0), 2);   // 514 at 2984 ms
  EXPECT_EQ(layer.state, kLayerPaused);
  EXPECT_EQ(Frames(1, 0), 0);
  EXPECT_EQ(layer.state, kLayerStopped);
}

TEST_F(CuelistPlayback, SpeedChangesTheFrameStep) {
  Load("Cues 0",
       "Cuelists 1 Cues 1 Cue 0 Vals 1 0 255 Oscs 1 1 -1 0 1000 0 1000 50 "
       "Timing 1 0 0 1000 -1 0");
  engine.GoCuelist(0, 0, 65535);
  engine.SetSpeed(20000);
  EXPECT_EQ(Frames(1, 0), 21);  // 65280 x 83 / 1000
  engine.SetSpeed(1000);
  EXPECT_EQ(Frames(1, 0), 22);  // elapsed 87
  EXPECT_EQ(engine.cuelistLayers.at(0)->oscillators.Find(1)->step, 8333u);
}

// Data a show file may carry but the frame has no room for: kept in the
// records, never used as an index.
TEST_F(CuelistPlayback, OutOfRangeShowDataIsCarriedButNotApplied) {
  Load("Cues 1 Cue 4000000000 0 Vals 2 600 9 1 50 Oscs 2 700 800 0 0 -99999 1000 50 1 512 0 0 "
       "0 1000 50",
       "Cuelists 1 Cues 1 Cue 0 Vals 2 65535 1 2 60 Oscs 0 Timing 1 0 0 2147483647 -1 "
       "2147483647",
       "DefVals 0 ChTypes 3 0 0 9 ChSubtypes 0");
  const DmxEngineLayer& cue = *engine.cueLayers.at(0);
  EXPECT_EQ(cue.channelList, std::vector<uint16_t>{1});
  ASSERT_EQ(cue.oscillators.size(), 1u);
  EXPECT_EQ(cue.oscillators.Find(1)->fineChannel, -1);
  engine.GoCue(0, 0, 65535);
  engine.GoCuelist(0, 0, 65535);
  Frames(30, 0);
  // Channel 2 has type 9, for which the entry has no timing: set at once.
  EXPECT_EQ(engine.outputFrame[2], 60);
  EXPECT_EQ(engine.cuelistLayers.at(0)->countdown, 2147483647 - 30 * 41);
  // The 4000000000 ms fade-in is a very long fade, not an instant one.
  ASSERT_TRUE(cue.levelFade);
  EXPECT_EQ(cue.levelFade->time, 2147483647);
}

}  // namespace
