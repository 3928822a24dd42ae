#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "show_engine/engine_fixture.h"
#include "show_engine/show_scripts.h"

namespace {

using Fades = EngineTest;
using Oscillators = EngineTest;

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Normal rises, holds and falls are checked frame by frame in playback; here
// the edges and times near the i32 limit.
TEST_F(Fades, EdgesAndLongTimes) {
  LevelFade longFade(0, 65535, kMax, kMax);
  longFade.elapsed = kMax;
  EXPECT_EQ(longFade.GetValue(), 0);  // delay + time does not wrap
  EXPECT_FALSE(longFade.IsComplete());
  LevelFade half(0, 65535, 2000000000, 0);
  half.elapsed = 1000000000;
  EXPECT_EQ(half.GetValue(), 32767);  // nor does the product

  FadeTiming huge(2000000000, 2000000000, 2000000000);
  huge.elapsed = 1000000000;
  EXPECT_EQ(huge.ValueOf(0, 255 << 8) >> 8, 127);
  huge.elapsed = kMax;  // rise + hold + fall beyond 32 bits: still holding
  EXPECT_EQ(huge.ValueOf(0, 255 << 8) >> 8, 255);
  EXPECT_FALSE(huge.IsFinished());
  huge.Advance(41);
  EXPECT_EQ(huge.elapsed, kMax);
}

// Many fades of one timing are worked out together with one division per
// frame; every value must be the one a single fade's own arithmetic gives,
// for short and long times (the shortcut changes above 65536 ms) and for
// rising, falling and paired fades.
TEST_F(Fades, SharedProgressGivesEachFadesOwnValue) {
  struct Row {
    int32_t rise, hold, fall, step;
  };
  const Row rows[] = {
      {1000, 500, 1000, 41},         {3, 0, 7, 1},
      {65535, 0, 65535, 4099},       {65536, 1, 65536, 4099},
      {65537, 0, 65537, 4099},       {2147483647, 0, 0, 97612893},
      {700000, 100, 1900000, 29333}, {100, 0, -1, 9},
  };
  show_scripts::Dice dice(7);
  for (const Row& r : rows) {
    ChannelFadeSet set;
    uint16_t from[200], to[200];
    for (uint16_t i = 0; i < 200; ++i) {
      from[i] = static_cast<uint16_t>(i < 4 ? 65535 * (i & 1) : dice.In(0, 65535));
      to[i] = static_cast<uint16_t>(i < 4 ? 65535 * (~i & 1) : dice.In(0, 65535));
      // Channels 0..99 on their own, 100..199 as coarse of a pair with
      // 300..399 as the fine channel.
      const uint16_t fine = i < 100 ? kNoFineChannel : static_cast<uint16_t>(i + 200);
      set.Stage(i, fine, from[i], to[i], 0, r.rise, r.hold, r.fall);
    }
    set.Commit();
    FadeTiming timing(r.rise, r.hold, r.fall);
    uint8_t values[512] = {};
    for (int frame = 0; frame < 600 && !set.empty(); ++frame) {
      set.Update(values, r.step);
      timing.Advance(r.step);
      for (uint16_t i = 0; i < 200; ++i) {
        const int32_t expected = timing.ValueOf(from[i], to[i]);
        ASSERT_EQ(values[i], expected >> 8) << r.rise << " at " << timing.elapsed << " fade " << i;
        if (i >= 100) {
          ASSERT_EQ(values[i + 200], expected & 0xFF) << r.rise << " fine " << i;
        }
      }
    }
  }
}

// The first fade of a frame on a channel sets it; later ones add their
// movement from their own start, limited to a byte, in creation order, also
// within one cue application.
TEST_F(Fades, LaterFadesOnAChannelAddTheirMovement) {
  struct Fade {
    uint8_t from, to;
    bool sameApplication;  // staged with the fade before it
  };
  struct Row {
    const char* why;
    std::vector<Fade> fades;
    uint8_t expected;
  };
  const Row rows[] = {
      {"one fade", {{0, 100, false}}, 100},
      {"second from 20 to 50", {{0, 100, false}, {20, 50, false}}, 130},
      {"limited above", {{0, 250, false}, {0, 90, false}}, 255},
      {"limited below", {{0, 10, false}, {200, 0, false}}, 0},
      {"order kept in one application", {{0, 250, false}, {0, 90, true}, {90, 0, true}}, 165},
      {"in order, not by size", {{0, 10, false}, {200, 0, true}, {0, 100, true}}, 100},
  };
  for (const Row& r : rows) {
    ChannelFadeSet set;
    for (const Fade& fade : r.fades) {
      if (!fade.sameApplication) set.Commit();
      set.Stage(5, kNoFineChannel, static_cast<uint16_t>(fade.from << 8),
                static_cast<uint16_t>(fade.to << 8), 0, 0, 1000, 0);
    }
    set.Commit();
    uint8_t values[512] = {};
    set.Update(values, 41);
    EXPECT_EQ(values[5], r.expected) << r.why;
  }
}

TEST_F(Oscillators, SamplesAtKnownPositions) {
  struct Row {
    int32_t waveform, position;
    uint32_t amplitude;
    int16_t expected;
  };
  const Row rows[] = {
      {kWaveSine, 500000, 1000, 32766},      {kWaveSine, 1500000, 1000, -32766},
      {kWaveSquare, 999999, 1000, 32767},    {kWaveSquare, 1000000, 500, -16383},
      {kWaveTriangle, 500000, 1000, 32767},  {kWaveTriangle, 1500000, 1000, -32767},
      {kWaveRampUp, 999000, 1000, 32734},    {kWaveRampUp, 1000000, 1000, -32767},
      {kWaveRampDown, 1000000, 1000, 32767}, {9, 1000000, 1000, 32767},  // unknown: ramp down
      {kWaveSine, 500000, 65535, 32767},    // above full swing: clipped,
      {kWaveSine, 1500000, 65535, -32768},  // not wrapped to the other sign
  };
  for (const Row& r : rows) {
    Oscillator oscillator(r.waveform);
    oscillator.position = r.position;
    oscillator.amplitude = r.amplitude;
    EXPECT_EQ(oscillator.Sample(), r.expected) << r.waveform << "@" << r.position;
  }
}

TEST_F(Oscillators, StepPhaseAndWidthStayInRange) {
  Oscillator oscillator(kWaveSine);
  oscillator.SetPeriod(100);
  oscillator.SetPeriod(0);  // ignored, not a division by zero
  EXPECT_EQ(oscillator.period, 100u);
  oscillator.SetWidth(0);
  EXPECT_EQ(oscillator.threshold, 20);
  oscillator.SetWidth(150);
  EXPECT_EQ(oscillator.threshold, 1980);

  engine.SetSpeed(500);
  EXPECT_EQ(PlaybackSpeed.load(), 1000);
  engine.SetSpeed(50000);
  EXPECT_EQ(PlaybackSpeed.load(), 40000);
  EXPECT_EQ(OscillatorStepFor(100), 3333332u);  // the product needs more than 32 bits

  Oscillator phased(kWaveSine);
  // Phases and steps from a file: the table index stays in range.
  phased.SetPhase(-2000000000);
  EXPECT_TRUE(phased.position >= 0 && phased.position < kOscillatorCycle) << phased.position;
  phased.step = 4000000000u;
  phased.Advance();
  EXPECT_TRUE(phased.position >= 0 && phased.position < kOscillatorCycle) << phased.position;
}

}  // namespace
