#include "show_engine/fades.h"

#include <algorithm>

#include "show_engine/engine_globals.h"

namespace {

// from + (to - from) x part / whole, truncating toward zero, without overflow
// for any times the fields can hold.
int32_t Ramp(int32_t from, int32_t to, int64_t part, int64_t whole) {
  return SaturateToInt32(from + (int64_t{to} - from) * part / whole);
}

uint8_t ClampToByte(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// a + (b - a) x num / den for every fade, truncating toward zero, with one
// division for all of them (0 <= num < den < 2^31). Built for several vector
// units; a function of this file alone, so every build finds its symbol.
SHOW_FRAME_LOOPS void RampValues(const uint16_t* a, const uint16_t* b, uint32_t count, uint64_t num,
                                 uint64_t den, uint16_t* out) {
  if (den <= 65536) {
    // |b - a| x ceil(num x 2^32 / den) / 2^32 errs by less than 2^-16
    // above the true quotient, and a quotient with a divisor of at most 2^16
    // is never that close below the next whole number: the floor is exact.
    // Worked in 16-bit halves so that the compiler can do many fades at once.
    const uint64_t progress = ((num << 32) + den - 1) / den;
    const auto high = static_cast<uint16_t>(progress >> 16);
    const auto low = static_cast<uint16_t>(progress);
    for (uint32_t i = 0; i < count; ++i) {
      const uint16_t from = a[i];
      const uint16_t to = b[i];
      const auto span = static_cast<uint16_t>(to > from ? to - from : from - to);
      const uint32_t upper = uint32_t{span} * high;
      const auto upperLow = static_cast<uint16_t>(upper);
      const auto carry = static_cast<uint16_t>((uint32_t{span} * low) >> 16);
      const auto sum = static_cast<uint16_t>(upperLow + carry);
      const auto q = static_cast<uint16_t>((upper >> 16) + (sum < upperLow ? 1 : 0));
      out[i] = static_cast<uint16_t>(to < from ? from - q : from + q);
    }
    return;
  }
  // Longer than 65 s: q0 below is the exact quotient or one less, and one
  // multiplication tells which.
  const uint64_t progress = (num << 32) / den;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t d = int32_t{b[i]} - a[i];
    const uint64_t span = static_cast<uint64_t>(d < 0 ? -d : d);
    uint64_t q = (span * progress) >> 32;
    if ((q + 1) * den <= span * num) ++q;
    const auto step = static_cast<int32_t>(q);
    out[i] = static_cast<uint16_t>(a[i] + (d < 0 ? -step : step));
  }
}

// One byte of each fade's 8.8 level (shift 8 the coarse, 0 the fine) into
// its channel: set by the first writers, added as a movement from the
// fade's own start by the others. Kept apart from their caller, these loops
// run markedly faster.
template <unsigned kShift>
void SetBytes(const uint16_t* channel, const uint16_t* levels, uint32_t count, uint8_t* values) {
  for (uint32_t i = 0; i < count; ++i)
    values[channel[i]] = static_cast<uint8_t>(levels[i] >> kShift);
}

template <unsigned kShift>
void AddBytes(const uint16_t* channel, const uint16_t* levels, const uint16_t* from, uint32_t count,
              uint8_t* values) {
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t movement = ((levels[i] >> kShift) & 0xFF) - ((from[i] >> kShift) & 0xFF);
    values[channel[i]] = ClampToByte(values[channel[i]] + movement);
  }
}

}  // namespace

LevelFade::LevelFade(int32_t fromLevel, int32_t toLevel, int32_t fadeTime, int32_t delayTime)
    : from(fromLevel), to(toLevel), time(fadeTime), delay(delayTime) {}

int32_t LevelFade::GetValue() const {
  if (elapsed < delay) return from;
  if (time == 0 || int64_t{elapsed} >= int64_t{delay} + time) return to;
  return Ramp(from, to, int64_t{elapsed} - delay, time);
}

void LevelFade::Advance() { elapsed = SaturateToInt32(int64_t{elapsed} + FrameStep()); }

bool LevelFade::IsComplete() const { return int64_t{elapsed} >= int64_t{delay} + time; }

FadeTiming::FadeTiming(int32_t riseTime, int32_t holdTime, int32_t fallTime)
    : rise(riseTime),
      hold(holdTime),
      fall(fallTime < 0 ? 0 : fallTime),
      forever(fallTime < 0 ? uint8_t{1} : uint8_t{0}) {}

void FadeTiming::Advance(int32_t step) {
  if (!paused) elapsed = SaturateToInt32(int64_t{elapsed} + step);
}

int32_t FadeTiming::ValueOf(int32_t from, int32_t to) const {
  const int64_t e = elapsed;
  if (e < rise) return Ramp(from, to, e, rise);
  if (forever) return to;
  if (e >= TotalTime()) return from;
  if (e <= RiseHold()) return to;
  return Ramp(to, from, e - RiseHold(), fall);
}

void ChannelFadeSet::Commit() {
  if (staged_.empty()) return;
  // Fades that share no channel give the same values whatever their order,
  // so they can be kept per timing; otherwise creation order is kept, with
  // one group per run of one timing.
  uint8_t used[kDmxChannels] = {};
  bool distinct = true;
  for (const Staged& s : staged_) {
    distinct &= used[s.channel] == 0;
    used[s.channel] = 1;
    if (s.fine == kNoFineChannel) continue;
    distinct &= used[s.fine] == 0;
    used[s.fine] = 1;
  }
  auto sameGroup = [](const Staged& s, const Group& g) {
    return s.key == g.key && (s.fine != kNoFineChannel) == g.wide;
  };
  const size_t firstGroup = groups_.size();
  staging_.resize(staged_.size());
  for (size_t i = 0; i < staged_.size(); ++i) {
    const Staged& s = staged_[i];
    size_t g = groups_.size();
    if (!distinct) {
      if (g > firstGroup && sameGroup(s, groups_.back())) g = groups_.size() - 1;
    } else {
      for (size_t k = firstGroup; k < groups_.size(); ++k) {
        if (sameGroup(s, groups_[k])) g = k;
      }
    }
    if (g == groups_.size()) {
      groups_.push_back({FadeTiming(s.rise, s.hold, s.fall), 0, 0, s.key, s.fine != kNoFineChannel,
                         !distinct, 0});
    }
    ++groups_[g].count;
    staging_[i] = static_cast<uint32_t>(g);
  }
  uint32_t begin = static_cast<uint32_t>(channel_.size());
  for (size_t g = firstGroup; g < groups_.size(); ++g) {
    groups_[g].begin = begin;
    begin += groups_[g].count;
    groups_[g].count = 0;
  }
  channel_.resize(begin);
  fine_.resize(begin);
  from_.resize(begin);
  to_.resize(begin);
  for (size_t i = 0; i < staged_.size(); ++i) {
    const Staged& s = staged_[i];
    Group& group = groups_[staging_[i]];
    const uint32_t at = group.begin + group.count++;
    channel_[at] = s.channel;
    fine_[at] = s.fine;
    from_[at] = s.from;
    to_[at] = s.to;
  }
  staged_.clear();
}

void ChannelFadeSet::SwapFades(size_t i, size_t j) {
  std::swap(channel_[i], channel_[j]);
  std::swap(fine_[i], fine_[j]);
  std::swap(from_[i], from_[j]);
  std::swap(to_[i], to_[j]);
}

void ChannelFadeSet::MarkFirstWriters() {
  // A cue application only appends, so only its fades are looked at; a
  // dropped group can hand the first write of its channels to any later
  // fade, so everything is looked at again.
  if (rescan_) {
    std::fill(std::begin(hasWriter_), std::end(hasWriter_), 0);
    markedFades_ = 0;
    rescan_ = false;
  }
  firstWriter_.resize(channel_.size());
  for (Group& group : groups_) {
    if (group.begin < markedFades_) continue;
    const uint32_t end = group.begin + group.count;
    for (uint32_t i = group.begin; i < end; ++i) {
      firstWriter_[i] = hasWriter_[channel_[i]] ? 0 : 1;
      hasWriter_[channel_[i]] = 1;
    }
    if (group.inOrder) continue;
    uint32_t firsts = group.begin;
    for (uint32_t i = group.begin; i < end; ++i) {
      if (!firstWriter_[i]) continue;
      if (i != firsts) {
        SwapFades(i, firsts);
        std::swap(firstWriter_[i], firstWriter_[firsts]);
      }
      ++firsts;
    }
    group.firstWriters = firsts - group.begin;
  }
  markedFades_ = channel_.size();
}

void ChannelFadeSet::Ramp(const Group& group, const uint16_t* a, const uint16_t* b, int64_t part,
                          int64_t whole) {
  if (ramp_.size() < group.count) ramp_.resize(group.count);
  RampValues(a, b, group.count, static_cast<uint64_t>(part), static_cast<uint64_t>(whole),
             ramp_.data());
}

void ChannelFadeSet::Write(const Group& group, uint8_t* values, const uint16_t* levels) const {
  const uint16_t* channel = channel_.data() + group.begin;
  const uint16_t* fine = fine_.data() + group.begin;
  const uint16_t* from = from_.data() + group.begin;
  auto combine = [](uint8_t present, int32_t level, int32_t start) {
    return ClampToByte(present + level - start);
  };
  if (group.inOrder) {
    const uint8_t* first = firstWriter_.data() + group.begin;
    for (uint32_t i = 0; i < group.count; ++i) {
      const int32_t high = levels[i] >> 8;
      values[channel[i]] =
          first[i] ? static_cast<uint8_t>(high) : combine(values[channel[i]], high, from[i] >> 8);
      if (!group.wide) continue;
      const int32_t low = levels[i] & 0xFF;
      values[fine[i]] =
          first[i] ? static_cast<uint8_t>(low) : combine(values[fine[i]], low, from[i] & 0xFF);
    }
    return;
  }
  // No two fades of the group share a channel: the first writers set their
  // channels, the rest add their movement to what an earlier group wrote.
  const uint32_t firsts = group.firstWriters;
  const uint32_t rest = group.count - firsts;
  SetBytes<8>(channel, levels, firsts, values);
  AddBytes<8>(channel + firsts, levels + firsts, from + firsts, rest, values);
  if (!group.wide) return;
  SetBytes<0>(fine, levels, firsts, values);
  AddBytes<0>(fine + firsts, levels + firsts, from + firsts, rest, values);
}

void ChannelFadeSet::Update(uint8_t* values, int32_t step) {
  if (groups_.empty()) return;
  if (rescan_ || markedFades_ != channel_.size()) MarkFirstWriters();
  bool anyFinished = false;
  for (Group& group : groups_) {
    FadeTiming& t = group.timing;
    t.Advance(step);
    const int64_t e = t.elapsed;
    const uint16_t* from = from_.data() + group.begin;
    const uint16_t* to = to_.data() + group.begin;
    if (e < t.rise) {
      Ramp(group, from, to, e, t.rise);
      Write(group, values, ramp_.data());
    } else if (t.forever || (e < t.TotalTime() && e <= t.RiseHold())) {
      Write(group, values, to);
    } else if (e >= t.TotalTime()) {
      Write(group, values, from);
    } else {
      Ramp(group, to, from, e - t.RiseHold(), t.fall);
      Write(group, values, ramp_.data());
    }
    anyFinished |= t.IsFinished();
  }
  if (anyFinished) DropFinished();
}

void ChannelFadeSet::DropFinished() {
  size_t kept = 0;
  uint32_t fade = 0;
  for (const Group& group : groups_) {
    if (group.timing.IsFinished()) continue;
    Group moved = group;
    moved.begin = fade;
    for (uint32_t i = 0; i < group.count; ++i) {
      channel_[fade + i] = channel_[group.begin + i];
      fine_[fade + i] = fine_[group.begin + i];
      from_[fade + i] = from_[group.begin + i];
      to_[fade + i] = to_[group.begin + i];
    }
    fade += group.count;
    groups_[kept++] = moved;
  }
  groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(kept), groups_.end());
  channel_.resize(fade);
  fine_.resize(fade);
  from_.resize(fade);
  to_.resize(fade);
  rescan_ = true;
}

void ChannelFadeSet::Release() {
  for (Group& group : groups_) {
    FadeTiming& t = group.timing;
    if (t.elapsed > t.RiseHold()) continue;  // already falling
    for (uint32_t i = group.begin; i < group.begin + group.count; ++i) {
      to_[i] = static_cast<uint16_t>(t.ValueOf(from_[i], to_[i]));
    }
    t.elapsed = SaturateToInt32(t.RiseHold());
  }
}

void ChannelFadeSet::SetPaused(bool pause, bool all) {
  for (Group& group : groups_) {
    FadeTiming& t = group.timing;
    if (!pause) {
      t.paused = 0;
    } else if (all || t.elapsed <= t.RiseHold() + 250) {
      t.paused = 1;
    }
  }
}

void ChannelFadeSet::Clear() {
  groups_.clear();
  channel_.clear();
  fine_.clear();
  from_.clear();
  to_.clear();
  staged_.clear();
  rescan_ = true;
}
