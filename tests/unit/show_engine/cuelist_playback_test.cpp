#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file_text.h"
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
        EXPECT_EQ(int{frame[e.channel]}, e.value)
            << c.name << ", frame " << f << ", channel " << e.channel;
      }
    });
    EXPECT_EQ(checked, c.expects.size()) << c.name << " ends before its last expected frame";
  }
}

// examples/show/show.txt as docs/files.md and the example's README tell it:
// the two entries of list 0 (each 1.5 s long) take turns raising channels 1
// and 2 to 255 over 500 ms, the other one at 0; channel 3 is in both, so at
// every entry it fades again from its default, 0, to 64 over 500 ms and
// holds there. An entry that starts in the frame in which the last entry's
// fades end adds its first steps to their values in that frame: the channel
// being left still reads 255, and channel 3 64 and its first step.
TEST_F(CuelistPlayback, ShowExampleTakesTurnsAndFadesChannel3AgainAtEveryEntry) {
  engine.LoadShow(ShowExampleText());
  ASSERT_EQ(engine.show.cuelists.size(), 2u);
  engine.GoCuelist(0, 0, 65535);
  const DmxEngineLayer& list = *engine.cuelistLayers.at(0);
  std::vector<int> starts;
  int32_t entry = -1;
  size_t overlaps = 0;
  for (int f = 0; f < 400; ++f) {
    engine.CalculateFrame();
    if (list.currentEntry != entry) starts.push_back(f);
    entry = list.currentEntry;
    ASSERT_TRUE(entry == 0 || entry == 1) << "frame " << f;
    const int elapsed = 41 * (f - starts.back() + 1);
    const auto fade = [elapsed](int to) { return elapsed < 500 ? to * elapsed / 500 : to; };
    // The last fades' 37th frame of 41 ms passes their 1500 ms.
    const bool overlap =
        elapsed == 41 && starts.size() > 1 && f - starts[starts.size() - 2] == 36;
    if (overlap) ++overlaps;
    const int rising = entry;  // entry 0 raises channel 1, entry 1 channel 2
    EXPECT_EQ(int{engine.outputFrame[rising]}, fade(255)) << "frame " << f;
    EXPECT_EQ(int{engine.outputFrame[1 - rising]}, overlap ? 255 : 0) << "frame " << f;
    EXPECT_EQ(int{engine.outputFrame[2]}, fade(64) + (overlap ? 64 : 0)) << "frame " << f;
  }
  EXPECT_EQ(starts.size(), 11u);  // 1.5 s is 36 or 37 frames
  EXPECT_GT(overlaps, 0u);
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
  for (int i = 0; i < 30; ++i) engine.CalculateFrame();
  // Channel 2 has type 9, for which the entry has no timing: set at once.
  EXPECT_EQ(engine.outputFrame[2], 60);
  EXPECT_EQ(engine.cuelistLayers.at(0)->countdown, 2147483647 - 30 * 41);
  // The 4000000000 ms fade-in is a very long fade, not an instant one.
  ASSERT_TRUE(cue.levelFade);
  EXPECT_EQ(cue.levelFade->time, 2147483647);
}

}  // namespace
