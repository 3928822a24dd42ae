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

class StatusFiles : public ::testing::Test {
 protected:
  void SetUp() override { ClearUnmatchedTable(); }
  void TearDown() override {
    for (uint32_t i = 0; i < StreamCount; ++i) delete StreamTable[i];
    StreamCount = 0;
    ClearUnmatchedTable();
  }
};

TEST_F(StatusFiles, StatsLinePerStream) {
  EXPECT_EQ(Capture(WriteStatsTo), "");
  StreamTable[0] = new Stream(0, kStreamVirtual, "\n");
  StreamTable[1] = new Stream(1, kStreamLedrunnerPort, "000000000001\n");
  StreamTable[2] = new Stream(2, kStreamVirtual, "\n");
  StreamCount = 3;
  uint8_t frame[512] = {1};
  for (int i = 0; i < 3; ++i) StreamTable[0]->Write(frame, 512, 0);
  StreamTable[1]->Write(frame, 512, 0);
  StreamTable[2]->writeCount = 100;
  StreamTable[2]->changeCount = 3;
  EXPECT_EQ(Capture(WriteStatsTo), "0,3,1,1 Kb\n1,1,1,0 Kb\n2,100,3,50 Kb\n");
  // The kilobyte figure wraps with the 32-bit product, as it always has.
  StreamTable[2]->writeCount = 8388609;  // 512 * this = 2^32 + 512
  EXPECT_EQ(Capture(WriteStatsTo), "0,3,1,1 Kb\n1,1,1,0 Kb\n2,8388609,3,0 Kb\n");
}

TEST_F(StatusFiles, UnmatchedEntriesAreUniqueAndDumpEmptiesTheTable) {
  for (int i = 0; i < 100; ++i) AddUnmatchedStream(kProtocolArtnet, 7, nullptr);
  AddUnmatchedStream(kProtocolQsp, 7, nullptr);
  uint8_t cidA[16], cidB[16];
  for (int k = 0; k < 16; ++k) {
    cidA[k] = static_cast<uint8_t>(k);
    cidB[k] = static_cast<uint8_t>(0xF0 | k);
  }
  AddUnmatchedStream(kProtocolSacn, 9, cidA);
  AddUnmatchedStream(kProtocolSacn, 9, cidA);
  AddUnmatchedStream(kProtocolSacn, 9, cidB);
  EXPECT_EQ(UnmatchedCount, 4u);
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo),
            "1,7\n"
            "2,7\n"
            "3,9,00010203-0405-0607-0809-0A0B0C0D0E0F\n"
            "3,9,F0F1F2F3-F4F5-F6F7-F8F9-FAFBFCFDFEFF\n");
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo), "");

  // A full table drops new universes until the next dump.
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
