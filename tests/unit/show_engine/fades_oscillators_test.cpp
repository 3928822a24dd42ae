#include <gtest/gtest.h>

#include <limits>

#include "show_engine/engine_fixture.h"

namespace {

using Fades = EngineTest;
using Oscillators = EngineTest;

int CoarseAt(ChannelFade fade, int32_t elapsed) {
  fade.elapsed = elapsed;
  return fade.GetValue() >> 8;
}

TEST_F(Fades, LevelFadeAdvancesByTheFrameStep) {
  LevelFade fade(0, 65535, 1000, 0);
  fade.Advance();
  EXPECT_EQ(fade.elapsed, 41);
  EXPECT_EQ(fade.GetValue(), 2686);
  fade.elapsed = 1000;
  EXPECT_EQ(fade.GetValue(), 65535);
  EXPECT_TRUE(fade.IsComplete());
  EXPECT_EQ(LevelFade(3, 9, 0, 0).GetValue(), 9);
  LevelFade delayed(100, 200, 1000, 500);
  delayed.elapsed = 400;
  EXPECT_EQ(delayed.GetValue(), 100);
  // Times near the i32 limit: no wrapped product, no wrapped delay + time.
  LevelFade longFade(0, 65535, std::numeric_limits<int32_t>::max(),
                     std::numeric_limits<int32_t>::max());
  longFade.elapsed = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(longFade.GetValue(), 0);
  EXPECT_FALSE(longFade.IsComplete());
  LevelFade half(0, 65535, 2000000000, 0);
  half.elapsed = 1000000000;
  EXPECT_EQ(half.GetValue(), 32767);
}

TEST_F(Fades, ChannelFadeRiseHoldFall) {
  const ChannelFade fade(0, 0, 255, 1000, 500, 1000, false);
  const int expected[][2] = {{500, 127},  {1000, 255}, {1500, 255},
                             {2000, 127}, {2500, 0},   {4000, 0}};
  for (const auto& row : expected) EXPECT_EQ(CoarseAt(fade, row[0]), row[1]) << row[0];
  const ChannelFade forever(0, 0, 255, 1000, 500, -1, false);
  EXPECT_EQ(forever.fall, 0);
  EXPECT_EQ(forever.forever, 1);
  EXPECT_EQ(CoarseAt(forever, 3000), 255);
  const ChannelFade minute(0, 0, 255, 60000, 0, 0, false);
  EXPECT_EQ(CoarseAt(minute, 30000), 127);
  EXPECT_EQ(CoarseAt(minute, 45000), 191);
  // rise + hold + fall beyond 32 bits neither wraps nor ends early.
  ChannelFade huge(0, 0, 255, 2000000000, 2000000000, 2000000000, false);
  EXPECT_EQ(CoarseAt(huge, 1000000000), 127);
  huge.elapsed = std::numeric_limits<int32_t>::max();
  EXPECT_FALSE(huge.IsFinished());
  EXPECT_EQ(huge.GetValue(), 65280);
  huge.Advance();
  EXPECT_EQ(huge.elapsed, std::numeric_limits<int32_t>::max());
}

TEST_F(Fades, ReleaseAndPause) {
  ChannelFade fade(0, 0, 255, 1000, 0, 1000, false);
  fade.elapsed = 500;
  EXPECT_EQ(fade.Release(), 500);
  EXPECT_EQ(fade.to, 32640);
  EXPECT_EQ(fade.elapsed, 1000);
  EXPECT_EQ(CoarseAt(fade, 1500), 63);
  EXPECT_EQ(fade.Release(), 0);  // elapsed 1000 is not yet falling
  fade.elapsed = 1200;
  EXPECT_EQ(fade.Release(), 0);

  DmxEngineLayer layer(&engine);
  layer.AddChannelFade(1, 255, 100, 100, 1000);
  layer.AddChannelFade(2, 255, 100, 100, 1000);
  layer.channelFades[0]->elapsed = 400;  // 200 ms into its fall
  layer.channelFades[1]->elapsed = 500;  // 300 ms into its fall
  layer.SetFadesPaused(true, false);
  EXPECT_EQ(layer.channelFades[0]->paused, 1);
  EXPECT_EQ(layer.channelFades[1]->paused, 0);
  layer.SetFadesPaused(true, true);
  EXPECT_EQ(layer.channelFades[1]->paused, 1);
  layer.SetFadesPaused(false, true);
  EXPECT_EQ(layer.channelFades[0]->paused + layer.channelFades[1]->paused, 0);
}

TEST_F(Fades, SetLevelSettlesARunningFade) {
  DmxEngineLayer layer(&engine);
  layer.level = 0;
  layer.SetLevel(65535, 1000);
  ASSERT_TRUE(layer.levelFade);
  layer.levelFade->elapsed = 500;
  layer.FadeOut(2000);
  EXPECT_EQ(layer.level, 32767);
  EXPECT_EQ(layer.levelFade->from, 32767);
  EXPECT_EQ(layer.levelFade->to, 0);
  layer.levelFade.reset();
  layer.level = 0;
  layer.SetLevel(0, 100);
  EXPECT_FALSE(layer.levelFade);
}

TEST_F(Oscillators, WaveTables) {
  const int16_t* sine = WaveTables[kWaveSine];
  EXPECT_EQ(sine[0], 0);
  EXPECT_EQ(sine[500], 32766);
  EXPECT_EQ(sine[1000], -51);
  EXPECT_EQ(sine[1500], -32766);
  EXPECT_EQ(sine[1999], 0);
  for (int i = 1000; i < 1999; ++i) ASSERT_LT(sine[i], 0) << i;
  EXPECT_EQ(WaveTables[kWaveSquare][999], 32767);
  EXPECT_EQ(WaveTables[kWaveSquare][1000], -32767);
  const int16_t* triangle = WaveTables[kWaveTriangle];
  EXPECT_EQ(triangle[500], 32767);
  EXPECT_EQ(triangle[1000], 0);
  EXPECT_EQ(triangle[1500], -32767);
  EXPECT_EQ(triangle[1999], -65);
  EXPECT_EQ(WaveTables[kWaveRampUp][999], 32734);
  EXPECT_EQ(WaveTables[kWaveRampUp][1000], -32767);
  EXPECT_EQ(WaveTables[kWaveRampUp][1999], -32);
  EXPECT_EQ(WaveTables[kWaveRampDown][1000], 32767);
}

TEST_F(Oscillators, SamplesAtKnownPositions) {
  struct Case {
    int32_t waveform;
    int32_t position;
    uint32_t amplitude;
    int16_t expected;
  };
  const Case cases[] = {
      {kWaveSine, 500000, 1000, 32766},     {kWaveSine, 1500999, 500, -16383},
      {kWaveSquare, 999999, 1000, 32767},   {kWaveSquare, 1000000, 1000, -32767},
      {kWaveSquare, 1000000, 500, -16383},  {kWaveTriangle, 1999000, 1000, -65},
      {kWaveRampUp, 999000, 1000, 32734},   {kWaveRampDown, 1000000, 1000, 32767},
      {9, 1000000, 1000, 32767},            {kWaveSine, 500000, 0, 0},
      {kWaveSine, 500000, 65535, 32767},    {kWaveSine, 1500000, 65535, -32768},
  };
  for (const Case& c : cases) {
    Oscillator oscillator(c.waveform);
    oscillator.position = c.position;
    oscillator.amplitude = c.amplitude;
    EXPECT_EQ(oscillator.Sample(), c.expected) << c.waveform << "@" << c.position;
  }
}

TEST_F(Oscillators, StepPhaseAndWidth) {
  Oscillator oscillator(kWaveSine);
  EXPECT_EQ(oscillator.step, 83333u);
  EXPECT_EQ(oscillator.threshold, 1000);
  oscillator.SetPeriod(100);
  EXPECT_EQ(oscillator.step, 833333u);
  oscillator.SetPeriod(50);
  EXPECT_EQ(oscillator.step, 1666666u);
  oscillator.SetPeriod(0);
  EXPECT_EQ(oscillator.period, 50u);

  engine.SetSpeed(500);
  EXPECT_EQ(PlaybackSpeed.load(), 1000);
  EXPECT_EQ(OscillatorStepFor(1000), 8333u);
  engine.SetSpeed(50000);
  EXPECT_EQ(PlaybackSpeed.load(), 40000);
  EXPECT_EQ(OscillatorStepFor(1000), 333332u);
  EXPECT_EQ(OscillatorStepFor(100), 3333332u);
  EXPECT_EQ(FrameStep(), 166);

  oscillator.SetWidth(0);
  EXPECT_EQ(oscillator.threshold, 20);
  oscillator.SetWidth(150);
  EXPECT_EQ(oscillator.threshold, 1980);

  Oscillator phased(kWaveSine);
  phased.SetPhase(16384);
  EXPECT_EQ(phased.position, 500000);
  phased.SetPhase(49152);
  EXPECT_EQ(phased.position, 1500000);
  phased.SetPhase(16384);
  EXPECT_EQ(phased.position, 500000);
  phased.SetPhase(49152);
  phased.position = 200000;
  phased.SetPhase(16384);  // -1000000 wraps round the cycle
  EXPECT_EQ(phased.position, 1200000);
  // Phases outside one cycle from a file stay in range on any move.
  phased.SetPhase(-2000000000);
  EXPECT_GE(phased.position, 0);
  EXPECT_LT(phased.position, kOscillatorCycle);
  phased.phase = -1;
  phased.ResetPhase();
  EXPECT_EQ(phased.position, 0);
  phased.phase = -70000;
  phased.ResetPhase();
  EXPECT_EQ(phased.position, 2000000 - 2136000 % 2000000);
  phased.step = 4000000000u;
  phased.Advance();
  EXPECT_GE(phased.position, 0);
  EXPECT_LT(phased.position, kOscillatorCycle);
}

TEST_F(Oscillators, OffsetsDriveCoarseAndFineChannels) {
  DmxEngineLayer layer(&engine);
  layer.inactive = 0;
  Oscillator* oscillator = layer.AddOscillator(0, 5, 6, kWaveSquare, 0, 0, 1000, 50);
  ASSERT_NE(oscillator, nullptr);
  EXPECT_EQ(oscillator->fineChannel, 6);
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
