#pragma once
// Generator streams in the global stream table, sharing the process-wide
// show engine; each test starts from no streams, no engine and the default
// grand master and speed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "show_engine/dmx_engine.h"
#include "stream.h"

// List 0: channel 0 rises to 255 over 1000 ms (10 after one frame, 20 after
// two). List 1: channel 1 at 77 at once, held for 100 s.
inline const char kTwoListShow[] =
    "ENDP 1 Cues 0 Cuelists 2 "
    "Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 -1 0 "
    "Cues 1 Cue 0 Vals 1 1 77 Oscs 0 Timing 1 0 0 0 -1 100000 "
    "DefVals 0 ChTypes 0 ChSubtypes 0";

class GeneratorTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  void Reset() {
    for (uint32_t i = 0; i < StreamCount; ++i) {
      delete StreamTable[i];
      StreamTable[i] = nullptr;
    }
    StreamCount = 0;
    DmxEngine::DestroyInstance();
    GrandMaster = 255;
    PlaybackSpeed = 10000;
  }

  // A show file under the test's temporary directory; returns its path.
  static std::string WriteShow(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f != nullptr) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path;
  }

  // The "C" line text after its letter, newline included.
  static std::string PlayerLine(const char* cueListField, const std::string& path) {
    return std::string("001") + cueListField + path + "\n";
  }

  Stream* AddStream(uint32_t kind, const std::string& text) {
    uint32_t id = StreamCount;
    StreamTable[id] = new Stream(id, kind, text);
    StreamCount = id + 1;
    return StreamTable[id];
  }

  Stream* AddShowPlayer() {
    return AddStream(kStreamGenerator, PlayerLine("000", WriteShow("show.txt", kTwoListShow)));
  }

  static DmxEngineLayer& List(int32_t id) { return *DmxEngine::GetInstance()->cuelistLayers.at(id); }
};
