// Configuration text: the column readers, the records lines become, and the
// lines refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup/config_file.h"
#include "support/fixed_field.h"
#include "stream.h"

namespace {

// What the reference's stream and rule lines do not show of the column readers.
TEST(FixedField, ReadersOnFixedColumns) {
  EXPECT_EQ(ReadFixedField(" 12x", 0, 4), 12);   // leading blank, stops at a non-digit
  EXPECT_EQ(ReadFixedField("12", 5, 3), 0);      // wholly past the end
  EXPECT_EQ(ReadFixedField("1234", 0, 3), 123);  // never more than the width
  EXPECT_EQ(ReadFixedAddress("000000001256", 0), 0x00000200u);  // 256 carries
  EXPECT_EQ(ReadFixedAddress("010", 0), 0x0A000000u);           // short line
  EXPECT_FALSE(IsFixedBroadcast("255255255254", 0));
  EXPECT_EQ(FixedCharAt(std::string_view("QA", 1), 1), '\0');  // never past the view
}

// One row per line the engine cannot run with: the lines before it are kept
// (start-up builds them before it dies), the rest is not read.
TEST(ConfigParse, UnusableLinesAreRefused) {
  std::string ports, streams;
  for (int i = 0; i < 33; ++i) ports += "P001O\n";
  for (int i = 0; i < 257; ++i) streams += "V\n";
  const struct { std::string text; uint32_t line; std::string reason; size_t kept; } rows[] = {
      {"V\nx123\nV\n", 2, "Unknown Config x123\n", 1},
      {"V\n\nV\n", 2, "Unknown Config \n", 1},  // a blank line
      {"v\n", 1, "Unknown Config v\n", 0},      // letters are upper case
      {streams, 257, "Too many Streams in config", 256},
      {ports + "V\n", 33, "Too many Ports in config", 32},
  };
  for (const auto& r : rows) {
    const auto file = ParseConfigText(r.text);
    ASSERT_TRUE(file.error.has_value()) << r.reason;
    EXPECT_EQ(file.error->line, r.line) << r.reason;
    EXPECT_EQ(file.error->reason, r.reason);
    EXPECT_EQ(file.records.size(), r.kept) << r.reason;
  }
  // Ports already started count against the 32.
  EXPECT_EQ(ParseConfigText("L\n", 0, kMaxPorts).error->reason, "Too many Ports in config");
}

// Ids number on from the streams already in the table; what each letter
// makes of its line is pinned by the file reference's examples.
TEST(ConfigLines, TextFillsTheTableInOrder) {
  ProcessConfigText("V\nDxO010000000001\n");
  ProcessConfigText("V\n");
  ASSERT_EQ(StreamCount, 3u);
  EXPECT_EQ(StreamTable[1]->kind, kStreamNxb);
  for (uint32_t i = 0; i < StreamCount; ++i) EXPECT_EQ(StreamTable[i]->id, i);
}

}  // namespace
