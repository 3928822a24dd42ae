#include "show_engine/show_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "show_engine/dmx_engine.h"

namespace {

// One record per source line: a cue, a cue list, the three tables.
const char kExampleShow[] =
    "ENDP 1\nCues 1\nCue 500 1000\nVals 2\n0 255\n1 128\nOscs 0\n"
    "Cuelists 1\nCues 1\nCue 1\nVals 1\n3 200\nOscs 1\n3 -1 0 2000 0 1000 50\nTiming 1\n"
    "0 0 1000 -1 2000\n"
    "DefVals 4\n0 0 0 0 \nChTypes 4\n0 0 0 0 \nChSubtypes 4\n0 0 0 0 \n";

Show Read(const std::string& text, bool* ok = nullptr) {
  std::istringstream in(text);
  Show show;
  show.ENDP = 0;
  const bool good = static_cast<bool>(ReadShow(in, show));
  if (ok) *ok = good;
  return show;
}

std::string Write(const Show& show) {
  std::ostringstream out;
  WriteShow(out, show);
  return out.str();
}

TEST(ShowText, ExampleReadsIntoRecordsAndWritesBackByteForByte) {
  Show expected;
  expected.cues[0].values = {{0, 255}, {1, 128}};
  expected.fadeIn[0] = 500;
  expected.fadeOut[0] = 1000;
  CuelistEntry entry;
  entry.halt = 1;
  entry.cue.values = {{3, 200}};
  entry.cue.oscillators = {{3, -1, 0, 2000, 0, 1000, 50}};
  entry.timings = {CueTiming{0, 1000, 2000, -1, 0}};  // tag rise hold fall extra
  expected.cuelists[0].entries = {entry};
  expected.DefVals = expected.ChTypes = {0, 0, 0, 0};
  expected.ChSubtypes = {0, 0, 0, 0};
  bool ok = false;
  const Show show = Read(kExampleShow, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(show, expected);
  EXPECT_EQ(Write(show), kExampleShow);

  // Layout is free and keywords are positional: any word stands for one.
  std::string oneLine = kExampleShow;
  for (char& c : oneLine) c = c == '\n' ? ' ' : c;
  const std::string example = kExampleShow;
  const std::string messy = "ENDP\t1\r\n  Cues   1\r\nFoo 500\t\t1000 Bar 2 0 255 1 128 Baz 0\n" +
                            example.substr(example.find("Cuelists"));
  EXPECT_EQ(Read(oneLine), expected);
  EXPECT_EQ(Read(messy), expected);
}

TEST(ShowText, FieldConversionsAndWriterEdgeForms) {
  // Values keep their low 8 bits; a timing line is extra tag rise fall hold.
  const Show show = Read(
      "ENDP 7 Cues 1 Cue 0 0 Vals 2 5 256 6 -1 Oscs 0 "
      "Cuelists 1 Cues 2 Cue 2 Vals 0 Oscs 0 Timing 1 10 2 1000 -1 500 "
      "Cue 1 Vals 0 Oscs 0 Timing 0 "
      "DefVals 2 300 -2 ChTypes 1 263 ChSubtypes 1 -9");
  EXPECT_EQ(show.cues.at(0).values, (std::vector<CueValue>{{5, 0}, {6, 255}}));
  const CuelistEntry& first = show.cuelists.at(0).entries[0];
  EXPECT_EQ(first.halt, 2);
  EXPECT_EQ(first.timings[0], (CueTiming{2, 1000, 500, -1, 10}));
  EXPECT_EQ(show.DefVals, (std::vector<uint8_t>{44, 254}));
  EXPECT_EQ(show.ChTypes, std::vector<uint8_t>{7});
  EXPECT_EQ(show.ChSubtypes, std::vector<int32_t>{-9});

  Show empty;
  empty.ENDP = 4294967295u;
  empty.cues[0] = Cue{};  // no fade times stored: written as 0
  EXPECT_EQ(Write(empty),
            "ENDP 4294967295\nCues 1\nCue 0 0\nVals 0\nOscs 0\nCuelists 0\n"
            "DefVals 0\n\nChTypes 0\n\nChSubtypes 0\n\n");
  EXPECT_EQ(Read(Write(empty)).ENDP, 4294967295u);
}

// Every malformed text stops at its first bad token and keeps only the
// records completed before it; none allocates or loops on a bad count.
TEST(ShowText, MalformedTexts) {
  struct Case {
    const char* why;
    const char* text;
    size_t cues;
    size_t cuelists;
    size_t defVals;
    bool complete = false;
  };
  const Case cases[] = {
      {"empty text", "", 0, 0, 0},
      {"ENDP without value", "ENDP", 0, 0, 0},
      {"negative cue count", "ENDP 1 Cues -1 Cue 0 0 Vals 0 Oscs 0", 0, 0, 0},
      {"huge cue count, text ends", "ENDP 1 Cues 4294967295 Cue 0 0 Vals 0 Oscs 0", 1, 0, 0},
      {"count beyond u32", "ENDP 1 Cues 4294967296", 0, 0, 0},
      {"truncated inside second cue", "ENDP 1 Cues 2 Cue 0 0 Vals 0 Oscs 0 Cue 5 5 Vals 1 3", 1, 0,
       0},
      {"negative fade time", "ENDP 1 Cues 1 Cue -5 0 Vals 0 Oscs 0", 0, 0, 0},
      {"negative channel", "ENDP 1 Cues 1 Cue 0 0 Vals 1 -3 10 Oscs 0", 0, 0, 0},
      {"channel beyond u16", "ENDP 1 Cues 1 Cue 0 0 Vals 1 65536 10 Oscs 0", 0, 0, 0},
      {"word where a number stands", "ENDP 1 Cues 1 Cue 0 0 Vals x", 0, 0, 0},
      {"negative amplitude", "ENDP 1 Cues 1 Cue 0 0 Vals 0 Oscs 1 1 -1 0 100 0 -1 50", 0, 0, 0},
      {"huge timing count", "ENDP 1 Cues 0 Cuelists 1 Cues 1 Cue 0 Vals 0 Oscs 0 Timing 99999999",
       0, 0, 0},
      {"cue list cut short", "ENDP 1 Cues 0 Cuelists 2 Cues 0 Cues 1 Cue 0 Vals 0", 0, 1, 0},
      {"negative table count", "ENDP 1 Cues 0 Cuelists 0 DefVals -4 1 2 3 4", 0, 0, 0},
      {"table cut short", "ENDP 1 Cues 0 Cuelists 0 DefVals 100 1 2 3", 0, 0, 3},
      {"unknown keywords are positional", "X 1 Y 0 Z 0 W 2 9 9 V 0 U 0", 0, 0, 2, true},
  };
  for (const Case& c : cases) {
    bool ok = true;
    const Show show = Read(c.text, &ok);
    EXPECT_EQ(ok, c.complete) << c.why;
    EXPECT_EQ(show.cues.size(), c.cues) << c.why;
    EXPECT_EQ(show.fadeIn.size(), c.cues) << c.why;
    EXPECT_EQ(show.cuelists.size(), c.cuelists) << c.why;
    EXPECT_EQ(show.DefVals.size(), c.defVals) << c.why;
  }
}

TEST(ShowText, EngineSaveLoadsBackTheSame) {
  DmxEngine engine;
  std::string text = kExampleShow;
  text.replace(text.find("DefVals 4\n0 0 0 0"), 17, "DefVals 4\n9 8 7 6");
  text.replace(text.find("ChTypes 4\n0 0 0 0"), 17, "ChTypes 4\n2 1 7 0");
  engine.LoadShow(text);
  const std::string saved = engine.SaveShow();
  EXPECT_EQ(engine.SaveShow(), saved);  // saving twice does not grow the tables
  EXPECT_EQ(engine.show.DefVals.size(), 512u);

  DmxEngine second;
  second.LoadShow(saved);
  EXPECT_EQ(second.show, engine.show);
  EXPECT_EQ(second.startValues[3], 6);
  EXPECT_EQ(second.channelTypes[1], 1);
}

}  // namespace
