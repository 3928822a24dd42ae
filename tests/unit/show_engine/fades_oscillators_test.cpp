#include <gtest/gtest.h>

#include <limits>

#include "show_engine/engine_fixture.h"

namespace {

using Fades = EngineTest;
using Oscillators = EngineTest;

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Normal rises, holds and falls are checked frame by frame in playback; here
// the edges and times near the i32 limit.
TEST_F(Fades, EdgesAndLongTimes) {
  EXPECT_EQ(LevelFade(3, 9, 0, 0).GetValue(), 9);  // no time: at once
  LevelFade longFade(0, 65535, kMax, kMax);
  longFade.elapsed = kMax;
  EXPECT_EQ(longFade.GetValue(), 0);  // delay + time does not wrap
  EXPECT_FALSE(longFade.IsComplete());
  LevelFade half(0, 65535, 2000000000, 0);
  half.elapsed = 1000000000;
  EXPECT_EQ(half.GetValue(), 32767);  // nor does the product

  struct Row {
    int32_t rise, hold, fall, elapsed, coarse;
  };
  const Row rows[] = {
      {1000, 500, 1000, 1500, 255}, {1000, 500, 1000, 2000, 127}, {1000, 500, 1000, 2500, 0},
      {2000000000, 2000000000, 2000000000, 1000000000, 127},
      {2000000000, 2000000000, 2000000000, kMax, 255},  // rise + hold + fall beyond 32 bits
  };
  for (const Row& r : rows) {
    ChannelFade fade(0, 0, 255, r.rise, r.hold, r.fall, false);
    fade.elapsed = r.elapsed;
    EXPECT_EQ(fade.GetValue() >> 8, r.coarse) << r.rise << " @" << r.elapsed;
  }
  ChannelFade huge(0, 0, 255, 2000000000, 2000000000, 2000000000, false);
  huge.elapsed = kMax;
  EXPECT_FALSE(huge.IsFinished());
  huge.Advance();
  EXPECT_EQ(huge.elapsed, kMax);
}

TEST_F(Fades, ReleaseAndPause) {
  ChannelFade fade(0, 0, 255, 1000, 0, 1000, false);
  fade.elapsed = 1200;  // already falling: a release leaves it alone
  EXPECT_EQ(fade.Release(), 0);
  EXPECT_EQ(fade.GetValue() >> 8, 204);

  DmxEngineLayer layer(&engine);
  layer.AddChannelFade(1, 255, 100, 100, 1000);
  layer.AddChannelFade(2, 255, 100, 100, 1000);
  layer.channelFades[0]->elapsed = 400;  // 200 ms into its fall
  layer.channelFades[1]->elapsed = 500;  // 300 ms into its fall: spared
  layer.SetFadesPaused(true, false);
  EXPECT_EQ(layer.channelFades[0]->paused, 1);
  EXPECT_EQ(layer.channelFades[1]->paused, 0);
  layer.SetFadesPaused(true, true);
  EXPECT_EQ(layer.channelFades[1]->paused, 1);
}

TEST_F(Oscillators, SamplesAtKnownPositions) {
  struct Row {
    int32_t waveform, position;
    uint32_t amplitude;
    int16_t expected;
  };
  const Row rows[] = {
      {kWaveSine, 0, 1000, 0},              {kWaveSine, 500000, 1000, 32766},
      {kWaveSine, 1000000, 1000, -51},      // single-precision angle, as shows were made
      {kWaveSine, 1500000, 1000, -32766},   {kWaveSine, 1999000, 1000, 0},
      {kWaveSine, 1500999, 500, -16383},
      {kWaveSquare, 999999, 1000, 32767},  {kWaveSquare, 1000000, 1000, -32767},
      {kWaveSquare, 1000000, 500, -16383}, {kWaveTriangle, 500000, 1000, 32767},
      {kWaveTriangle, 1000000, 1000, 0},   {kWaveTriangle, 1500000, 1000, -32767},
      {kWaveTriangle, 1999000, 1000, -65}, {kWaveRampUp, 999000, 1000, 32734},
      {kWaveRampUp, 1000000, 1000, -32767}, {kWaveRampUp, 1999000, 1000, -32},
      {kWaveRampDown, 1000000, 1000, 32767},
      {9, 1000000, 1000, 32767},            // unknown: ramp down
      {kWaveSine, 500000, 0, 0},            // no amplitude
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
  EXPECT_EQ(FrameStep(), 166);

  Oscillator phased(kWaveSine);
  phased.SetPhase(49152);
  EXPECT_EQ(phased.position, 1500000);
  phased.position = 200000;
  phased.SetPhase(16384);  // -1000000 wraps round the cycle
  EXPECT_EQ(phased.position, 1200000);
  phased.phase = -70000;
  phased.ResetPhase();
  EXPECT_EQ(phased.position, 2000000 - 2136000 % 2000000);
  // Phases and steps from a file: the table index stays in range.
  phased.SetPhase(-2000000000);
  EXPECT_TRUE(phased.position >= 0 && phased.position < kOscillatorCycle) << phased.position;
  phased.step = 4000000000u;
  phased.Advance();
  EXPECT_TRUE(phased.position >= 0 && phased.position < kOscillatorCycle) << phased.position;
}

TEST_F(Oscillators, OffsetsDriveCoarseAndFineChannels) {
  DmxEngineLayer layer(&engine);
  layer.inactive = 0;
  Oscillator* oscillator = layer.AddOscillator(0, 5, 6, kWaveSquare, 0, 0, 1000, 50);
  ASSERT_NE(oscillator, nullptr);
  layer.values[6] = 99;
  layer.Update();  // position 83333: high
  EXPECT_EQ(layer.offsets[5], 127);
  EXPECT_EQ(layer.offsets[6], 255);
  EXPECT_EQ(layer.values[6], 0);
  EXPECT_EQ(layer.channelList, (std::vector<uint16_t>{5, 6}));
  oscillator->position = 1000000;
  layer.Update();
  EXPECT_EQ(layer.offsets[5], -128);
  EXPECT_EQ(layer.offsets[6], 1);
  EXPECT_EQ(layer.AddOscillator(1, 0, kWaveSine, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(layer.AddOscillator(0, 600, kWaveSine, 0, 0, 0, 0), nullptr);
}

}  // namespace
