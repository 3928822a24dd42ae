#include "stats_file.h"

#include <glog/logging.h>

#include "stream_table.h"

void WriteStatsTo(FILE* out) {
  ForEachStream([out](uint32_t, const Stream& s) {
    // Kilobytes wrap with the product, as the front end has always seen them.
    uint32_t kb = (s.bufferSize * s.writeCount) >> 10;
    std::fprintf(out, "%d,%d,%d,%d Kb\n", static_cast<int>(s.statsId),
                 static_cast<int>(s.writeCount), static_cast<int>(s.changeCount),
                 static_cast<int>(kb));
  });
}

void WriteStats() {
  FILE* out = std::fopen("/tmp/stats.dat", "w+");
  if (out == nullptr) LOG(FATAL) << "Can't open Stats Log";
  VLOG(2) << "Writing Stats.";
  WriteStatsTo(out);
  std::fclose(out);
}
