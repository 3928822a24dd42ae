// The pass counts of the main loop: when it dumps, forces and resends.
#include <gtest/gtest.h>

#include <vector>

#include "main_loop.h"
#include "stream.h"

namespace {

int StatsDumps;
int UnmatchedDumps;
void CountStats() { ++StatsDumps; }
void CountUnmatched() { ++UnmatchedDumps; }

class MainLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    StatsDumps = 0;
    UnmatchedDumps = 0;
    KlockStream = -1;
    KlockTimeout = 3;
  }
  void TearDown() override {
    for (uint32_t i = 0; i < StreamCount; ++i) delete StreamTable[i];
    StreamCount = 0;
    KlockStream = -1;
    KlockTimeout = 3;
  }
  Stream* AddVirtual() {
    uint32_t i = StreamCount;
    StreamTable[i] = new Stream(i, kStreamVirtual, "\n");
    StreamCount = i + 1;
    return StreamTable[i];
  }
  // Runs passes 1..n and returns the passes (numbered from 1) in which
  // `probe` became true.
  template <typename Probe>
  std::vector<int> Passes(int n, Probe probe) {
    std::vector<int> hits;
    for (int pass = 1; pass <= n; ++pass) {
      int before = probe();
      RunMainLoopPass(&state, outputs);
      if (probe() != before) hits.push_back(pass);
    }
    return hits;
  }

  MainLoopState state;
  MainLoopOutputs outputs{CountStats, CountUnmatched};
};

TEST_F(MainLoop, DumpsOnTheirPassCounts) {
  auto stats = Passes(40, [] { return StatsDumps; });
  EXPECT_EQ(stats, (std::vector<int>{14, 27, 40}));
  state = MainLoopState();
  auto unmatched = Passes(250, [] { return UnmatchedDumps; });
  EXPECT_EQ(unmatched, (std::vector<int>{121, 241}));
}

TEST_F(MainLoop, ForceFlagHoldsForThePassAfterAnUnmatchedDump) {
  std::vector<int> forced;
  for (int pass = 1; pass <= 250; ++pass) {
    if (state.force) forced.push_back(pass);
    RunMainLoopPass(&state, outputs);
  }
  EXPECT_EQ(forced, (std::vector<int>{122, 242}));
}

TEST_F(MainLoop, StreamsWithNowhereToSendAreClearedEachPass) {
  Stream* v = AddVirtual();
  v->WriteAt(0, 1);
  ASSERT_TRUE(v->IsChanged());
  EXPECT_EQ(RunMainLoopPass(&state, outputs), 25000u);
  EXPECT_FALSE(v->IsChanged());
}

TEST_F(MainLoop, KlockRunsOnChangeOrTimeout) {
  Stream* watched = AddVirtual();
  KlockStream = 0;
  KlockTimeout = 0;
  EXPECT_EQ(RunMainLoopPass(&state, outputs), 1000u);

  // Timeout 3: a quiet watched stream is processed every 121 passes; its
  // flag is left alone in between.
  KlockTimeout = 3;
  state = MainLoopState();
  std::vector<int> runs;
  for (int pass = 1; pass <= 250; ++pass) {
    uint32_t before = state.klockTimer;
    RunMainLoopPass(&state, outputs);
    if (state.klockTimer == 1 && before != 0) runs.push_back(pass);
  }
  EXPECT_EQ(runs, (std::vector<int>{122, 243}));

  watched->WriteAt(0, 9);
  RunMainLoopPass(&state, outputs);
  EXPECT_FALSE(watched->IsChanged());
  EXPECT_EQ(state.klockTimer, 1u);
}

TEST_F(MainLoop, KlockStreamOutsideTheTableIsTimerOnly) {
  AddVirtual();
  for (int watched : {5, -7, 1000}) {
    KlockStream = watched;
    KlockTimeout = 0;
    state = MainLoopState();
    RunMainLoopPass(&state, outputs);
    RunMainLoopPass(&state, outputs);
    EXPECT_EQ(state.klockTimer, 1u);
  }
}

}  // namespace
