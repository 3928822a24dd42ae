#pragma once
// The one hand-set clock of the timing tests: UseFakeClock puts it in place
// at `start`, and a test moves FakeNow to let time pass. The process-state
// reset puts the real clock back after every test.
#include "support/clock.h"

inline struct timeval FakeNow;

inline void UseFakeClock(struct timeval start) {
  FakeNow = start;
  SetClockForTesting([] { return FakeNow; });
}
