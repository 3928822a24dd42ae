#include "show_engine/engine_layer.h"

#include <algorithm>

#include "show_engine/engine_globals.h"

DmxEngineLayer::DmxEngineLayer(const ChannelTables* channelTables) : tables(channelTables) {
  Clear();
}

DmxEngineLayer::~DmxEngineLayer() = default;

int32_t DmxEngineLayer::HasChannel(uint32_t channel) {
  return channel < kEngineChannels && inChannelList_[channel] ? 1 : 0;
}

// Level given as anything a caller stored; products are taken wide.
int32_t DmxEngineLayer::ScaledValue(uint32_t channel, int32_t offset) const {
  if (channel >= kEngineChannels) return 0;
  const int64_t f = tables->IsIntensityChannel(channel) ? level : kFullLevel;
  const int64_t sum = int64_t{offset} * f / kFullLevel + int64_t{values[channel]} * f / kFullLevel;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, 0, 255));
}

int32_t DmxEngineLayer::GetValue(uint32_t channel) { return ScaledValue(channel, 0); }

void DmxEngineLayer::OutputValues(const uint8_t* intensity, uint8_t* out) const {
  // At full level, and on channels that are not intensity, the level scales
  // by 65535 / 65535.
  for (uint32_t c = 0; c < kEngineChannels; ++c) out[c] = OffsetValue(values[c], offsets[c]);
  if (level == kFullLevel) return;
  for (uint32_t c = 0; c < kEngineChannels; ++c) {
    if (intensity[c] && inChannelList_[c])
      out[c] = static_cast<uint8_t>(ScaledValue(c, offsets[c]));
  }
}

int32_t DmxEngineLayer::GetOutputValue(uint32_t channel) {
  return channel < kEngineChannels ? ScaledValue(channel, offsets[channel]) : 0;
}

int32_t DmxEngineLayer::HasChannelAt(uint32_t universe, uint32_t channel) {
  if (universe != 0 || channel >= kEngineChannels) return 0;
  return HasChannel(channel);
}

int32_t DmxEngineLayer::GetValueAt(uint32_t universe, uint32_t channel) {
  if (universe != 0 || channel >= kEngineChannels) return 0;
  return GetValue(channel);
}

int32_t DmxEngineLayer::GetOutputValueAt(uint32_t universe, uint32_t channel) {
  if (universe != 0 || channel >= kEngineChannels) return 0;
  return GetOutputValue(channel);
}

void DmxEngineLayer::Clear() {
  std::fill(std::begin(values), std::end(values), 0);
  std::fill(std::begin(inChannelList_), std::end(inChannelList_), 0);
  channelList.clear();
  oscillators.clear();
  fadeChannelsPending_ = !channelFades.empty();
}

void DmxEngineLayer::AddChannel(uint32_t channel) {
  if (channel >= kEngineChannels || inChannelList_[channel]) return;
  inChannelList_[channel] = 1;
  channelList.push_back(static_cast<uint16_t>(channel));
}

void DmxEngineLayer::SetChannelValue(uint32_t channel, uint8_t value, bool onlyIfAbsent) {
  if (channel >= kEngineChannels) return;
  if (onlyIfAbsent && inChannelList_[channel]) return;
  values[channel] = value;
  AddChannel(channel);
}

void DmxEngineLayer::SetLevel(int32_t target, int32_t time) {
  if (levelFade) {
    level = levelFade->GetValue();
    levelFade.reset();
  }
  if (level == target) return;
  levelFade.emplace(level, target, time, 0);
}

void DmxEngineLayer::FadeOut(int32_t time) { SetLevel(0, time); }

void DmxEngineLayer::SetFadesPaused(bool pause, bool all) { channelFades.SetPaused(pause, all); }

void DmxEngineLayer::AddChannelFade(uint16_t channel, uint8_t value, int32_t rise, int32_t hold,
                                    int32_t fall) {
  if (channel >= kEngineChannels) return;
  channelFades.Stage(channel, kNoFineChannel,
                     static_cast<uint16_t>(tables->startValues[channel] << 8),
                     static_cast<uint16_t>(value << 8), 0, rise, hold, fall);
  channelFades.Commit();
  fadeChannelsPending_ = true;
}

void DmxEngineLayer::AddChannelFade(uint16_t channel, uint16_t fineChannel, uint8_t coarse,
                                    uint8_t fine, int32_t rise, int32_t hold, int32_t fall) {
  if (channel >= kEngineChannels) return;
  if (fineChannel >= kEngineChannels) fineChannel = kNoFineChannel;
  const uint8_t fromFine = fineChannel == kNoFineChannel ? 0 : tables->startValues[fineChannel];
  channelFades.Stage(channel, fineChannel,
                     static_cast<uint16_t>(tables->startValues[channel] << 8 | fromFine),
                     static_cast<uint16_t>(coarse << 8 | fine), 0, rise, hold, fall);
  channelFades.Commit();
  fadeChannelsPending_ = true;
}

Oscillator* DmxEngineLayer::AddOscillator(uint32_t universe, uint32_t channel, int32_t waveform,
                                          uint32_t period, uint16_t phase, uint16_t amplitude,
                                          uint16_t width) {
  const uint64_t key = uint64_t{universe} * kEngineChannels + channel;
  if (key >= kEngineChannels) return nullptr;
  Oscillator* oscillator = &oscillators.FindOrAdd(static_cast<int32_t>(key), waveform);
  oscillator->SetWaveform(waveform);
  oscillator->SetPhase(phase);
  oscillator->SetPeriod(period);
  oscillator->amplitude = amplitude;
  oscillator->SetWidth(width);
  return oscillator;
}

Oscillator* DmxEngineLayer::AddOscillator(uint32_t universe, uint32_t channel, uint32_t fineChannel,
                                          int32_t waveform, uint32_t period, uint16_t phase,
                                          uint16_t amplitude, uint16_t width) {
  const uint64_t key = uint64_t{universe} * kEngineChannels + channel;
  const bool isNew = key < kEngineChannels && !oscillators.Find(static_cast<int32_t>(key));
  Oscillator* oscillator =
      AddOscillator(universe, channel, waveform, period, phase, amplitude, width);
  if (oscillator && isNew) {
    const uint64_t fine = uint64_t{universe} * kEngineChannels + fineChannel;
    oscillator->fineChannel = fine < kEngineChannels ? static_cast<int32_t>(fine) : -1;
  }
  return oscillator;
}

void DmxEngineLayer::ResetOscillatorPhases() {
  for (auto& entry : oscillators) entry.second.ResetPhase();
}

void DmxEngineLayer::UpdateOscillatorSteps() {
  for (auto& entry : oscillators) {
    Oscillator& oscillator = entry.second;
    if (oscillator.period != 0) oscillator.step = OscillatorStepFor(oscillator.period);
  }
}

void DmxEngineLayer::DeleteChannelFades() { channelFades.Clear(); }

namespace {

struct PairSlot {
  int32_t type;
  int32_t coarseSubtype;
  int32_t fineSubtype;
};

// Tested in this order after each value.
constexpr PairSlot kPairSlots[] = {{7, 0, 1}, {1, 1, 3}, {1, 2, 4}};
constexpr size_t kPairCount = sizeof(kPairSlots) / sizeof(kPairSlots[0]);

// A timing list need not cover every channel type the show uses.
const CueTiming* TimingFor(const std::vector<CueTiming>& timings, int32_t type) {
  if (type < 0 || static_cast<size_t>(type) >= timings.size()) return nullptr;
  return &timings[static_cast<size_t>(type)];
}

}  // namespace

void DmxEngineLayer::StagePairs(const Cue& cue, const std::vector<CueTiming>& timings) {
  const size_t count = cue.values.size();
  int64_t coarseSlot[kPairCount] = {-1, -1, -1};
  int64_t fineSlot[kPairCount] = {-1, -1, -1};
  for (size_t p = 0; p < count; ++p) {
    const uint16_t channel = cue.values[p].channel;
    if (channel >= kEngineChannels) continue;
    const int32_t type = tables->channelTypes[channel];
    // Only types 1 and 7 fill a slot, and a pair can only complete on the
    // value that fills its last slot.
    if (type != 1 && type != 7) continue;
    const int32_t subtype = tables->channelSubtypes[channel];
    for (size_t s = 0; s < kPairCount; ++s) {
      if (type != kPairSlots[s].type) continue;
      if (subtype == kPairSlots[s].coarseSubtype) coarseSlot[s] = static_cast<int64_t>(p);
      if (subtype == kPairSlots[s].fineSubtype) fineSlot[s] = static_cast<int64_t>(p);
    }
    for (size_t s = 0; s < kPairCount; ++s) {
      if (coarseSlot[s] < 0 || fineSlot[s] < 0) continue;
      const CueTiming* timing = TimingFor(timings, kPairSlots[s].type);
      const CueValue& coarse = cue.values[static_cast<size_t>(coarseSlot[s])];
      const CueValue& fine = cue.values[static_cast<size_t>(fineSlot[s])];
      if (timing) {
        const uint8_t* start = tables->startValues;
        channelFades.Stage(coarse.channel, fine.channel,
                           static_cast<uint16_t>(start[coarse.channel] << 8 | start[fine.channel]),
                           static_cast<uint16_t>(coarse.value << 8 | fine.value),
                           kPairSlots[s].type, timing->rise, timing->hold, timing->fall);
        paired_[static_cast<size_t>(coarseSlot[s])] = 1;
        paired_[static_cast<size_t>(fineSlot[s])] = 1;
        pairs_.emplace_back(coarse.channel, fine.channel);
      }
      coarseSlot[s] = -1;
      fineSlot[s] = -1;
    }
  }
}

LayerRequests DmxEngineLayer::ApplyCue(const Cue& cue, bool clear,
                                       const std::vector<CueTiming>& timings, uint32_t fadeTime) {
  if (clear) {
    Clear();
    DeleteChannelFades();
  }
  oscillators.clear();

  if (timings.empty()) {
    if (fadeTime == 0) {
      level = kFullLevel;
    } else {
      level = 0;
      if (levelFade) {
        level = levelFade->GetValue();
        levelFade.reset();
      }
      if (level != kFullLevel) levelFade.emplace(level, kFullLevel, SaturateToInt32(fadeTime), 0);
    }
  }

  // Coarse/fine channel pairs become one 16-bit fade; what stays unpaired is
  // faded (or set) on its own below.
  const size_t count = cue.values.size();
  paired_.assign(count, 0);
  pairs_.clear();
  if (!timings.empty()) StagePairs(cue, timings);
  for (const auto& pair : pairs_) {
    AddChannel(pair.first);
    AddChannel(pair.second);
  }

  for (size_t p = 0; p < count; ++p) {
    if (paired_[p]) continue;
    const CueValue& value = cue.values[p];
    if (value.channel >= kEngineChannels) continue;
    const int32_t type = tables->channelTypes[value.channel];
    if (const CueTiming* timing = TimingFor(timings, type)) {
      channelFades.Stage(value.channel, kNoFineChannel,
                         static_cast<uint16_t>(tables->startValues[value.channel] << 8),
                         static_cast<uint16_t>(value.value << 8), type, timing->rise, timing->hold,
                         timing->fall);
    } else {
      // No timings at all, or none for this channel's type: the value
      // arrives at once rather than reading past the timing list.
      values[value.channel] = value.value;
    }
    AddChannel(value.channel);
  }
  channelFades.Commit();

  for (const OscillatorDef& def : cue.oscillators) {
    if (def.channel < 0 || def.channel >= static_cast<int32_t>(kEngineChannels)) continue;
    Oscillator& oscillator = oscillators.Replace(def.channel, def.waveform);
    oscillator.SetPhase(def.phase);
    oscillator.SetPeriod(def.period);
    oscillator.amplitude = def.amplitude;
    oscillator.fineChannel =
        def.fineChannel >= 0 && def.fineChannel < static_cast<int32_t>(kEngineChannels)
            ? def.fineChannel
            : -1;
    oscillator.SetWidth(def.width);
  }
  return kLayerToTop;
}

void DmxEngineLayer::SnapshotCue(Cue& cue) const {
  for (uint16_t channel : channelList) cue.values.push_back({channel, values[channel]});
  for (const auto& [channel, oscillator] : oscillators) {
    OscillatorDef def;
    def.channel = channel;
    def.fineChannel = oscillator.fineChannel;
    def.waveform = oscillator.waveform;
    def.period = oscillator.period;
    def.phase = oscillator.phase;
    def.amplitude = static_cast<uint16_t>(oscillator.amplitude);
    def.width = oscillator.width;
    cue.oscillators.push_back(def);
  }
}

LiveOutputLayer::LiveOutputLayer(const ChannelTables* channelTables)
    : DmxEngineLayer(channelTables) {}

int32_t LiveOutputLayer::HasChannel(uint32_t) { return 1; }

int32_t LiveOutputLayer::GetValue(uint32_t channel) {
  if (channel >= kEngineChannels) return 0;
  const uint32_t live = tables->liveValues[channel];
  if (!tables->IsIntensityChannel(channel)) return static_cast<int32_t>(live);
  return static_cast<int32_t>(static_cast<uint8_t>(live * GrandMaster.load() / 255));
}

int32_t LiveOutputLayer::GetOutputValue(uint32_t channel) { return GetValue(channel); }
