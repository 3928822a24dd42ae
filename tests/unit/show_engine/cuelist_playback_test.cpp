#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_engine/engine_fixture.h"

namespace {

using CuelistPlayback = EngineTest;

// Channel 0 (type 0) rises to 255 over 1000 ms and stays: a one-entry loop.
TEST_F(CuelistPlayback, OneListFadeAndItsLoop) {
  Load("Cues 0", "Cuelists 1 Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 -1 0");
  ASSERT_EQ(engine.GoCuelist(0, 0, 65535), 1);
  const std::vector<int> frames = EachFrame(50, 0);
  EXPECT_EQ(frames[0], 10);    // 65280 x 41 / 1000
  EXPECT_EQ(frames[23], 250);  // 984 ms; countdown 16 left
  EXPECT_EQ(frames[24], 255);  // countdown -25, fade done
  EXPECT_EQ(frames[25], 10);   // step at 0 again; the 25 ms excess is carried
  EXPECT_EQ(frames[48], 250);  // second loop one frame shorter: steps next frame
  // The new fade meets the old one, finished but still in the list this
  // frame: 255 + 10 - 0, limited to 255.
  EXPECT_EQ(frames[49], 255);
  EXPECT_EQ(Frames(1, 0), 20);
}

TEST_F(CuelistPlayback, IntensityUnderLevelAndGrandMaster) {
  Load("Cues 0",
       "Cuelists 1 Cues 1 Cue 0 Vals 1 1 200 Oscs 0 Timing 3 "
       "0 0 0 -1 0  0 0 0 -1 0  0 0 0 -1 1000",
       "DefVals 0 ChTypes 2 0 2 ChSubtypes 0");
  engine.GoCuelist(0, 0, 32768);
  EXPECT_EQ(Frames(1, 1), 100);
  engine.SetGrandMaster(128);
  EXPECT_EQ(Frames(1, 1), 50);
  EXPECT_EQ(engine.SetCuelistLevel(0, 65535), 1);
  EXPECT_EQ(Frames(1, 1), 100);
}

// One entry of 10 s that jumps to its values, for channel types 0..2.
std::string HoldingList(const std::string& values) {
  return "Cues 1 Cue 0 Vals " + values +
         " Oscs 0 Timing 3 0 0 0 -1 10000 0 0 0 -1 10000 0 0 0 -1 10000 ";
}

TEST_F(CuelistPlayback, HtpAgainstLtpWithTwoLists) {
  Load("Cues 0", "Cuelists 2 " + HoldingList("2 0 100 1 100") + HoldingList("2 0 200 1 200"),
       "DefVals 0 ChTypes 1 2 ChSubtypes 0");
  engine.GoCuelist(0, 0, 65535);
  engine.GoCuelist(1, 0, 65535);
  // List 0's first step moves it above list 1, which then misses the first
  // frame; its own step in the second frame puts it back on top.
  EXPECT_EQ(Frames(1, 1), 100);
  Frames(1, 0);
  EXPECT_EQ(Output(0, 2), (std::vector<int>{200, 200}));
  engine.GoCuelist(0, 0, 65535);  // running: only moved to the top
  Frames(1, 0);
  EXPECT_EQ(Output(0, 2), (std::vector<int>{200, 100}));  // intensity HTP, the rest LTP
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

// Channels 10/11 are a type-1 coarse/fine pair; 12 is a coarse without partner.
TEST_F(CuelistPlayback, SixteenBitPairs) {
  Load("Cues 0",
       "Cuelists 1 Cues 1 Cue 0 Vals 3 10 18 11 52 12 200 Oscs 0 "
       "Timing 2 0 0 0 -1 0 0 0 1000 -1 0",
       "DefVals 0 ChTypes 13 0 0 0 0 0 0 0 0 0 0 1 1 1 ChSubtypes 13 0 0 0 0 0 0 0 0 0 0 1 3 1");
  engine.GoCuelist(0, 0, 65535);
  // 4660 x 41 / 1000 = 191; 51200 x 41 / 1000 = 2099 = 8 x 256 + 51
  Frames(1, 0);
  EXPECT_EQ(Output(10, 3), (std::vector<int>{0, 191, 8}));
  Frames(11, 0);
  EXPECT_EQ(Output(10, 3), (std::vector<int>{8, 244, 98}));  // 2292 = 8 x 256 + 244
  Frames(13, 0);
  EXPECT_EQ(Output(10, 3), (std::vector<int>{18, 52, 200}));
}

TEST_F(CuelistPlayback, CueFadeInAndReleaseCutShort) {
  Load("Cues 1 Cue 1000 500 Vals 1 0 255 Oscs 0", "Cuelists 0",
       "DefVals 0 ChTypes 1 2 ChSubtypes 0");
  EXPECT_EQ(Frames(1, 0), 0);  // loaded, not yet gone
  ASSERT_EQ(engine.GoCue(0, 0, 65535), 1);
  EXPECT_EQ(Frames(1, 0), 10);  // level 2686
  EXPECT_EQ(Frames(11, 0), 125);  // level 32243
  ASSERT_EQ(engine.ReleaseCue(0, 0, 0), 1);  // cut short: 32243 falls over 500 ms, not 65535
  EXPECT_EQ(Frames(1, 0), 115);
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
  Load("Cues 1 Cue 4000000000 0 Vals 2 600 9 1 50 Oscs 2 700 800 0 0 -99999 1000 50 1 900 0 0 "
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
