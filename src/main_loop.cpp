#include "main_loop.h"

#include <glog/logging.h>
#include <unistd.h>

#include "rule.h"
#include "status/stats_file.h"
#include "streams/network_streams.h"
#include "streams/stream_table.h"
#include "status/unmatched_table.h"

int KlockStream = -1;
int KlockTimeout = kDefaultKlockTimeout;

namespace {

// A stream that really sends clears its flag as it takes its data; the rule
// pass took the flag of every other stream it read. What neither took is
// cleared here.
void SendAndClear(Stream* s, uint32_t force, uint32_t klock) {
  s->Send(force, klock);
  if (!s->SendsData()) s->ClearUntaken();
}

void SendAll(uint32_t force, uint32_t klock) {
  ForEachStream([=](uint32_t, Stream& s) { SendAndClear(&s, force, klock); });
}

void ProcessAllRules(uint32_t force) {
  for (uint32_t i = 0; i < RuleCount; ++i) RuleTable[i]->Process(force);
}

// A watched stream outside the table never changes: Klock then runs on its
// timer alone. The watch takes the stream like a rule does, so a write
// landing during the pass wakes the next one.
bool KlockStreamChanged() {
  if (KlockStream < 0) return false;
  Stream* s = StreamAt(static_cast<uint32_t>(KlockStream));
  return s != nullptr && s->TakeForRules().changed;
}

}  // namespace

uint32_t RunMainLoopPass(MainLoopState* st, const MainLoopOutputs& outputs) {
  bool klockMode = KlockStream != -1;
  BeginRulePass();
  if (klockMode) {
    VLOG(4) << "Klock Mode Processing";
    uint64_t limit = uint64_t{kTicksPerSecond} * static_cast<uint32_t>(KlockTimeout);
    if (KlockStreamChanged() || st->klockTimer > limit) {
      VLOG(3) << "Klock Mode Stream Changed, TIMER:" << st->klockTimer;
      ProcessAllRules(1);
      SendAll(st->force, 1);
      st->klockTimer = 0;
    }
  } else {
    VLOG(4) << "Processing rules";
    ProcessAllRules(st->force);
    VLOG(4) << "Processing streams";
    SendAll(st->force, 0);
  }

  if (st->statsCounter >= kStatsPeriodPasses) {
    VLOG(3) << "Time is up running stats dump";
    outputs.writeStats();
    if (st->force == 0) {
      ForEachStream([](uint32_t, Stream& s) {
        const NetworkEndpoint* n = s.As<NetworkEndpoint>();
        if (n != nullptr && n->protocol == kProtocolSacn) s.Send(1, 0);
      });
    }
    st->statsCounter = 0;
  }

  if (st->unmatchedCounter >= kUnmatchedPeriodPasses) {
    VLOG(3) << "Time is up running stats dump and forcing rules";
    outputs.writeUnmatchedStats();
    st->unmatchedCounter = 0;
    st->force = 1;
  } else {
    st->force = 0;
  }

  VLOG(4) << "Main loop timer: " << st->statsCounter << " " << st->unmatchedCounter << " "
          << st->klockTimer;
  st->statsCounter += 1;
  st->unmatchedCounter += 1;
  st->klockTimer += 1;
  return klockMode ? kKlockPassSleepUs : kNormalPassSleepUs;
}

void RunMainLoop() {
  MainLoopState state;
  const MainLoopOutputs outputs = {WriteStats, WriteUnmatchedStats};
  for (;;) {
    uint32_t sleepUs = RunMainLoopPass(&state, outputs);
    usleep(sleepUs);
  }
}
