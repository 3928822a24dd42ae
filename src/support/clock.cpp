#include "support/clock.h"

#include <stdlib.h>
#include <time.h>

#include <atomic>

namespace {
std::atomic<ClockFunction> TestClock{nullptr};
}

struct timeval ClockNow() {
  ClockFunction fn = TestClock.load(std::memory_order_relaxed);
  if (fn != nullptr) return fn();
  struct timeval now;
  gettimeofday(&now, nullptr);
  return now;
}

void SetClockForTesting(ClockFunction fn) { TestClock.store(fn); }

void NameLocalTimeZone() {
  setenv("TZ", ":/etc/localtime", 0);
  tzset();
}
