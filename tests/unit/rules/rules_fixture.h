#pragma once
// Streams and rules live in global tables; each test builds its own (the
// process state is reset around every test).
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "support/clock.h"
#include "main_loop.h"
#include "rule.h"
#include "startup/rules_file.h"
#include "stream.h"
#include "process_state.h"

class RulesTest : public ::testing::Test {
 protected:
  using Frame = std::vector<uint8_t>;

  Stream* AddStream(uint32_t kind = kStreamVirtual) { return ::AddStream(kind, "000000000000\n"); }

  void AddStreams(uint32_t n) { while (n-- > 0) AddStream(); }

  static Stream* S(uint32_t i) { return StreamTable[i]; }

  static Frame Bytes(const Stream* s, uint32_t from, uint32_t n) {
    return Frame(s->data + from, s->data + from + n);
  }

  // A rule as the loader builds it, kept in the table so the fixture frees it.
  Rule* AddRule(uint32_t kind, std::string_view text) {
    return RuleTable[RuleCount++] = new Rule(kind, text);
  }

  // Writes channels from 0 on the way a receiver does (flag set).
  static void Feed(Stream* s, std::initializer_list<uint8_t> values) {
    uint8_t frame[kDmxChannels];
    std::memcpy(frame, s->data, kDmxChannels);
    std::copy(values.begin(), values.end(), frame);
    s->Write(frame, kDmxChannels, 0);
  }

  // What the main loop does to every stream after its sends.
  static void EndPass() { for (uint32_t i = 0; i < StreamCount; ++i) S(i)->ClearChanged(); }

  static void RunRules(uint32_t force) {
    BeginRulePass();
    for (uint32_t i = 0; i < RuleCount; ++i) RuleTable[i]->Process(force);
  }

  RulesTest() { StatsWrites = UnmatchedWrites = 0; }

  // `n` main-loop passes, counting the status-file writes; the sleep the last
  // one asked for.
  uint32_t Passes(int n) {
    uint32_t sleep = 0;
    for (int i = 0; i < n; ++i) {
      sleep = RunMainLoopPass(&state, {[] { ++StatsWrites; }, [] { ++UnmatchedWrites; }});
    }
    return sleep;
  }
  MainLoopState state;
  static inline int StatsWrites = 0;
  static inline int UnmatchedWrites = 0;

  // One rules pass, then what it left in one channel.
  static uint8_t RunAndRead(uint32_t force, uint32_t stream, uint32_t channel = 0) {
    RunRules(force);
    return S(stream)->data[channel];
  }
};
