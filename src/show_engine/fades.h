#pragma once
// Level fades move a layer's level; channel fades move one channel, or a
// coarse/fine pair, through rise, hold and fall. Values inside channel fades
// are 8.8 numbers: coarse x 256 + fine.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dmx_types.h"

constexpr uint16_t kNoFineChannel = 65535;

class LevelFade {
 public:
  LevelFade(int32_t fromLevel, int32_t toLevel, int32_t fadeTime, int32_t delayTime);
  int32_t GetValue() const;
  void Advance();
  bool IsComplete() const;

  int32_t from;
  int32_t to;
  int32_t time;
  int32_t elapsed = 0;
  int32_t delay;
};

// The timing and progress of channel fades. Every fade one cue application
// makes for one timing record shares it, so the progress is worked out once
// per frame for all of them.
struct FadeTiming {
  // A negative fall makes fades that stay at their target ("forever").
  FadeTiming(int32_t riseTime, int32_t holdTime, int32_t fallTime);
  // rise + hold + fall taken wide: a show may carry times near the i32 limit.
  int64_t TotalTime() const { return int64_t{rise} + hold + fall; }
  int64_t RiseHold() const { return int64_t{rise} + hold; }
  bool IsFinished() const { return elapsed >= TotalTime(); }
  void Advance(int32_t step);
  // The 8.8 value of a fade from `from` to `to` at the present elapsed time.
  int32_t ValueOf(int32_t from, int32_t to) const;

  int32_t rise;
  int32_t hold;
  int32_t fall;  // never negative
  int32_t elapsed = 0;
  uint8_t paused = 0;
  uint8_t forever;
};

// A layer's channel fades, in creation order as far as it matters: fades of
// one cue application that touch different channels are kept side by side
// per timing, as plain arrays, not one object each.
class ChannelFadeSet {
 public:
  // Fades are staged one by one, in creation order, and kept by Commit as
  // one cue application. `timingKey` tells apart the timing records of that
  // application; fades with the same key share rise, hold and fall.
  void Stage(uint16_t channel, uint16_t fineChannel, uint16_t from, uint16_t to, int32_t timingKey,
             int32_t rise, int32_t hold, int32_t fall) {
    // The arrays written each frame have 512 channels and no room beyond.
    if (channel >= kDmxChannels) return;
    if (fineChannel >= kDmxChannels) fineChannel = kNoFineChannel;
    // Written field by field in place: a record built aside and copied in
    // stalls on every fade of a cue step.
    Staged& s = staged_.emplace_back();
    s.channel = channel;
    s.fine = fineChannel;
    s.from = from;
    s.to = to;
    s.key = timingKey;
    s.rise = rise;
    s.hold = hold;
    s.fall = fall;
  }
  void Commit();

  // One frame: every fade advances by `step` ms (unless paused) and writes
  // its channels; a later fade on a channel written this frame adds its own
  // movement. Finished fades are dropped.
  void Update(uint8_t* values, int32_t step);
  // Rising and holding fades freeze at their present value and fall back.
  void Release();
  // all false spares fades that have been falling for more than 250 ms.
  void SetPaused(bool pause, bool all);
  void Clear();

  bool empty() const { return groups_.empty(); }
  size_t size() const { return channel_.size(); }
  // Coarse, then fine channel of every fade, in creation order of the
  // applications; `add` is called once per channel.
  template <typename Add>
  void ForEachChannel(Add add) const {
    for (size_t i = 0; i < channel_.size(); ++i) {
      add(channel_[i]);
      if (fine_[i] != kNoFineChannel) add(fine_[i]);
    }
  }

 private:
  struct Group {
    FadeTiming timing;
    uint32_t begin;  // first fade in the arrays below
    uint32_t count;
    int32_t key;  // the timing key it was staged with
    bool wide;    // coarse/fine pairs
    // Fades of an application that touches a channel twice keep their order;
    // the others are sorted with the first writers of their channels first.
    bool inOrder;
    uint32_t firstWriters;
  };
  struct Staged {
    uint16_t channel, fine, from, to;
    int32_t key, rise, hold, fall;
  };

  void MarkFirstWriters();
  void DropFinished();
  // Values of the fades of a group while it ramps from a to b.
  void Ramp(const Group& group, const uint16_t* a, const uint16_t* b, int64_t part, int64_t whole);
  void Write(const Group& group, uint8_t* values, const uint16_t* levels) const;
  void SwapFades(size_t i, size_t j);

  std::vector<Group> groups_;
  // Per fade, grouped: channel, fine channel (kNoFineChannel for none), 8.8
  // start and target, and whether it is the first fade of the layer on its
  // channel (it sets the channel; later ones add to it).
  std::vector<uint16_t> channel_, fine_, from_, to_;
  std::vector<uint8_t> firstWriter_;
  // firstWriter_ holds for the first markedFades_ fades, and hasWriter_
  // marks the channels they write; rescan_ says both must start over.
  size_t markedFades_ = 0;
  uint8_t hasWriter_[kDmxChannels] = {};
  bool rescan_ = false;
  std::vector<Staged> staged_;
  std::vector<uint32_t> staging_;  // the group of each staged fade
  std::vector<uint16_t> ramp_;     // one frame's ramp values of one group
};
