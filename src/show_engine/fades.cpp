#include "show_engine/fades.h"

#include "show_engine/engine_globals.h"

namespace {

// from + (to - from) x part / whole, truncating toward zero, without overflow
// for any times the fields can hold.
int32_t Ramp(int32_t from, int32_t to, int64_t part, int64_t whole) {
  return SaturateToInt32(from + (int64_t{to} - from) * part / whole);
}

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

ChannelFade::ChannelFade(uint16_t channel, uint8_t fromValue, uint8_t toValue, int32_t rise,
                         int32_t hold, int32_t fall, bool paused)
    : ChannelFade(channel, kNoFineChannel, fromValue, 0, toValue, 0, rise, hold, fall, paused) {}

ChannelFade::ChannelFade(uint16_t channel, uint16_t fineChannel, uint8_t fromCoarse,
                         uint8_t fromFine, uint8_t toCoarse, uint8_t toFine, int32_t rise,
                         int32_t hold, int32_t fall, bool paused)
    : channel(channel),
      fineChannel(fineChannel),
      from(fromCoarse * 256 + fromFine),
      to(toCoarse * 256 + toFine),
      rise(rise),
      hold(hold),
      fall(fall < 0 ? 0 : fall),
      paused(paused ? 1 : 0),
      forever(fall < 0 ? 1 : 0) {}

int64_t ChannelFade::TotalTime() const { return int64_t{rise} + hold + fall; }

int32_t ChannelFade::GetValue() const {
  const int64_t e = elapsed;
  if (e < rise) return Ramp(from, to, e, rise);
  if (forever) return to;
  if (e >= TotalTime()) return from;
  const int64_t riseHold = int64_t{rise} + hold;
  if (e <= riseHold) return to;
  return Ramp(to, from, e - riseHold, fall);
}

int32_t ChannelFade::Release() {
  const int64_t riseHold = int64_t{rise} + hold;
  if (elapsed > riseHold) return 0;
  to = GetValue();
  const int32_t skipped = SaturateToInt32(riseHold - elapsed);
  elapsed = SaturateToInt32(riseHold);
  return skipped;
}

void ChannelFade::Advance() {
  if (!paused) elapsed = SaturateToInt32(int64_t{elapsed} + FrameStep());
}

bool ChannelFade::IsFinished() const { return elapsed >= TotalTime(); }
