#pragma once
// The engine's tick: rules, then sends, then the status files on their pass
// counts. In Klock mode the pass is 1 ms and the work runs only when one
// watched stream changed or its time-out ran out.
#include <cstdint>

// Normal passes in a second: the Klock time-out counts in these.
constexpr uint32_t kTicksPerSecond = 40;
constexpr uint32_t kNormalPassSleepUs = 25000;
constexpr uint32_t kKlockPassSleepUs = 1000;
// /tmp/stats.dat is rewritten every 13 passes, /tmp/unmatched_stats.dat every
// 120 (and the pass after that one runs forced); the front end polls both.
constexpr uint32_t kStatsPeriodPasses = 13;
constexpr uint32_t kUnmatchedPeriodPasses = 120;

constexpr int kDefaultKlockTimeout = 3;
constexpr int kMaxKlockTimeout = 360;  // a K line above this gets the default

extern int KlockStream;   // -1: Klock mode off
extern int KlockTimeout;  // in seconds' worth of normal passes

struct MainLoopState {
  uint32_t statsCounter = 0;
  uint32_t unmatchedCounter = 0;
  uint32_t klockTimer = 0;
  uint32_t force = 0;
};

// The status-file writers a pass calls; tests point them elsewhere.
struct MainLoopOutputs {
  void (*writeStats)();
  void (*writeUnmatchedStats)();
};

// One pass without its sleep. Returns the sleep that follows it, in us.
uint32_t RunMainLoopPass(MainLoopState* state, const MainLoopOutputs& outputs);

[[noreturn]] void RunMainLoop();
