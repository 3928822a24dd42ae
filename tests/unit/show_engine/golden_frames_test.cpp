// Every frame of a set of shows, compared with frames recorded from an
// earlier build of the engine: any change to the frame computation must keep
// the output identical to the byte. To record again (only when the output is
// meant to change):
//   CORVANTA_RECORD_GOLDEN=$PWD/tests/unit/show_engine/golden_frames.txt
//   build/tests/unit_tests --gtest_filter='GoldenFrames.*'
// (the variable set for the run).
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "show_engine/show_scripts.h"

namespace {

using show_scripts::Script;

std::vector<Script> Scripts() {
  std::vector<Script> scripts = {show_scripts::LargeShowScript(120)};
  for (Script& script : show_scripts::SmallScripts()) scripts.push_back(std::move(script));
  return scripts;
}

uint64_t FrameHash(const uint8_t* frame) {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (uint32_t i = 0; i < kEngineChannels; ++i) {
    hash = (hash ^ frame[i]) * 0x100000001B3ull;
  }
  return hash;
}

std::string FrameText(const uint8_t* frame) {
  std::string text;
  char cell[4];
  for (uint32_t i = 0; i < kEngineChannels; ++i) {
    std::snprintf(cell, sizeof(cell), "%02x", frame[i]);
    text += (i % 32 == 0 ? "\n  " : " ") + std::string(cell);
  }
  return text;
}

std::string GoldenPath() {
  return std::string(CORVANTA_TEST_DATA) + "/show_engine/golden_frames.txt";
}

// "script <name> <frames>" then one hex hash a line.
std::map<std::string, std::vector<uint64_t>> ReadGolden(std::istream& in) {
  std::map<std::string, std::vector<uint64_t>> golden;
  std::vector<uint64_t>* current = nullptr;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("script ", 0) == 0) {
      std::istringstream words(line.substr(7));
      std::string name;
      words >> name;
      current = &golden[name];
    } else if (current) {
      current->push_back(std::strtoull(line.c_str(), nullptr, 16));
    }
  }
  return golden;
}

TEST(GoldenFrames, EveryFrameOfEveryScriptAsRecorded) {
  const std::vector<Script> scripts = Scripts();
  const char* record = std::getenv("CORVANTA_RECORD_GOLDEN");
  std::ofstream out;
  std::map<std::string, std::vector<uint64_t>> golden;
  if (record) {
    out.open(record);
    out << "# Show frames as the engine computed them, one FNV-1a hash a frame.\n"
           "# Written by golden_frames_test.cpp; see there before recording again.\n";
  } else {
    std::ifstream file(GoldenPath());
    ASSERT_TRUE(file.is_open()) << GoldenPath();
    golden = ReadGolden(file);
    ASSERT_EQ(golden.size(), scripts.size()) << "a recorded script is no longer played";
  }
  for (const Script& script : scripts) {
    const std::vector<uint64_t>& expected = golden[script.name];
    if (record) {
      out << "script " << script.name << " " << script.frames << "\n";
    } else {
      ASSERT_EQ(expected.size(), static_cast<size_t>(script.frames)) << script.name;
    }
    bool reported = false;
    show_scripts::Play(script, [&](int f, const uint8_t* frame) {
      const uint64_t hash = FrameHash(frame);
      if (record) {
        char hex[20];
        std::snprintf(hex, sizeof(hex), "%016" PRIx64, hash);
        out << hex << "\n";
      } else if (!reported && hash != expected[static_cast<size_t>(f)]) {
        reported = true;  // the first difference says most; the rest follow from it
        ADD_FAILURE() << script.name << ": frame " << f << " differs from the recording; it is"
                      << FrameText(frame);
      }
    });
  }
  if (record) {
    ASSERT_TRUE(out.good()) << record;
    GTEST_SKIP() << "recorded into " << record;
  }
}

}  // namespace
