// Configuration lines: the fields each stream takes from its fixed columns.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "support/fixed_field.h"
#include "streams/network_streams.h"
#include "process_state.h"
#include "stream.h"

namespace {

// What the stream and rule lines below do not show of the column readers.
TEST(FixedField, ReadersOnFixedColumns) {
  EXPECT_EQ(ReadFixedField(" 12x", 0, 4), 12);   // leading blank, stops at a non-digit
  EXPECT_EQ(ReadFixedField("12", 5, 3), 0);      // wholly past the end
  EXPECT_EQ(ReadFixedField("1234", 0, 3), 123);  // never more than the width
  EXPECT_EQ(ReadFixedAddress("000000001256", 0), 0x00000200u);  // 256 carries
  EXPECT_EQ(ReadFixedAddress("010", 0), 0x0A000000u);           // short line
  EXPECT_FALSE(IsFixedBroadcast("255255255254", 0));
}

class ConfigLines : public ::testing::Test {
 protected:
  void SetUp() override { inet_aton("10.255.255.255", &BroadcastAddress); }
};

// The fields of lines that work are pinned by the file reference's examples.
TEST_F(ConfigLines, NetworkLineFields) {
  const struct { const char* line; uint32_t protocol; bool input; } rows[] = {
      {"A001192168001010i\n", kProtocolArtnet, false},  // only I is in
      {"E001255255255255I\n", kProtocolQsp, true},
      {"X001192168001010I\n", kProtocolNone, false},
      {"", kProtocolNone, false},
  };
  for (const auto& r : rows) {
    const std::unique_ptr<Stream> s = BuildStream(kStreamNetwork, r.line);
    EXPECT_EQ(s->As<NetworkEndpoint>()->protocol, r.protocol) << r.line;
    EXPECT_EQ(s->IsInput(), r.input) << r.line;
  }
  const std::unique_ptr<Stream> kinet = BuildStream(kStreamNetwork, "K260000000000001000000000000I\n");
  EXPECT_EQ(kinet->As<NetworkEndpoint>()->kinetPort, 4);  // low 8 bits of 260
}

TEST_F(ConfigLines, NxbAndPortDirections) {
  const std::unique_ptr<Stream> outStream = BuildStream(kStreamNxb, "xO255255255255\n");
  const NxbEndpoint& out = *outStream->As<NxbEndpoint>();
  EXPECT_STREQ(inet_ntoa(out.nxbAddress.sin_addr), "255.255.255.255");  // no substitution
  const std::unique_ptr<Stream> in = BuildStream(kStreamNxb, "xI010000000001\n");
  EXPECT_EQ(in->As<NxbEndpoint>()->nxbPacket.bytes[4], 2);
  EXPECT_FALSE(in->IsInput());  // NXB input is not matched like a network input
  EXPECT_TRUE(BuildStream(kStreamPort, "001I\n")->IsInput());
  EXPECT_FALSE(BuildStream(kStreamPort, "001O\n")->IsInput());
}

// A full fixed line, and the OSC kind, are covered on the real binary.
TEST_F(ConfigLines, FixedValueGenerators) {
  const std::unique_ptr<Stream> shortLine = BuildStream(kStreamGenerator, "000300001\n");
  // 300 keeps its low 8 bits
  EXPECT_EQ(std::string(shortLine->data, shortLine->data + 3), std::string("\x2C\x01\x00", 3));
  EXPECT_EQ(shortLine->data[511], 0);
}

// Each letter selects its kind; ids and ports number on from what the tables
// already hold, and nothing is built while parsing.
TEST(ConfigParse, RecordsNumberOnFromTheTables) {
  const auto file = ParseConfigText("V\nDxO010000000001\nP001O\nL\nC000\nSA001\n", 7, 2);
  ASSERT_FALSE(file.error.has_value());
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t, std::string>> got;
  for (const ConfigRecord& r : file.records) got.emplace_back(r.line, r.id, r.kind, r.text);
  EXPECT_EQ(got, (std::vector<std::tuple<uint32_t, uint32_t, uint32_t, std::string>>{
                     {1, 7, kStreamVirtual, "\n"},
                     {2, 8, kStreamNxb, "xO010000000001\n"},
                     {3, 9, kStreamPort, "001O\n"},
                     {4, 10, kStreamLedrunnerPort, "\n"},
                     {5, 11, kStreamGenerator, "000\n"},
                     {6, 12, kStreamNetwork, "A001\n"}}));
  EXPECT_EQ(StreamCount, 0u);
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

TEST_F(ConfigLines, TextFillsTheTableInOrder) {
  ProcessConfigText("V\nDxO010000000001\n");
  ProcessConfigText("V\n");
  ASSERT_EQ(StreamCount, 3u);
  EXPECT_EQ(StreamTable[1]->kind, kStreamNxb);
  EXPECT_EQ(StreamTable[2]->id, 2u);
}

}  // namespace
