#pragma once
// One seam for the time of day, so that timeouts (priority hand-over, sACN
// source takeover) and change stamps can be driven by tests without sleeping.
#include <sys/time.h>

struct timeval ClockNow();

// Tests replace the clock; nullptr restores gettimeofday.
using ClockFunction = struct timeval (*)();
void SetClockForTesting(ClockFunction fn);
