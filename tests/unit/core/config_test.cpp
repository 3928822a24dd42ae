// Configuration lines: the fields each stream takes from its fixed columns.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "config_file.h"
#include "device_identity.h"
#include "stream.h"

namespace {

std::string Dotted(const sockaddr_in& a) { return inet_ntoa(a.sin_addr); }

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

TEST_F(ConfigLines, ArtnetAndQspFields) {
  Stream in(0, kStreamNetwork, 7, "A001192168001010I\n");
  EXPECT_EQ(in.protocol, kProtocolArtnet);
  EXPECT_EQ(in.artnetUniverse, 1u);
  EXPECT_EQ(Dotted(in.artnetAddress), "192.168.1.10");
  EXPECT_EQ(ntohs(in.artnetAddress.sin_port), 6454);
  EXPECT_EQ(in.input, 1u);
  EXPECT_EQ(in.sendSocket, 7);

  Stream out(1, kStreamNetwork, 7, "A300255255255255 \n");
  EXPECT_EQ(out.artnetUniverse, 300u);
  EXPECT_EQ(Dotted(out.artnetAddress), "10.255.255.255");  // broadcast substituted
  EXPECT_EQ(out.input, 0u);

  Stream lower(2, kStreamNetwork, 7, "A001192168001010i\n");
  EXPECT_EQ(lower.input, 0u);

  Stream qsp(3, kStreamNetwork, 7, "E001255255255255I\n");
  EXPECT_EQ(qsp.protocol, kProtocolQsp);
  EXPECT_EQ(qsp.qspUniverse, 1u);
  EXPECT_EQ(qsp.artnetUniverse, 0u);
  EXPECT_EQ(Dotted(qsp.qspAddress), "10.255.255.255");
  EXPECT_EQ(ntohs(qsp.qspAddress.sin_port), 3333);
  EXPECT_EQ(qsp.input, 1u);
}

TEST_F(ConfigLines, KinetSacnAndUnknownProtocols) {
  Stream kinet(0, kStreamNetwork, 7, "K260000000000001000000000000I\n");
  EXPECT_EQ(kinet.protocol, kProtocolKinet);
  EXPECT_EQ(kinet.kinetPort, 4);  // low 8 bits of 260
  EXPECT_EQ(kinet.input, 1u);

  std::string sacn = "S007100000000000000";
  sacn += "01234567-89ab-cdef-0123-456789abcdefI\n";
  Stream s(1, kStreamNetwork, 7, sacn);
  EXPECT_EQ(s.protocol, kProtocolSacn);
  EXPECT_EQ(s.acn.universe, 7u);
  EXPECT_EQ(s.acn.priority, 100);
  EXPECT_EQ(s.input, 1u);

  Stream unknown(2, kStreamNetwork, 7, "X001192168001010I\n");
  EXPECT_EQ(unknown.protocol, kProtocolNone);
  EXPECT_EQ(unknown.input, 0u);

  Stream empty(3, kStreamNetwork, 7, "");
  EXPECT_EQ(empty.protocol, kProtocolNone);
}

TEST_F(ConfigLines, NxbTakesItsAddressUnchanged) {
  Stream out(0, kStreamNxb, "xO255255255255\n");
  EXPECT_EQ(out.nxbInput, 0u);
  EXPECT_EQ(Dotted(out.nxbAddress), "255.255.255.255");
  EXPECT_EQ(ntohs(out.nxbAddress.sin_port), 3333);
  const uint8_t head[5] = {'Q', 'S', 'O', 'O', 1};
  EXPECT_EQ(0, memcmp(out.nxbPacket.bytes, head, 5));

  Stream in(1, kStreamNxb, "xI010000000001\n");
  EXPECT_EQ(in.nxbInput, 1u);
  EXPECT_EQ(in.nxbPacket.bytes[4], 2);
  EXPECT_EQ(Dotted(in.nxbAddress), "10.0.0.1");
}

TEST_F(ConfigLines, FixedValueGenerators) {
  std::string all255 = "000";
  for (int k = 0; k < 512; ++k) all255 += "255";
  Stream full(0, kStreamGenerator, all255 + "\n");
  EXPECT_EQ(full.generator.type, kGeneratorFixed);
  for (int k = 0; k < 512; ++k) ASSERT_EQ(full.data[k], 255) << k;

  // 300 keeps its low 8 bits; a line that stops early leaves zeros.
  Stream shortLine(1, kStreamGenerator, "000300001\n");
  EXPECT_EQ(shortLine.data[0], 44);
  EXPECT_EQ(shortLine.data[1], 1);
  EXPECT_EQ(shortLine.data[2], 0);
  EXPECT_EQ(shortLine.data[511], 0);

  Stream osc(2, kStreamGenerator, "002255255255255\n");
  EXPECT_EQ(osc.generator.type, kGeneratorOsc);
  EXPECT_EQ(osc.data[0], 0);

  Stream other(3, kStreamGenerator, "005255\n");
  EXPECT_NE(other.generator.type, kGeneratorFixed);
  EXPECT_NE(other.generator.type, kGeneratorOsc);
  EXPECT_EQ(other.data[0], 0);
}

TEST_F(ConfigLines, TextFillsTheTableInOrder) {
  ProcessConfigText("V\nSX\nDxO010000000001\nC000001002003\nSA005000000000000I\n");
  ASSERT_EQ(StreamCount, 5u);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(StreamTable[i]->id, i);
    EXPECT_EQ(StreamTable[i]->statsId, i);
  }
  EXPECT_EQ(StreamTable[0]->kind, kStreamVirtual);
  EXPECT_EQ(StreamTable[1]->protocol, kProtocolNone);
  EXPECT_EQ(StreamTable[2]->kind, kStreamNxb);
  EXPECT_EQ(StreamTable[3]->data[2], 3);
  EXPECT_EQ(StreamTable[4]->artnetUniverse, 5u);
  EXPECT_EQ(StreamTable[0]->packet, nullptr);
  EXPECT_NE(StreamTable[4]->packet, nullptr);
}

TEST_F(ConfigLines, EmptyTextBuildsNothing) {
  ProcessConfigText("");
  EXPECT_EQ(StreamCount, 0u);
}

using ConfigDeath = ConfigLines;

TEST_F(ConfigDeath, BadLinesEndStartUp) {
  EXPECT_DEATH(ProcessConfigText("V\nv\n"), "Unknown Config v");
  EXPECT_DEATH(ProcessConfigText("\n"), "Unknown Config ");
  EXPECT_DEATH(ProcessConfigText(" S\n"), "Unknown Config  S");
  std::string many;
  for (int i = 0; i < 257; ++i) many += "V\n";
  EXPECT_DEATH(ProcessConfigText(many), "Too many Streams in config");
}

}  // namespace
