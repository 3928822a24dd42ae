// Every frame of a set of shows, compared with frames recorded from an
// earlier build of the engine: any change to the frame computation must keep
// the output identical to the byte. To record again (only when the output is
// meant to change):
//   CORVANTA_RECORD_GOLDEN=$PWD/tests/unit/show_engine/golden_frames.txt
//   build/tests/unit_tests --gtest_filter='GoldenFrames.*'
// (the variable set for the run).
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "show_engine/show_scripts.h"

namespace {

using show_scripts::Script;

std::string FrameHash(const uint8_t* frame) {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (uint32_t i = 0; i < kEngineChannels; ++i) {
    hash = (hash ^ frame[i]) * 0x100000001B3ull;
  }
  char hex[20];
  std::snprintf(hex, sizeof(hex), "%016" PRIx64, hash);
  return hex;
}

TEST(GoldenFrames, EveryFrameOfEveryScriptAsRecorded) {
  std::vector<Script> scripts = {show_scripts::LargeShowScript(120)};
  for (Script& script : show_scripts::SmallScripts()) scripts.push_back(std::move(script));
  // The recording's lines as this build computes them: "script <name>
  // <frames>", then one hash a frame; and which frame each line stands for.
  std::vector<std::string> lines, where;
  for (const Script& script : scripts) {
    lines.push_back("script " + script.name + " " + std::to_string(script.frames));
    where.push_back(script.name);
    show_scripts::Play(script, [&](int f, const uint8_t* frame) {
      lines.push_back(FrameHash(frame));
      where.push_back(script.name + ", frame " + std::to_string(f));
    });
  }

  if (const char* record = std::getenv("CORVANTA_RECORD_GOLDEN")) {
    std::ofstream out(record);
    out << "# Show frames as the engine computed them, one FNV-1a hash a frame.\n"
           "# Written by golden_frames_test.cpp; see there before recording again.\n";
    for (const std::string& line : lines) out << line << "\n";
    ASSERT_TRUE(out.good()) << record;
    GTEST_SKIP() << "recorded into " << record;
  }
  const std::string path = std::string(CORVANTA_TEST_DATA) + "/show_engine/golden_frames.txt";
  std::ifstream file(path);
  ASSERT_TRUE(file.is_open()) << path;
  std::vector<std::string> recorded;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') recorded.push_back(line);
  }
  // The first difference says most; the rest follow from it.
  const auto [computed, expected] =
      std::mismatch(lines.begin(), lines.end(), recorded.begin(), recorded.end());
  if (computed != lines.end()) {
    ADD_FAILURE() << where[static_cast<size_t>(computed - lines.begin())] << " is " << *computed
                  << ", recorded " << (expected == recorded.end() ? "nothing" : *expected);
  } else {
    EXPECT_TRUE(expected == recorded.end())
        << "a recorded script is no longer played: " << *expected;
  }
}

}  // namespace
