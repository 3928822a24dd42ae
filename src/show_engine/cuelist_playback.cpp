// Frame-by-frame playback of a layer: cue stepping, oscillators, fades.
#include <algorithm>

#include "show_engine/engine_globals.h"
#include "show_engine/engine_layer.h"

LayerRequests DmxEngineLayer::Update() {
  if (inactive) return 0;
  std::fill(std::begin(offsets), std::end(offsets), 0);

  LayerRequests requests = 0;
  if (state == kLayerRunning || state == kLayerHalted) {
    if (countdown <= 0) {
      const auto& entries = cuelist.entries;
      if (currentEntry < 0 || static_cast<size_t>(currentEntry) >= entries.size()) {
        // A reload can leave the position past the end of a shorter (or
        // empty) list; there is no entry to test or step from.
        return Stop();
      }
      // The halt is tested before the entry is applied, so a list whose
      // first entry halts never applies it.
      if (entries[static_cast<size_t>(currentEntry)].halt == 1) {
        state = kLayerHalted;
      } else {
        requests = CueStep();
      }
    }
    const int32_t step = FrameStep();
    clock = SaturateToInt32(int64_t{clock} + step);
    countdown = SaturateToInt32(int64_t{countdown} - step);
  }

  UpdateOscillators();
  UpdateLevelFade();
  UpdateChannelFades();

  // A cue step leaves the layer running, so it never asks for both.
  if ((state == kLayerHalted || state == kLayerPaused) && !levelFade && channelFades.empty()) {
    return Stop();
  }
  return requests;
}

LayerRequests DmxEngineLayer::CueStep() {
  state = kLayerRunning;
  const int32_t count = static_cast<int32_t>(cuelist.entries.size());
  int32_t index = nextEntry;
  if (index == 0) clock = 0;
  if (index < 0 || index >= count) {
    index = 0;
    nextEntry = 0;
  }
  // The entry is read in place: applying a cue leaves the list as it is.
  const CuelistEntry& entry = cuelist.entries[static_cast<size_t>(index)];
  const LayerRequests requests = ApplyCue(entry.cue, false, entry.timings, 0);
  currentEntry = index;
  // The excess of the last countdown is carried into this entry.
  countdown = SaturateToInt32(int64_t{countdown} + EntryLength(entry));
  nextEntry = index + 1 < count ? index + 1 : 0;
  return requests;
}

void DmxEngineLayer::UpdateOscillators() {
  for (auto& [channel, oscillator] : oscillators) {
    oscillator.Advance();
    if (channel < 0 || channel >= static_cast<int32_t>(kEngineChannels)) continue;
    const int16_t v = oscillator.Sample();
    const auto bits = static_cast<uint16_t>(v);
    offsets[channel] = static_cast<int8_t>(bits >> 8);
    AddChannel(static_cast<uint32_t>(channel));
    const int32_t fine = oscillator.fineChannel;
    if (fine >= 0 && fine < static_cast<int32_t>(kEngineChannels)) {
      values[fine] = 0;
      offsets[fine] = static_cast<int16_t>(bits & 0xFF);
      AddChannel(static_cast<uint32_t>(fine));
    }
  }
}

void DmxEngineLayer::UpdateLevelFade() {
  if (!levelFade) return;
  levelFade->Advance();
  level = levelFade->GetValue();
  if (levelFade->IsComplete()) levelFade.reset();
}

void DmxEngineLayer::UpdateChannelFades() {
  if (channelFades.empty()) return;
  if (fadeChannelsPending_) {
    channelFades.ForEachChannel([this](uint16_t channel) { AddChannel(channel); });
    fadeChannelsPending_ = false;
  }
  channelFades.Update(values, FrameStep());
}

void DmxEngineLayer::LoadCuelist(const Cuelist& list) {
  cuelist.name = list.name;
  cuelist.entries = list.entries;
  clock = 0;
  countdown = 0;
  currentEntry = 0;
  nextEntry = 0;
}

LayerRequests DmxEngineLayer::ReloadCuelist(const Cuelist& list) {
  LayerRequests requests = kLayerRecomputeFrame;
  cuelist.name = list.name;
  cuelist.entries = list.entries;
  const int32_t count = static_cast<int32_t>(cuelist.entries.size());
  int64_t start = 0;
  for (int32_t i = 0; i < count; ++i) {
    const CuelistEntry& entry = cuelist.entries[static_cast<size_t>(i)];
    const int64_t length = EntryLength(entry);
    if (start <= clock && clock < start + length) {
      currentEntry = i;
      nextEntry = i + 1 < count ? i + 1 : 0;
      countdown = SaturateToInt32(start + length - clock);
      // The entry's values appear at once and hold for what is left of it.
      std::vector<CueTiming> timings = entry.timings;
      for (CueTiming& timing : timings) {
        timing.rise = 0;
        timing.hold = countdown;
      }
      requests |= ApplyCue(entry.cue, true, timings, 0);
    }
    start += length;
  }
  if (clock >= start) {
    clock = 0;
    countdown = 0;
    currentEntry = 0;
    nextEntry = 0;
  }
  return requests;
}

LayerRequests DmxEngineLayer::Pause() {
  clock = 0;
  countdown = 0;
  currentEntry = 0;
  nextEntry = 0;
  if (state == kLayerRunning) {
    channelFades.Release();
    state = kLayerPaused;
  } else if (state == kLayerPaused) {
    return Stop();
  }
  return 0;
}

LayerRequests DmxEngineLayer::Stop() {
  oscillators.clear();
  state = kLayerStopped;
  DeleteChannelFades();
  // The layer stays in the mix and drives its channels at their start
  // values; shows rely on a stopped list putting its channels back.
  for (uint16_t channel : channelList) {
    SetChannelValue(channel, tables->startValues[channel], false);
  }
  return kLayerRecomputeFrame;
}
