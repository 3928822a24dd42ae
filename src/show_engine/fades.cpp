#include "show_engine/fades.h"

#include <algorithm>

#include "show_engine/engine_globals.h"

namespace {

constexpr uint32_t kChannels = 512;

// from + (to - from) x part / whole, truncating toward zero, without overflow
// for any times the fields can hold.
int32_t Ramp(int32_t from, int32_t to, int64_t part, int64_t whole) {
  return SaturateToInt32(from + (int64_t{to} - from) * part / whole);
}

uint8_t ClampToByte(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

LevelFade::LevelFade(int32_t from, int32_t to, int32_t time, int32_t delay)
    : from(from), to(to), time(time), delay(delay) {}

int32_t LevelFade::GetValue() const {
  if (elapsed < delay) return from;
  if (time == 0 || int64_t{elapsed} >= int64_t{delay} + time) return to;
  return Ramp(from, to, int64_t{elapsed} - delay, time);
}

void LevelFade::Advance() { elapsed = SaturateToInt32(int64_t{elapsed} + FrameStep()); }

bool LevelFade::IsComplete() const { return int64_t{elapsed} >= int64_t{delay} + time; }

FadeTiming::FadeTiming(int32_t rise, int32_t hold, int32_t fall)
    : rise(rise), hold(hold), fall(fall < 0 ? 0 : fall), forever(fall < 0 ? 1 : 0) {}

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

void ChannelFadeSet::Stage(uint16_t channel, uint16_t fineChannel, uint16_t from, uint16_t to,
                           int32_t timingKey, int32_t rise, int32_t hold, int32_t fall) {
  staged_.push_back({channel, fineChannel, from, to, timingKey, rise, hold, fall});
}

void ChannelFadeSet::AppendGroup(const Staged& like, bool wide) {
  groups_.push_back({FadeTiming(like.rise, like.hold, like.fall),
                     static_cast<uint32_t>(channel_.size()), 0, like.key, wide});
}

void ChannelFadeSet::Commit() {
  if (staged_.empty()) return;
  // Fades that share no channel give the same values whatever their order,
  // so they can be kept per timing; otherwise creation order is kept, with
  // one group per run of one timing.
  uint8_t used[kChannels] = {};
  bool distinct = true;
  for (const Staged& s : staged_) {
    if (used[s.channel]++) distinct = false;
    if (s.fine != kNoFineChannel && used[s.fine]++) distinct = false;
  }
  auto append = [this](const Staged& s) {
    channel_.push_back(s.channel);
    fine_.push_back(s.fine);
    from_.push_back(s.from);
    to_.push_back(s.to);
    ++groups_.back().count;
  };
  auto sameGroup = [](const Staged& s, const Group& g) {
    return s.key == g.key && (s.fine != kNoFineChannel) == g.wide;
  };
  const size_t firstGroup = groups_.size();
  for (size_t i = 0; i < staged_.size(); ++i) {
    const Staged& s = staged_[i];
    if (!distinct) {
      if (groups_.size() == firstGroup || !sameGroup(s, groups_.back())) {
        AppendGroup(s, s.fine != kNoFineChannel);
      }
      append(s);
      continue;
    }
    const bool grouped = std::any_of(groups_.begin() + static_cast<std::ptrdiff_t>(firstGroup),
                                     groups_.end(),
                                     [&](const Group& g) { return sameGroup(s, g); });
    if (grouped) continue;
    AppendGroup(s, s.fine != kNoFineChannel);
    for (size_t j = i; j < staged_.size(); ++j) {
      if (sameGroup(staged_[j], groups_.back())) append(staged_[j]);
    }
  }
  staged_.clear();
  firstWritersKnown_ = false;
}

void ChannelFadeSet::MarkFirstWriters() {
  uint8_t seen[kChannels] = {};
  firstWriter_.resize(channel_.size());
  for (size_t i = 0; i < channel_.size(); ++i) {
    firstWriter_[i] = seen[channel_[i]] ? 0 : 1;
    seen[channel_[i]] = 1;
  }
  firstWritersKnown_ = true;
}

void ChannelFadeSet::Ramp(const Group& group, const uint16_t* a, const uint16_t* b, int64_t part,
                          int64_t whole) {
  // a + (b - a) x part / whole for every fade, truncating toward zero, with
  // one division per group: 0 <= part < whole < 2^31, so q0 below is the
  // exact quotient or one less, and one multiplication tells which.
  const auto num = static_cast<uint64_t>(part);
  const auto den = static_cast<uint64_t>(whole);
  const uint64_t progress = (num << 32) / den;
  ramp_.resize(group.count);
  uint16_t* out = ramp_.data();
  for (uint32_t i = 0; i < group.count; ++i) {
    const int32_t d = int32_t{b[i]} - a[i];
    const uint64_t span = static_cast<uint64_t>(d < 0 ? -d : d);
    uint64_t q = (span * progress) >> 32;
    if ((q + 1) * den <= span * num) ++q;
    const auto step = static_cast<int32_t>(q);
    out[i] = static_cast<uint16_t>(a[i] + (d < 0 ? -step : step));
  }
}

void ChannelFadeSet::Write(const Group& group, uint8_t* values, const uint16_t* levels) const {
  const uint16_t* channel = channel_.data() + group.begin;
  const uint16_t* fine = fine_.data() + group.begin;
  const uint16_t* from = from_.data() + group.begin;
  const uint8_t* first = firstWriter_.data() + group.begin;
  for (uint32_t i = 0; i < group.count; ++i) {
    const int32_t high = levels[i] >> 8;
    const uint8_t c = first[i] ? static_cast<uint8_t>(high)
                               : ClampToByte(values[channel[i]] + high - (from[i] >> 8));
    values[channel[i]] = c;
  }
  if (!group.wide) return;
  for (uint32_t i = 0; i < group.count; ++i) {
    const int32_t low = levels[i] & 0xFF;
    values[fine[i]] = first[i] ? static_cast<uint8_t>(low)
                               : ClampToByte(values[fine[i]] + low - (from[i] & 0xFF));
  }
}

void ChannelFadeSet::Update(uint8_t* values, int32_t step) {
  if (groups_.empty()) return;
  if (!firstWritersKnown_) MarkFirstWriters();
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
  firstWritersKnown_ = false;
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
  firstWritersKnown_ = false;
}
