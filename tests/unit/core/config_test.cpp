// Configuration lines: the fields each stream takes from its fixed columns.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "config_file.h"
#include "device_identity.h"
#include "fixed_field.h"
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
  void SetUp() override {
    ResetDeviceIdentity();
    inet_aton("10.255.255.255", &BroadcastAddress);
  }
  void TearDown() override {
    for (uint32_t i = 0; i < StreamCount; ++i) {
      delete StreamTable[i];
      StreamTable[i] = nullptr;
    }
    StreamCount = 0;
    ResetDeviceIdentity();
  }
};

TEST_F(ConfigLines, NetworkLineFields) {
  const struct {
    const char* line;
    uint32_t protocol, universe;
    const char* address;
    int port;
    bool input;
    const char* why;
  } rows[] = {
      {"A001192168001010I\n", kProtocolArtnet, 1, "192.168.1.10", 6454, true, "Art-Net in"},
      {"A300255255255255 \n", kProtocolArtnet, 300, "10.255.255.255", 6454, false,
       "all 255: the device's broadcast"},
      {"A001192168001010i\n", kProtocolArtnet, 1, "192.168.1.10", 6454, false,
       "only a capital I is an input"},
      {"E001255255255255I\n", kProtocolQsp, 1, "10.255.255.255", 3333, true, "QSP"},
      {"X001192168001010I\n", kProtocolNone, 0, "0.0.0.0", 0, false, "unknown protocol"},
      {"", kProtocolNone, 0, "0.0.0.0", 0, false, "empty"},
  };
  for (const auto& r : rows) {
    Stream s(0, kStreamNetwork, 7, r.line);
    const bool qsp = s.protocol == kProtocolQsp;
    const sockaddr_in& a = qsp ? s.qspAddress : s.artnetAddress;
    EXPECT_EQ(s.protocol, r.protocol) << r.why;
    EXPECT_EQ(qsp ? s.qspUniverse : s.artnetUniverse, r.universe) << r.why;
    EXPECT_STREQ(inet_ntoa(a.sin_addr), r.address) << r.why;
    EXPECT_EQ(ntohs(a.sin_port), r.port) << r.why;
    EXPECT_EQ(s.IsInput(), r.input) << r.why;
  }

  Stream kinet(0, kStreamNetwork, 7, "K260000000000001000000000000I\n");
  EXPECT_EQ(kinet.protocol, kProtocolKinet);
  EXPECT_EQ(kinet.kinetPort, 4);  // low 8 bits of 260
  EXPECT_TRUE(kinet.IsInput());
  Stream sacn(1, kStreamNetwork, 7, "S007100000000000000" + std::string(36, '0') + "I\n");
  EXPECT_EQ(sacn.protocol, kProtocolSacn);
  EXPECT_EQ(sacn.acn.universe, 7u);
  EXPECT_EQ(sacn.acn.priority, 100);
  EXPECT_TRUE(sacn.IsInput());
}

TEST_F(ConfigLines, NxbAndPortDirections) {
  Stream out(0, kStreamNxb, "xO255255255255\n");
  EXPECT_STREQ(inet_ntoa(out.nxbAddress.sin_addr), "255.255.255.255");  // no substitution
  EXPECT_EQ(ntohs(out.nxbAddress.sin_port), 3333);
  const uint8_t head[5] = {'Q', 'S', 'O', 'O', 1};
  EXPECT_EQ(0, memcmp(out.nxbPacket.bytes, head, 5));
  Stream in(1, kStreamNxb, "xI010000000001\n");
  EXPECT_EQ(in.nxbInput, 1u);
  EXPECT_EQ(in.nxbPacket.bytes[4], 2);
  EXPECT_STREQ(inet_ntoa(in.nxbAddress.sin_addr), "10.0.0.1");
  EXPECT_FALSE(in.IsInput());  // NXB input is not matched like a network input
  EXPECT_TRUE(Stream(2, kStreamPort, "001I\n").IsInput());
  EXPECT_FALSE(Stream(3, kStreamPort, "001O\n").IsInput());
}

TEST_F(ConfigLines, FixedValueGenerators) {
  std::string all255 = "000";
  for (int k = 0; k < 512; ++k) all255 += "255";
  Stream full(0, kStreamGenerator, all255 + "\n");
  EXPECT_EQ(full.generator.type, kGeneratorFixed);
  EXPECT_EQ(std::string(full.data, full.data + 512), std::string(512, '\xFF'));
  // 300 keeps its low 8 bits; a line that stops early leaves zeros.
  Stream shortLine(1, kStreamGenerator, "000300001\n");
  EXPECT_EQ(std::string(shortLine.data, shortLine.data + 3), std::string("\x2C\x01\x00", 3));
  EXPECT_EQ(shortLine.data[511], 0);
  Stream osc(2, kStreamGenerator, "002255255255255\n");
  EXPECT_EQ(osc.generator.type, kGeneratorOsc);
  EXPECT_EQ(osc.data[0], 0);
  EXPECT_FALSE(osc.IsInput());
  Stream other(3, kStreamGenerator, "005255\n");
  EXPECT_NE(other.generator.type, kGeneratorFixed);
  EXPECT_NE(other.generator.type, kGeneratorOsc);
  EXPECT_EQ(other.data[0], 0);
}

TEST_F(ConfigLines, TextFillsTheTableInOrder) {
  ProcessConfigText("");
  EXPECT_EQ(StreamCount, 0u);
  ProcessConfigText("V\nSX\nDxO010000000001\nC000001002003\nSA005000000000000I\n");
  ASSERT_EQ(StreamCount, 5u);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(StreamTable[i]->statsId, i);
  EXPECT_EQ(StreamTable[0]->kind, kStreamVirtual);
  EXPECT_EQ(StreamTable[1]->protocol, kProtocolNone);
  EXPECT_EQ(StreamTable[2]->kind, kStreamNxb);
  EXPECT_EQ(StreamTable[3]->data[2], 3);
  EXPECT_EQ(StreamTable[4]->artnetUniverse, 5u);
  EXPECT_EQ(StreamTable[0]->packet, nullptr);
  EXPECT_NE(StreamTable[4]->packet, nullptr);
}

// Blank lines, unknown letters and too many streams are covered on the real
// binary; a lower-case letter and a leading blank are as fatal.
using ConfigDeath = ConfigLines;
TEST_F(ConfigDeath, BadLinesEndStartUp) {
  EXPECT_DEATH(ProcessConfigText("V\nv\n"), "Unknown Config v");
  EXPECT_DEATH(ProcessConfigText(" S\n"), "Unknown Config  S");
}

}  // namespace
