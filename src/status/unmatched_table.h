#pragma once
// Incoming universes that matched no input stream, gathered by the receivers
// and listed for the front end in /tmp/unmatched_stats.dat.
#include <cstdint>
#include <cstdio>

struct UnmatchedEntry {
  uint32_t protocol;  // NetProtocol
  uint32_t universe;
  uint8_t cid[16];    // sACN source CID; zero for the other protocols
};

constexpr uint32_t kUnmatchedTableSize = 50;
extern UnmatchedEntry UnmatchedTable[kUnmatchedTableSize];
extern uint32_t UnmatchedCount;

// Records a universe once (per CID when one is given); a full table drops it.
void AddUnmatchedStream(uint32_t protocol, uint32_t universe, const uint8_t* cid);

// Empties the table.
void ClearUnmatchedTable();

// Writes one line per entry to `out` and empties the table, as one step.
void WriteUnmatchedStatsTo(FILE* out);

// Rewrites /tmp/unmatched_stats.dat and empties the table.
void WriteUnmatchedStats();
