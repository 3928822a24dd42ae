#include "status/unmatched_table.h"

#include <glog/logging.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "support/status_file.h"
#include "stream.h"

UnmatchedEntry UnmatchedTable[kUnmatchedTableSize];
uint32_t UnmatchedCount;

namespace {
// The receivers add from their threads while the main thread dumps and
// empties; one lock keeps every entry whole and the count within bounds.
std::mutex UnmatchedMutex;
// Raised under the lock by every emptying of the table.
std::atomic<uint32_t> UnmatchedClears{0};

// The last universe this receive thread recorded (or found recorded, or saw
// dropped by a full table), and at which emptying. A source of a universe
// nothing takes sends it 44 times a second; its repeats leave the table as
// it is, and find that out here without the lock.
struct LastUnmatched {
  bool valid = false;
  uint32_t clears = 0;
  uint32_t protocol = 0;
  uint32_t universe = 0;
  uint8_t cid[16] = {};
};
thread_local LastUnmatched LastAdded;

bool IsLastAdded(uint32_t protocol, uint32_t universe, const uint8_t* cid) {
  const LastUnmatched& last = LastAdded;
  return last.valid && last.clears == UnmatchedClears.load(std::memory_order_acquire) &&
         last.protocol == protocol && last.universe == universe &&
         (cid == nullptr || std::memcmp(last.cid, cid, 16) == 0);
}

// Under the lock.
void EmptyTable() {
  UnmatchedClears.fetch_add(1, std::memory_order_release);
  for (auto& e : UnmatchedTable) e.protocol = 0;
  UnmatchedCount = 0;
}
}  // namespace

void AddUnmatchedStream(uint32_t protocol, uint32_t universe, const uint8_t* cid) {
  if (IsLastAdded(protocol, universe, cid)) return;
  static const uint8_t kNoCid[16] = {};
  const uint8_t* entryCid = cid != nullptr ? cid : kNoCid;
  std::lock_guard<std::mutex> lock(UnmatchedMutex);
  LastAdded.valid = true;
  LastAdded.clears = UnmatchedClears.load(std::memory_order_relaxed);
  LastAdded.protocol = protocol;
  LastAdded.universe = universe;
  std::memcpy(LastAdded.cid, entryCid, 16);
  if (UnmatchedCount >= kUnmatchedTableSize) return;
  for (uint32_t i = 0; i < UnmatchedCount; ++i) {
    const UnmatchedEntry& e = UnmatchedTable[i];
    if (e.protocol != protocol || e.universe != universe) continue;
    if (cid == nullptr || std::memcmp(e.cid, entryCid, 16) == 0) return;
  }
  UnmatchedEntry& e = UnmatchedTable[UnmatchedCount];
  e.protocol = protocol;
  e.universe = universe;
  std::memcpy(e.cid, entryCid, 16);
  UnmatchedCount += 1;
}

void ClearUnmatchedTable() {
  std::lock_guard<std::mutex> lock(UnmatchedMutex);
  EmptyTable();
}

void WriteUnmatchedStatsTo(FILE* out) {
  UnmatchedEntry snapshot[kUnmatchedTableSize];
  uint32_t count;
  {
    std::lock_guard<std::mutex> lock(UnmatchedMutex);
    count = UnmatchedCount;
    std::memcpy(snapshot, UnmatchedTable, sizeof(UnmatchedEntry) * count);
    EmptyTable();
  }
  for (uint32_t i = 0; i < count; ++i) {
    const UnmatchedEntry& e = snapshot[i];
    std::fprintf(out, "%d,%d", static_cast<int>(e.protocol), static_cast<int>(e.universe));
    if (e.protocol == kProtocolSacn) {
      const uint8_t* c = e.cid;
      std::fprintf(out,
                   ",%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                   c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11],
                   c[12], c[13], c[14], c[15]);
    }
    std::fputc('\n', out);
  }
}

void WriteUnmatchedStats() {
  RewriteStatusFile("/tmp/unmatched_stats.dat", "Can't open Unmatched Stats Log", [](FILE* out) {
    VLOG(2) << "Writing Unmatched Stats.";
    WriteUnmatchedStatsTo(out);
  });
}
