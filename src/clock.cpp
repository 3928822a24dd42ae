#include "clock.h"

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
