#pragma once
// The engine's tick: rules, then sends, then the status files on their pass
// counts. In Klock mode the pass is 1 ms and the work runs only when one
// watched stream changed or its time-out ran out.
#include <cstdint>

extern int KlockStream;   // -1: Klock mode off
extern int KlockTimeout;  // in units of 40 passes

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
