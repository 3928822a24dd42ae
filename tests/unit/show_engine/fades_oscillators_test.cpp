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

TEST_F(Oscillators, SamplesAtKnownPositions) {
  struct Row {
    int32_t waveform, position;
    uint32_t amplitude;
    int16_t expected;
  };
  const Row rows[] = {
      {kWaveSine, 500000, 1000, 32766},     {kWaveSine, 1500000, 1000, -32766},
      {kWaveSquare, 999999, 1000, 32767},   {kWaveSquare, 1000000, 500, -16383},
      {kWaveTriangle, 500000, 1000, 32767}, {kWaveTriangle, 1500000, 1000, -32767},
      {kWaveRampUp, 999000, 1000, 32734},   {kWaveRampUp, 1000000, 1000, -32767},
      {kWaveRampDown, 1000000, 1000, 32767},
      {9, 1000000, 1000, 32767},            // unknown: ramp down
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
