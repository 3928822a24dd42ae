#pragma once
// /tmp/stats.dat: one line of counters per stream for the front end.
#include <cstdio>

// Writes one "%d,%d,%d,%d Kb" line per stream to `out`.
void WriteStatsTo(FILE* out);

// Rewrites /tmp/stats.dat.
void WriteStats();
