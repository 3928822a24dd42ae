// The two status files the front end reads: their exact lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "file_text.h"
#include "status/stats_file.h"
#include "process_state.h"
#include "support/status_file.h"
#include "stream.h"
#include "temp_folder.h"
#include "status/unmatched_table.h"

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

// The lines themselves, and one unmatched entry per source, are covered on
// the real binary; what stays here is the arithmetic and the table's bound.
TEST(StatusFiles, StatsKilobytesWrapWithThe32BitProduct) {
  AddStream(kStreamVirtual, "\n");
  StreamTable[0]->writeCount = 8388609;  // 512 * this = 2^32 + 512
  EXPECT_EQ(Capture(WriteStatsTo), "0,8388609,0,0 Kb\n");
}

TEST(StatusFiles, AFullUnmatchedTableDropsNewUniversesUntilTheDump) {
  for (uint32_t u = 0; u <= 50; ++u) AddUnmatchedStream(kProtocolArtnet, u, nullptr);
  EXPECT_EQ(UnmatchedCount, 50u);
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo).find("1,50\n"), std::string::npos);
  AddUnmatchedStream(kProtocolArtnet, 50, nullptr);
  EXPECT_EQ(Capture(WriteUnmatchedStatsTo), "1,50\n");
}

// A repeat of the universe just recorded skips the table; every step below
// must still list exactly what a fresh walk of the table would.
TEST(StatusFiles, RepeatedUnmatchedUniversesAreListedOnceAndAgainAfterTheDump) {
  static const uint8_t kCidA[16] = {0xA1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  static const uint8_t kCidB[16] = {0xB2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  static const char kCidAText[] = ",A1020304-0506-0708-090A-0B0C0D0E0F10";
  static const char kCidBText[] = ",B2020304-0506-0708-090A-0B0C0D0E0F10";
  struct Add {
    uint32_t protocol, universe;
    const uint8_t* cid = nullptr;
  };
  // The adds between two dumps, and the second dump's text: one line per
  // protocol and universe, and for sACN per source.
  const struct { std::vector<Add> adds; std::string dump; } rounds[] = {
      {{{kProtocolArtnet, 7}, {kProtocolArtnet, 7}, {kProtocolQsp, 7}, {kProtocolSacn, 7, kCidA},
        {kProtocolSacn, 7, kCidA}, {kProtocolSacn, 7, kCidB}, {kProtocolSacn, 7, kCidA}},
       std::string("1,7\n2,7\n3,7") + kCidAText + "\n3,7" + kCidBText + "\n"},
      {{{kProtocolSacn, 7, kCidA}}, std::string("3,7") + kCidAText + "\n"},  // the last add again
      {{{kProtocolArtnet, 8}, {kProtocolArtnet, 9}, {kProtocolArtnet, 8}}, "1,8\n1,9\n"},
  };
  for (const auto& r : rounds) {
    for (const Add& a : r.adds) AddUnmatchedStream(a.protocol, a.universe, a.cid);
    EXPECT_EQ(Capture(WriteUnmatchedStatsTo), r.dump);
  }
  // An emptying by the test fixture counts as a dump too.
  AddUnmatchedStream(kProtocolArtnet, 8, nullptr);
  ClearUnmatchedTable();
  AddUnmatchedStream(kProtocolArtnet, 8, nullptr);
  EXPECT_EQ(UnmatchedCount, 1u);
}

TEST(StatusFiles, ConcurrentAddsNeverOverrunTheTable) {
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

// Two versions of a file past one page, as 256 streams make it; the rewrite
// below alternates them.
std::string Version(char digit) {
  std::string text;
  for (int i = 0; i < 256; ++i) text += std::to_string(i) + "," + std::string(20, digit) + " Kb\n";
  return text;
}
const std::string kVersions[2] = {Version('1'), Version('2')};
int Rewrites = 0;

// The front end reads through the path, which may be a link to where it
// keeps its files.
TEST(StatusFiles, APollingReaderSeesTheOldOrTheNewFileWhole) {
  for (bool throughLink : {false, true}) {
    SCOPED_TRACE(throughLink ? "through a link" : "plain file");
    TempFolder folder;
    const std::string path = folder.Path("stats.dat");
    const std::string file = throughLink ? folder.Path("stats-target.dat") : path;
    if (throughLink) std::filesystem::create_symlink(file, path);
    auto rewrite = [&path] {
      RewriteStatusFile(path.c_str(), "cannot write", [](FILE* out) {
        std::fputs(kVersions[Rewrites++ % 2].c_str(), out);
      });
    };
    rewrite();
    std::atomic<bool> done{false};
    std::atomic<bool> cut{false};
    std::string seen;
    std::thread reader([&] {
      while (!done.load() && !cut.load()) {
        seen = FileText(path);
        if (seen != kVersions[0] && seen != kVersions[1]) cut = true;
      }
    });
    for (int i = 0; i < 2000 && !cut.load(); ++i) rewrite();
    done = true;
    reader.join();
    EXPECT_FALSE(cut.load()) << "a read of " << seen.size() << " bytes";
    EXPECT_FALSE(std::filesystem::exists(file + ".new")) << "left behind";
    EXPECT_EQ(std::filesystem::is_symlink(path), throughLink);
  }
}

// What stands at the path decides where the new contents land, or that none
// can: the engine then ends as when the file cannot be opened.
TEST(StatusFiles, TheRewriteFollowsLinksAndRefusesPathsNoFileCanReplace) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    void (*prepare)(const fs::path& dir);
    const char* landsIn;  // the file that gets the contents; null: refused
  };
  const Case cases[] = {
      {"nothing there", [](const fs::path&) {}, "status.dat"},
      {"an old file",
       [](const fs::path& d) { std::ofstream(d / "status.dat") << "old\n"; }, "status.dat"},
      {"a link to a file in another folder",
       [](const fs::path& d) {
         fs::create_directory(d / "front");
         std::ofstream(d / "front/status.dat") << "old\n";
         fs::create_symlink(d / "front/status.dat", d / "status.dat");
       },
       "front/status.dat"},
      // Each relative link counts from its own folder, whatever the current one.
      {"relative links in a chain, the last naming no file yet",
       [](const fs::path& d) {
         fs::create_directory(d / "front");
         fs::create_symlink("front/a.dat", d / "status.dat");
         fs::create_symlink("b.dat", d / "front/a.dat");
       },
       "front/b.dat"},
      {"a folder",
       [](const fs::path& d) { fs::create_directory(d / "status.dat"); }, nullptr},
      {"a link into a missing folder",
       [](const fs::path& d) { fs::create_symlink(d / "gone/status.dat", d / "status.dat"); },
       nullptr},
      {"a link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "front");
         fs::create_symlink(d / "front", d / "status.dat");
       },
       nullptr},
      {"links that go round",
       [](const fs::path& d) {
         fs::create_symlink("other.dat", d / "status.dat");
         fs::create_symlink("status.dat", d / "other.dat");
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const fs::path dir = folder.path();
    c.prepare(dir);
    const bool wasLink = fs::is_symlink(dir / "status.dat");
    bool replaced = TryRewriteStatusFile((dir / "status.dat").c_str(),
                                         [](FILE* out) { std::fputs("0,1,2,3 Kb\n", out); });
    EXPECT_EQ(replaced, c.landsIn != nullptr);
    if (c.landsIn != nullptr) {
      EXPECT_EQ(FileText(dir / c.landsIn), "0,1,2,3 Kb\n");
    }
    EXPECT_EQ(fs::is_symlink(dir / "status.dat"), wasLink);
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      EXPECT_NE(entry.path().extension(), ".new") << entry.path() << " left behind";
    }
  }
}

}  // namespace
