#include "show_engine/show_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "show_engine/show.h"

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
}

// Every malformed text stops at its first bad token and keeps only the
// records completed before it; none allocates or loops on a bad count. The
// complete rows read texts a user may take for malformed, and `written` is
// what such a show writes back.
TEST(ShowText, MalformedTexts) {
  struct Case {
    const char* why;
    const char* text;
    size_t cues;
    size_t cuelists;
    size_t defVals;
    bool complete = false;
    const char* written = nullptr;
  };
  const Case cases[] = {
      {"negative cue count", "ENDP 1 Cues -1 Cue 0 0 Vals 0 Oscs 0", 0, 0, 0},
      {"huge cue count, text ends", "ENDP 1 Cues 4294967295 Cue 0 0 Vals 0 Oscs 0", 1, 0, 0},
      {"count beyond u32", "ENDP 1 Cues 4294967296", 0, 0, 0},
      {"channel beyond u16", "ENDP 1 Cues 1 Cue 0 0 Vals 1 65536 10 Oscs 0", 0, 0, 0},
      {"word where a number stands", "ENDP 1 Cues 1 Cue 0 0 Vals x", 0, 0, 0},
      {"oscillator count not a number", "ENDP 1 Cues 1 Cue 0 0 Vals 0 Oscs x", 0, 0, 0},
      {"oscillator cut short", "ENDP 1 Cues 1 Cue 0 0 Vals 0 Oscs 1 0 -1 0 1000", 0, 0, 0},
      {"cue list cut short", "ENDP 1 Cues 0 Cuelists 2 Cues 0 Cues 1 Cue 0 Vals 0", 0, 1, 0},
      {"bad number in a list: the list goes whole, and all after it",
       "ENDP 1 Cues 0 Cuelists 3 Cues 0 Cues 2 Cue 0 Vals 0 Oscs 0 Timing 0 Cue 0 Vals 1 0 x "
       "Cues 0 DefVals 1 5",
       0, 1, 0},
      {"bad number in a cue: no list after it", "ENDP 1 Cues 2 Cue 0 0 Vals 0 Oscs 0 Cue 0 x "
       "Vals 0 Oscs 0 Cuelists 1 Cues 0 DefVals 1 5", 1, 0, 0},
      {"table cut short", "ENDP 1 Cues 0 Cuelists 0 DefVals 100 1 2 3", 0, 0, 3},
      {"unknown keywords are positional", "X 1 Y 0 Z 0 W 2 9 9 V 0 U 0", 0, 0, 2, true},
      {"values, defaults and types keep their low 8 bits", "ENDP 1 Cues 1 Cue 0 0 Vals 2 0 300 "
       "1 -56 Oscs 0 Cuelists 0 DefVals 2 300 -56 ChTypes 1 258 ChSubtypes 1 -5", 1, 0, 2, true,
       "ENDP 1\nCues 1\nCue 0 0\nVals 2\n0 44\n1 200\nOscs 0\nCuelists 0\n"
       "DefVals 2\n44 200 \nChTypes 1\n2 \nChSubtypes 1\n-5 \n"},
  };
  for (const Case& c : cases) {
    bool ok = true;
    const Show show = Read(c.text, &ok);
    EXPECT_EQ(ok, c.complete) << c.why;
    EXPECT_EQ(show.cues.size(), c.cues) << c.why;
    EXPECT_EQ(show.cuelists.size(), c.cuelists) << c.why;
    EXPECT_EQ(show.DefVals.size(), c.defVals) << c.why;
    if (c.written) {
      EXPECT_EQ(Write(show), c.written) << c.why;
    }
  }
}

// The reading test above is only as strict as a show's equality: the last
// field of every record must take part in it.
TEST(ShowText, ShowsDifferingInTheLastFieldOfAnyRecordAreUnequal) {
  const Show example = Read(kExampleShow);
  const auto entry = [](Show& s) -> CuelistEntry& { return s.cuelists[0].entries[0]; };
  const std::function<void(Show&)> changes[] = {
      [](Show& s) { s.cues[0].values[1].value = 1; },
      [&](Show& s) { entry(s).cue.oscillators[0].width = 1; },
      [&](Show& s) { entry(s).timings[0].extra = 1; },
      [&](Show& s) { entry(s).halt = 0; },
      [](Show& s) { s.ChSubtypes[3] = 1; },
  };
  for (const auto& change : changes) {
    Show changed = example;
    change(changed);
    EXPECT_FALSE(changed == example) << &change - changes;
  }
}

}  // namespace
