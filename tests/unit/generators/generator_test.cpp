#include <gtest/gtest.h>

#include <string>

#include "generators/generator_fixture.h"
#include "show_engine/vistro_pro_thread.h"

namespace {

using Generator = GeneratorTest;

std::string Groups(int count, const char* group) {
  std::string s;
  for (int k = 0; k < count; ++k) s += group;
  return s;
}

TEST_F(Generator, LocalLinesOfEveryType) {
  struct Row {
    std::string text;
    uint32_t type;
    uint8_t v0, v1, v2, v511;
    const char* why;
  } rows[] = {
      {"000" + Groups(512, "255") + "\n", kGeneratorFixed, 255, 255, 255, 255, "all 255"},
      {"000300001002" + Groups(509, "007") + "\n", kGeneratorFixed, 44, 1, 2, 7, "low 8 bits"},
      {"000001002\n", kGeneratorFixed, 1, 2, 0, 0, "line ends early: the rest is 0"},
      {"002255255255255\n", kGeneratorOsc, 0, 0, 0, 0, "OSC-driven"},
      {"005" + Groups(512, "009") + "\n", 0xFFFFFFFFu, 0, 0, 0, 0, "unknown type"},
  };
  for (const Row& r : rows) {
    Stream* s = AddStream(kStreamGenerator, r.text);
    EXPECT_EQ(s->generator.type, r.type) << r.why;
    EXPECT_EQ(s->generator.input, 0u) << r.why;
    EXPECT_FALSE(s->IsInput()) << r.why;
    EXPECT_EQ(s->data[0], r.v0) << r.why;
    EXPECT_EQ(s->data[1], r.v1) << r.why;
    EXPECT_EQ(s->data[2], r.v2) << r.why;
    EXPECT_EQ(s->data[511], r.v511) << r.why;
    // Only show players compute frames.
    s->CalculateFrame();
    EXPECT_EQ(s->writeCount, 0u) << r.why;
  }
  EXPECT_EQ(DmxEngineInstance, nullptr);
}

TEST_F(Generator, ShowPlayerLoadsAndAutoStarts) {
  const std::string show = WriteShow("show.txt", kTwoListShow);
  Stream* s = AddStream(kStreamGenerator, PlayerLine("001", show));
  EXPECT_EQ(s->generator.type, kGeneratorShowPlayer);
  EXPECT_EQ(s->generator.engine, DmxEngine::GetInstance());
  EXPECT_EQ(s->generator.cueList, 1u);
  EXPECT_EQ(DmxEngine::GetInstance()->GetCuelistCount(), 2);
  EXPECT_EQ(List(0).state, kLayerStopped);
  EXPECT_EQ(List(1).state, kLayerRunning);

  // A negative field loads without playing; 999 asks for a list the show
  // lacks, so nothing plays and the field is kept.
  Reset();
  s = AddStream(kStreamGenerator, PlayerLine("-01", show));
  EXPECT_EQ(s->generator.cueList, 0u);
  EXPECT_EQ(List(0).state, kLayerStopped);
  Reset();
  s = AddStream(kStreamGenerator, PlayerLine("999", show));
  EXPECT_EQ(s->generator.cueList, 999u);
  EXPECT_EQ(List(0).state, kLayerStopped);
  EXPECT_EQ(List(1).state, kLayerStopped);

  // A path far beyond 79 characters is opened whole.
  Reset();
  const std::string longPath = WriteShow(std::string(150, 'p') + ".txt", kTwoListShow);
  s = AddStream(kStreamGenerator, PlayerLine("000", longPath));
  EXPECT_EQ(List(0).state, kLayerRunning);
}

TEST_F(Generator, ShowTextEndsAtTheFirstNul) {
  // Keywords are never compared: read past the NUL, "ChTypes\0X" would be
  // one word and channel 0 would become type 2.
  const char raw[] = "ENDP 1 Cues 0 Cuelists 0 DefVals 1 5 ChTypes\0X 1 2 ChSubtypes 0";
  const std::string text(raw, sizeof(raw) - 1);
  AddStream(kStreamGenerator, PlayerLine("-01", WriteShow("nul.txt", text)));
  EXPECT_EQ(DmxEngine::GetInstance()->startValues[0], 5);
  EXPECT_EQ(DmxEngine::GetInstance()->channelTypes[0], 0);
}

TEST_F(Generator, OneEngineFramePerWalkForEveryShowPlayer) {
  Stream* first = AddShowPlayer();
  Stream* fixed = AddStream(kStreamGenerator, "000009\n");
  Stream* oscDriven = AddStream(kStreamGenerator, "002000000000000\n");
  Stream* second = AddShowPlayer();
  Stream* virt = AddStream(kStreamVirtual, "\n");

  PlayShowFrame();
  EXPECT_EQ(first->data[0], 10);
  EXPECT_EQ(second->data[0], 10);  // the same frame, not a second one
  EXPECT_TRUE(first->IsChanged());
  PlayShowFrame();
  EXPECT_EQ(first->data[0], 20);
  EXPECT_EQ(second->data[0], 20);
  EXPECT_EQ(first->writeCount, 2u);
  EXPECT_EQ(fixed->data[0], 9);
  EXPECT_EQ(fixed->writeCount + oscDriven->writeCount + virt->writeCount, 0u);
}

}  // namespace
