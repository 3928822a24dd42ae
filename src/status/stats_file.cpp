#include "status/stats_file.h"

#include <glog/logging.h>

#include <mutex>

#include "support/status_file.h"
#include "streams/stream_table.h"

void WriteStatsTo(FILE* out) {
  ForEachStream([out](uint32_t, Stream& s) {
    // The receivers count under the stream's lock while they write.
    uint32_t writes;
    uint32_t changes;
    {
      std::lock_guard<std::mutex> lock(s.changedMutex);
      writes = s.writeCount;
      changes = s.changeCount;
    }
    // Kilobytes are the 32-bit product, wrapped: the front end reads them so.
    uint32_t kb = (s.bufferSize * writes) >> 10;
    std::fprintf(out, "%d,%d,%d,%d Kb\n", static_cast<int>(s.statsId), static_cast<int>(writes),
                 static_cast<int>(changes), static_cast<int>(kb));
  });
}

void WriteStats() {
  RewriteStatusFile("/tmp/stats.dat", "Can't open Stats Log", [](FILE* out) {
    VLOG(2) << "Writing Stats.";
    WriteStatsTo(out);
  });
}
