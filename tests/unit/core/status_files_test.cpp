// The two status files the front end reads: their exact lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "stats_file.h"
#include "stream.h"
#include "unmatched_table.h"

namespace {

std::string Capture(void (*write)(FILE*)) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  write(f);
  std::fclose(f);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

class StatusFiles : public ::testing::Test {};

// The lines themselves, and one unmatched entry per source, are covered on
// the real binary; what stays here is the arithmetic and the table's bound.
TEST_F(StatusFiles, StatsKilobytesWrapWithThe32BitProduct) {
  StreamTable[0] = new Stream(0, kStreamVirtual, "\n");
  StreamCount = 1;
  StreamTable[0]->writeCount = 8388609;  // 512 * this = 2^32 + 512
  EXPECT_EQ(Capture(WriteStatsTo), "0,8388609,0,0 Kb\n");
}

TEST_F(StatusFiles, AFullUnmatchedTableDropsNewUniversesUntilTheDump) {
  for (uint32_t u = 0; u <= 50; ++u) AddUnmatchedStream(kProtocolArtnet, u, nullptr);
  EXPECT_EQ(UnmatchedCount, 50u);
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo).find("1,50\n"), std::string::npos);
  AddUnmatchedStream(kProtocolArtnet, 50, nullptr);
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo), "1,50\n");
}

TEST_F(StatusFiles, ConcurrentAddsNeverOverrunTheTable) {
  std::vector<std::thread> receivers;
  for (int t = 0; t < 4; ++t) {
    receivers.emplace_back([t] {
      for (uint32_t u = 0; u < 2000; ++u) AddUnmatchedStream(kProtocolArtnet, u * 4 + t, nullptr);
    });
  }
  for (int i = 0; i < 200; ++i) {
    std::string dump = Capture(WriteUnmatchedStatsTo);
    EXPECT_LE(std::count(dump.begin(), dump.end(), '\n'), 50);
  }
  for (auto& r : receivers) r.join();
  EXPECT_LE(UnmatchedCount, 50u);
}

}  // namespace
