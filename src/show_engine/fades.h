#pragma once
// Level fades move a layer's level; channel fades move one channel, or a
// coarse/fine pair, through rise, hold and fall. Values inside channel fades
// are 8.8 numbers: coarse x 256 + fine.
#include <cstdint>

constexpr uint16_t kNoFineChannel = 65535;

class LevelFade {
 public:
  LevelFade(int32_t from, int32_t to, int32_t time, int32_t delay);
  int32_t GetValue() const;
  void Advance();
  bool IsComplete() const;

  int32_t from;
  int32_t to;
  int32_t time;
  int32_t elapsed = 0;
  int32_t delay;
};

class ChannelFade {
 public:
  // A negative fall makes a fade that stays at its target ("forever").
  ChannelFade(uint16_t channel, uint8_t fromValue, uint8_t toValue, int32_t rise, int32_t hold,
              int32_t fall, bool paused);
  ChannelFade(uint16_t channel, uint16_t fineChannel, uint8_t fromCoarse, uint8_t fromFine,
              uint8_t toCoarse, uint8_t toFine, int32_t rise, int32_t hold, int32_t fall,
              bool paused);

  int32_t GetValue() const;
  // Freezes a rising or holding fade at its present value and jumps to the
  // start of its fall; returns the ms skipped (0 when already falling).
  int32_t Release();
  void Advance();
  bool IsFinished() const;
  // rise + hold + fall taken wide: a show may carry times near the i32 limit.
  int64_t TotalTime() const;

  uint16_t channel;
  uint16_t fineChannel;
  int32_t from;
  int32_t to;
  int32_t rise;
  int32_t hold;
  int32_t fall;
  int32_t elapsed = 0;
  uint8_t paused;
  uint8_t forever;
};
