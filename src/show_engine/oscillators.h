#pragma once
// Oscillators add a periodic offset to a channel. The cycle is 2000000
// position units; position / 1000 indexes a shared table of 2000 samples.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

constexpr int32_t kWaveSamples = 2000;
constexpr int32_t kOscillatorCycle = 2000000;

enum Waveform : int32_t {
  kWaveSine = 0,
  kWaveSquare = 1,
  kWaveTriangle = 2,
  kWaveRampUp = 3,
  kWaveRampDown = 4,
};

// Sine, square, triangle, ramp up, ramp down; filled by BuildWaveTables.
extern int16_t WaveTables[5][kWaveSamples];
void BuildWaveTables();

// Position units per frame for a period in ms at the present playback speed.
uint32_t OscillatorStepFor(uint32_t period);

class Oscillator {
 public:
  explicit Oscillator(int32_t initialWaveform);

  void SetWaveform(int32_t waveform);
  // Moves the position by the phase difference, keeping the cycle running.
  void SetPhase(int32_t phase);
  // Restarts the cycle aligned on the phase.
  void ResetPhase();
  // A period of 0 leaves period and step as they are.
  void SetPeriod(uint32_t period);
  // 0 counts as 1 and anything above 99 as 99.
  void SetWidth(uint32_t width);
  // Inline: every running oscillator takes both in every frame.
  void Advance() {
    // One cycle at most per frame is the rule; larger steps from a file
    // take the modulo.
    const int64_t next = int64_t{position} + step;
    if (next >= 0 && next < kOscillatorCycle) {
      position = static_cast<int32_t>(next);
    } else if (next >= kOscillatorCycle && next < 2 * int64_t{kOscillatorCycle}) {
      position = static_cast<int32_t>(next - kOscillatorCycle);
    } else {
      WrapAdvance(next);
    }
  }
  // The signed 16-bit offset at the present position.
  int16_t Sample() const {
    if (disabled || amplitude == 0) return 0;
    const int32_t index = position / 1000;
    const int32_t sample =
        waveform == kWaveSquare ? (index < threshold ? 32767 : -32767) : waveTable[index];
    // Signed throughout: an unsigned amplitude times a negative sample would
    // turn the low half of the wave into a huge positive number. Amplitudes
    // above full swing clip instead of wrapping round to the other sign.
    // Up to 65535 (all a show can hold) the product fits 32 bits.
    const int64_t v = amplitude <= 65535 ? int64_t{static_cast<int32_t>(amplitude) * sample / 1000}
                                         : int64_t{amplitude} * sample / 1000;
    if (v > 32767) return 32767;
    if (v < -32768) return -32768;
    return static_cast<int16_t>(v);
  }

  const int16_t* waveTable;
  int32_t fineChannel = -1;
  int32_t waveform;
  uint32_t step;
  uint32_t period = 1000;
  uint16_t width = 50;
  int32_t phase = 0;
  int32_t position = 0;
  int32_t threshold = 1000;
  uint8_t disabled = 0;
  uint32_t amplitude = 100;

 private:
  void WrapAdvance(int64_t next);
};

// A layer's oscillators by channel, walked in ascending channel order. Kept
// by value in one array that keeps its room, so a cue step that replaces
// them all allocates nothing.
class OscillatorMap {
 public:
  using Entry = std::pair<int32_t, Oscillator>;

  // Null when there is none under the channel.
  Oscillator* Find(int32_t channel);
  const Oscillator* Find(int32_t channel) const;
  // The oscillator under the channel, made with `waveform` when there was none.
  Oscillator& FindOrAdd(int32_t channel, int32_t waveform);
  // Takes the place of any oscillator under the channel.
  Oscillator& Replace(int32_t channel, int32_t waveform);

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void clear() { entries_.clear(); }
  std::vector<Entry>::iterator begin() { return entries_.begin(); }
  std::vector<Entry>::iterator end() { return entries_.end(); }
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  std::vector<Entry>::iterator LowerBound(int32_t channel);

  std::vector<Entry> entries_;
};
