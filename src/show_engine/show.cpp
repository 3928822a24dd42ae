#include "show_engine/show.h"

#include <algorithm>

#include "show_engine/engine_globals.h"

int32_t EntryLength(const CuelistEntry& entry) {
  int64_t length = 0;
  for (const CueTiming& timing : entry.timings) {
    length = std::max<int64_t>(length, int64_t{timing.rise} + timing.hold);
  }
  return SaturateToInt32(length);
}

int32_t FadeTimeOf(const std::map<int, int>& times, int id) {
  const auto found = times.find(id);
  if (found == times.end()) return 0;
  return SaturateToInt32(static_cast<uint32_t>(found->second));
}

bool operator==(const CueValue& a, const CueValue& b) {
  return a.channel == b.channel && a.value == b.value;
}

bool operator==(const OscillatorDef& a, const OscillatorDef& b) {
  return a.channel == b.channel && a.fineChannel == b.fineChannel && a.waveform == b.waveform &&
         a.period == b.period && a.phase == b.phase && a.amplitude == b.amplitude &&
         a.width == b.width;
}

bool operator==(const Cue& a, const Cue& b) {
  return a.values == b.values && a.oscillators == b.oscillators;
}

bool operator==(const CueTiming& a, const CueTiming& b) {
  return a.tag == b.tag && a.rise == b.rise && a.hold == b.hold && a.fall == b.fall &&
         a.extra == b.extra;
}

bool operator==(const CuelistEntry& a, const CuelistEntry& b) {
  return a.spareWord == b.spareWord && a.spareText1 == b.spareText1 &&
         a.spareText2 == b.spareText2 && a.cue == b.cue && a.timings == b.timings &&
         a.halt == b.halt;
}

bool operator==(const Cuelist& a, const Cuelist& b) {
  return a.name == b.name && a.entries == b.entries;
}

bool operator==(const Show& a, const Show& b) {
  return a.ENDP == b.ENDP && a.cues == b.cues && a.cuelists == b.cuelists &&
         a.fadeIn == b.fadeIn && a.fadeOut == b.fadeOut && a.DefVals == b.DefVals &&
         a.ChTypes == b.ChTypes && a.ChSubtypes == b.ChSubtypes;
}
