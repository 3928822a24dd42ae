#pragma once
// One seam for the time of day, so that timeouts (priority hand-over, sACN
// source takeover) and change stamps can be driven by tests without sleeping.
#include <sys/time.h>

struct timeval ClockNow();

// Tests replace the clock; nullptr restores gettimeofday.
using ClockFunction = struct timeval (*)();
void SetClockForTesting(ClockFunction fn);

// Names the local time zone in TZ when nothing names it, before any thread
// starts. The logger asks mktime for the UTC offset on every line, and with
// TZ unset glibc frees and re-reads the zone each time, under a lock of its
// own that ThreadSanitizer cannot see; with TZ set, each call is a string
// compare. ":/etc/localtime" is the zone glibc would use anyway.
void NameLocalTimeZone();
