// Frames between the receive threads and the rule pass: a reader never gets
// half of one frame and half of the next, and a frame written while a pass
// runs is carried by the next pass, not dropped.
#include <atomic>
#include <thread>
#include <utility>

#include "rules/rules_fixture.h"

namespace {

// Frame n carries its number in slots 0-1 and n times an odd step in every
// other slot, so two frames less than 256 apart differ in every slot and any
// mix of them shows. Frame 0 is the empty frame a stream starts with.
void FillFrame(uint32_t n, uint8_t* frame) {
  frame[0] = static_cast<uint8_t>(n >> 8);
  frame[1] = static_cast<uint8_t>(n);
  for (uint32_t i = 2; i < kDmxChannels; ++i) frame[i] = static_cast<uint8_t>(n * (i | 1));
}

// Whether every slot belongs to the frame named in slots 0-1.
bool IsWhole(const uint8_t* frame) {
  uint8_t expected[kDmxChannels];
  FillFrame(static_cast<uint32_t>(frame[0] << 8 | frame[1]), expected);
  return std::memcmp(frame + 2, expected + 2, kDmxChannels - 2) == 0;
}

struct TornCase {
  const char* name;
  void (*write)(Stream*, const uint8_t*);
  void (*read)(uint8_t* out);  // reads stream 0 the way one consumer does
};

const TornCase kTornCases[] = {
    {"Art-Net receiver into the rule pass",
     [](Stream* s, const uint8_t* f) { s->WriteFrom(f, kDmxChannels, in_addr{}); },
     [](uint8_t* out) {
       BeginRulePass();
       std::memcpy(out, StreamTable[0]->TakeForRules().data, kDmxChannels);
     }},
    {"sACN receiver through a Forward rule",
     [](Stream* s, const uint8_t* f) { s->Write(f, kDmxChannels, 0); },
     [](uint8_t* out) {
       BeginRulePass();
       RuleTable[0]->Process(1);
       StreamTable[1]->CopyData(out, kDmxChannels);
     }},
    {"DMX input port into a QSP stream reply",
     [](Stream* s, const uint8_t* f) { s->Write(f, kDmxChannels, 1); },
     [](uint8_t* out) { StreamTable[0]->CopyData(out, kDmxChannels); }},
};

using FrameIntegrityTest = RulesTest;

TEST_F(FrameIntegrityTest, NoReaderSeesTwoFramesMixed) {
  constexpr int kReads = 20000;
  constexpr uint32_t kMinWrites = 200;  // the writer must really have raced the reads
  for (const TornCase& c : kTornCases) {
    SCOPED_TRACE(c.name);
    ResetProcessState();
    AddStreams(2);
    AddRule(kRuleForward, "000,001");
    std::atomic<bool> done{false};
    std::atomic<uint32_t> written{0};
    std::thread writer([&] {
      uint8_t frame[kDmxChannels];
      for (uint32_t n = 1; !done.load(std::memory_order_relaxed); ++n) {
        FillFrame(n, frame);
        c.write(StreamTable[0], frame);
        written.store(n, std::memory_order_relaxed);
      }
    });
    int torn = 0;
    for (int k = 0; k < kReads || written.load(std::memory_order_relaxed) < kMinWrites; ++k) {
      uint8_t out[kDmxChannels];
      c.read(out);
      if (!IsWhole(out)) ++torn;
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0);
  }
}

// A write that lands after the rule pass took its input: the first rule's
// destination write calls the clock, which delivers the late frame there.
uint8_t LateValue = 0;
struct timeval DeliverLateFrame() {
  if (LateValue != 0) {
    const uint8_t frame[kDmxChannels] = {std::exchange(LateValue, 0)};
    StreamTable[0]->Write(frame, kDmxChannels, 0);
  }
  return timeval{};
}

TEST_F(FrameIntegrityTest, AFrameWrittenDuringThePassIsCarriedByTheNext) {
  for (int klockStream : {-1, 0}) {  // a normal pass; a Klock pass watching the input
    SCOPED_TRACE(klockStream);
    ResetProcessState();
    AddStreams(3);
    AddRule(kRuleForward, "000,001");
    AddRule(kRuleForward, "000,002");
    KlockStream = klockStream;
    state = MainLoopState();
    SetClockForTesting(DeliverLateFrame);

    Feed(S(0), {10});
    LateValue = 20;
    Passes(1);
    // Both rules of one pass saw the same frame, though the second ran
    // after the late write.
    EXPECT_EQ((Frame{S(0)->data[0], S(1)->data[0], S(2)->data[0]}), (Frame{20, 10, 10}));
    EXPECT_TRUE(S(0)->IsChanged());
    Passes(1);
    EXPECT_EQ((Frame{S(1)->data[0], S(2)->data[0]}), (Frame{20, 20}));
    EXPECT_FALSE(S(0)->IsChanged());
  }
}

// A stream the rules write and read in the same pass: a reader after the
// writing rule sees the new frame, one before it the old. No flag outlives
// the pass.
TEST_F(FrameIntegrityTest, ChainedRulesSeeEarlierWritesOfTheSamePass) {
  AddStreams(4);
  AddRule(kRuleForward, "001,002");  // takes stream 1 before it changes
  AddRule(kRuleForward, "000,001");
  AddRule(kRuleForward, "001,003");  // reads it afresh
  Feed(S(0), {7});
  EXPECT_EQ(Passes(1), kNormalPassSleepUs);
  EXPECT_EQ((Frame{S(1)->data[0], S(2)->data[0], S(3)->data[0]}), (Frame{7, 0, 7}));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_FALSE(S(i)->IsChanged()) << i;
}

}  // namespace
