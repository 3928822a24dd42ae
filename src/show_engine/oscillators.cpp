#include "show_engine/oscillators.h"

#include <algorithm>
#include <cmath>

#include "show_engine/engine_globals.h"

int16_t WaveTables[5][kWaveSamples];

namespace {

// Phases and steps from a file can be anything; a true modulo keeps the
// table index in 0..1999 where repeated subtraction would leave it negative.
int32_t WrapPosition(int64_t position) {
  int64_t wrapped = position % kOscillatorCycle;
  if (wrapped < 0) wrapped += kOscillatorCycle;
  return static_cast<int32_t>(wrapped);
}

int64_t PhasePosition(int64_t phase) { return phase * 2000 / 65535 * 1000; }

}  // namespace

void BuildWaveTables() {
  int16_t* sine = WaveTables[kWaveSine];
  int16_t* square = WaveTables[kWaveSquare];
  int16_t* triangle = WaveTables[kWaveTriangle];
  int16_t* rampUp = WaveTables[kWaveRampUp];
  int16_t* rampDown = WaveTables[kWaveRampDown];
  for (int32_t i = 0; i < kWaveSamples; ++i) {
    // The angle is single precision on purpose: the samples shows were
    // made with come from it.
    const float x = static_cast<float>(i) * 6.2831855f / 1999.0f;
    sine[i] = static_cast<int16_t>(std::sin(static_cast<double>(x)) * 32767.0);
    square[i] = i < 1000 ? 32767 : -32767;
    if (i < 500) {
      triangle[i] = static_cast<int16_t>(32767 * i / 500);
    } else if (i < 1500) {
      triangle[i] = static_cast<int16_t>(32767 * (1000 - i) / 500);
    } else {
      triangle[i] = static_cast<int16_t>(32767 * (i - 2000) / 500);
    }
    rampUp[i] = static_cast<int16_t>(i < 1000 ? 32767 * i / 1000 : 32767 * (i - 2000) / 1000);
    rampDown[i] = static_cast<int16_t>(-rampUp[i]);
  }
}

uint32_t OscillatorStepFor(uint32_t period) {
  const auto base = static_cast<uint32_t>(2000000000.0 / (static_cast<double>(period) * 24.0));
  return static_cast<uint32_t>(int64_t{PlaybackSpeed.load(std::memory_order_relaxed)} * base /
                               10000);
}

Oscillator::Oscillator(int32_t initialWaveform) : step(OscillatorStepFor(1000)) {
  SetWaveform(initialWaveform);
}

void Oscillator::SetWaveform(int32_t newWaveform) {
  waveform = newWaveform;
  switch (waveform) {
    case kWaveSine:
    case kWaveSquare:
    case kWaveTriangle:
    case kWaveRampUp:
      waveTable = WaveTables[waveform];
      break;
    default:
      waveTable = WaveTables[kWaveRampDown];
      break;
  }
}

void Oscillator::SetPhase(int32_t newPhase) {
  if (newPhase == phase) return;
  position = WrapPosition(position + PhasePosition(int64_t{newPhase} - phase));
  phase = newPhase;
}

void Oscillator::ResetPhase() { position = WrapPosition(PhasePosition(phase)); }

void Oscillator::SetPeriod(uint32_t newPeriod) {
  if (newPeriod == 0) return;
  period = newPeriod;
  step = OscillatorStepFor(newPeriod);
}

void Oscillator::SetWidth(uint32_t newWidth) {
  const auto w = static_cast<uint16_t>(newWidth > 99 ? 99 : newWidth == 0 ? 1 : newWidth);
  if (w == width) return;
  width = w;
  threshold = w * 20;
}

void Oscillator::WrapAdvance(int64_t next) { position = WrapPosition(next); }

std::vector<OscillatorMap::Entry>::iterator OscillatorMap::LowerBound(int32_t channel) {
  return std::lower_bound(entries_.begin(), entries_.end(), channel,
                          [](const Entry& entry, int32_t key) { return entry.first < key; });
}

Oscillator* OscillatorMap::Find(int32_t channel) {
  const auto found = LowerBound(channel);
  return found != entries_.end() && found->first == channel ? &found->second : nullptr;
}

const Oscillator* OscillatorMap::Find(int32_t channel) const {
  return const_cast<OscillatorMap*>(this)->Find(channel);
}

Oscillator& OscillatorMap::FindOrAdd(int32_t channel, int32_t waveform) {
  const auto found = LowerBound(channel);
  if (found != entries_.end() && found->first == channel) return found->second;
  return entries_.insert(found, Entry(channel, Oscillator(waveform)))->second;
}

Oscillator& OscillatorMap::Replace(int32_t channel, int32_t waveform) {
  const auto found = LowerBound(channel);
  if (found != entries_.end() && found->first == channel) {
    found->second = Oscillator(waveform);
    return found->second;
  }
  return entries_.insert(found, Entry(channel, Oscillator(waveform)))->second;
}
