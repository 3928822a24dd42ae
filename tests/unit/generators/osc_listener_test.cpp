#include <oscpack/osc/OscOutboundPacketStream.h>

#include <cmath>
#include <limits>
#include <string>

#include "generators/generator_fixture.h"
#include "osc_control/osc_listener.h"

namespace {

// What a message carries after its address: a float, another type, or none.
struct Arg {
  enum Kind { kFloat, kInt, kString, kNone } kind;
  float value;
};
Arg F(float v) { return {Arg::kFloat, v}; }
const Arg kInt{Arg::kInt, 1};
const Arg kString{Arg::kString, 0};
const Arg kNone{Arg::kNone, 0};
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

class Osc : public GeneratorTest {
 protected:
  // Streams: 0 plays the show, 1 and 3 are OSC-driven, 2 holds fixed values.
  void AddStreams() {
    AddShowPlayer();
    AddStream(kStreamGenerator, "002000000000000\n");
    AddStream(kStreamGenerator, "000009009\n");
    AddStream(kStreamGenerator, "002000000000000\n");
  }

  // Through the library's parser, as a datagram from the socket.
  void Send(const std::string& address, Arg arg) {
    char buffer[1024];
    osc::OutboundPacketStream p(buffer, sizeof(buffer));
    p << osc::BeginMessage(address.c_str());
    if (arg.kind == Arg::kFloat) p << arg.value;
    if (arg.kind == Arg::kInt) p << osc::int32(1);
    if (arg.kind == Arg::kString) p << "1";
    p << osc::EndMessage;
    SendBytes(p.Data(), p.Size());
  }

  void SendBytes(const char* data, size_t size) {
    EXPECT_NO_THROW(listener.ProcessPacket(data, static_cast<int>(size), IpEndpointName()));
  }

  // Fresh layers for cue list 1 before each case: stopped, level 1234.
  static void ReloadShow() {
    DmxEngine* engine = DmxEngine::GetInstance();
    engine->LoadShow(kTwoListShow);
    engine->SetCuelistLevel(1, 1234);
  }

  ExamplePacketListener listener;
};

TEST_F(Osc, GrandMasterLimitsAndBadArguments) {
  AddStreams();
  struct Row {
    Arg arg;
    uint32_t expected;
  } rows[] = {
      {F(300.0f), 255}, {F(127.9f), 127}, {F(-5.0f), 0}, {F(0.0f), 0},
      {F(kNaN), 99},    {F(kInf), 99},    {F(-kInf), 99}, {kInt, 99},
      {kString, 99},    {kNone, 99},
  };
  for (const Row& r : rows) {
    GrandMaster = 99;
    Send("/vpro/gm", r.arg);
    EXPECT_EQ(GrandMaster.load(), r.expected) << r.arg.kind << " " << r.arg.value;
  }
}

TEST_F(Osc, PlaybackCommandsNeedAShowPlayingStream) {
  AddStream(kStreamGenerator, "002000000000000\n");
  GrandMaster = 99;
  Send("/vpro/gm", F(10.0f));
  EXPECT_EQ(GrandMaster.load(), 99u);
  Send("/vpro/cuelist/0/command/go", F(1.0f));
  EXPECT_EQ(DmxEngineInstance, nullptr);
}

TEST_F(Osc, CuelistAddresses) {
  AddStreams();
  struct Row {
    std::string address;
    Arg arg;
    int32_t state;
    int32_t level;
  } rows[] = {
      {"/vpro/cuelist/1/command/go", F(1.0f), kLayerRunning, 65535},
      {"/vpro/cuelist/1/command/go", F(0.0f), kLayerStopped, 1234},  // button released
      {"/vpro/cuelist/1/command/go", kInt, kLayerStopped, 1234},
      {"/vpro/cuelist/1/command/go", kNone, kLayerStopped, 1234},
      {"/vpro/cuelist/1/command/go", F(kNaN), kLayerStopped, 1234},
      {"/vpro/cuelist//1//command/go/", F(1.0f), kLayerRunning, 65535},
      {"/vpro/cuelist/1abc/command/go", F(1.0f), kLayerRunning, 65535},
      // 2^32 + 1 must not wrap onto list 1.
      {"/vpro/cuelist/4294967297/command/go", F(1.0f), kLayerStopped, 1234},
      {"/vpro/cuelist/1/command/stop", kNone, kLayerStopped, 1234},
      {"/vpro/cuelist/1/command", F(1.0f), kLayerStopped, 1234},
      {"/vpro/cuelist/1", F(1.0f), kLayerStopped, 1234},
      {"/x/vpro/cuelist/1/command/go", F(1.0f), kLayerStopped, 1234},
      // Only 79 characters of the tail are read: "go" lies beyond them.
      {"/vpro/cuelist/" + std::string(70, '/') + "1/command/go", F(1.0f), kLayerStopped, 1234},
      {"/vpro/cuelist/1/level", F(32768.0f), kLayerStopped, 32768},
      {"/vpro/cuelist/1/level", F(70000.0f), kLayerStopped, 65535},
      {"/vpro/cuelist/1/level", F(0.5f), kLayerStopped, 0},
      {"/vpro/cuelist/1/level", F(-1.0f), kLayerStopped, 0},
      {"/vpro/cuelist/1/level", F(0.0f), kLayerStopped, 1234},
      {"/vpro/cuelist/1/level", F(kInf), kLayerStopped, 1234},
      {"/vpro/cuelist/1/level", kString, kLayerStopped, 1234},
  };
  for (const Row& r : rows) {
    ReloadShow();
    Send(r.address, r.arg);
    EXPECT_EQ(List(1).state, r.state) << r.address << " " << r.arg.value;
    EXPECT_EQ(List(1).level, r.level) << r.address << " " << r.arg.value;
  }

  // Pause falls back; a second pause stops; each reaches the list once.
  ReloadShow();
  Send("/vpro/cuelist/1/command/go", F(1.0f));
  Send("/vpro/cuelist/1/command/pause", F(1.0f));
  EXPECT_EQ(List(1).state, kLayerPaused);
  Send("/vpro/cuelist/1/command/pause", F(1.0f));
  EXPECT_EQ(List(1).state, kLayerStopped);
}

TEST_F(Osc, ChannelAddressesReachEveryOscDrivenStream) {
  AddStreams();
  Send("/cvmk2/0", F(128.6f));
  Send("/cvmk2/127", F(300.0f));
  Send("/cvmk2/5", F(9.0f));
  Send("/cvmk2/5", F(-3.0f));
  for (uint32_t s : {1u, 3u}) {
    EXPECT_EQ(StreamTable[s]->data[0], 128);
    EXPECT_EQ(StreamTable[s]->data[127], 255);
    EXPECT_EQ(StreamTable[s]->data[5], 0);
    EXPECT_TRUE(StreamTable[s]->IsChanged());
  }
  EXPECT_EQ(StreamTable[2]->data[0], 9);  // fixed values are not OSC's
  EXPECT_EQ(StreamTable[0]->writeCount, 0u);

  StreamTable[1]->data[7] = 42;
  const std::string ignored[] = {"/cvmk2/128", "/cvmk2/007", "/cvmk2/7x", "/cvmk2/", "/cvmk2/-7",
                                 "/cvmk2/7/", "/cvmk2/1000000"};
  for (const std::string& address : ignored) Send(address, F(1.0f));
  for (Arg bad : {F(kNaN), F(kInf), kInt, kNone}) Send("/cvmk2/7", bad);
  EXPECT_EQ(StreamTable[1]->data[7], 42);
  EXPECT_EQ(StreamTable[1]->data[128], 0);
}

TEST_F(Osc, BadDatagramsAreDroppedAndBundlesPlayInOrder) {
  AddStreams();
  char buffer[256];
  osc::OutboundPacketStream bundle(buffer, sizeof(buffer));
  bundle << osc::BeginBundleImmediate << osc::BeginMessage("/cvmk2/1") << 10.0f << osc::EndMessage
         << osc::BeginMessage("/cvmk2/1") << 20.0f << osc::EndMessage << osc::EndBundle;
  SendBytes(bundle.Data(), bundle.Size());
  EXPECT_EQ(StreamTable[1]->data[1], 20);

  const std::string bad[] = {
      std::string(),
      std::string("\xff\x00\x00", 3),
      std::string("/cvmk2/1\0\0\0\0,f\0\0", 16),  // float tag, no float
      std::string("/cvmk2/1", 8),                 // address never ends
      std::string("#bundle\0\0\0\0\0\0\0\0\x01\x00\x00\x01\x00", 20),  // element past the end
      std::string(bundle.Data(), bundle.Size() - 4),                   // cut short
  };
  for (const std::string& datagram : bad) SendBytes(datagram.data(), datagram.size());
  EXPECT_EQ(StreamTable[1]->data[1], 20);
  Send("/cvmk2/1", F(30.0f));
  EXPECT_EQ(StreamTable[1]->data[1], 30);
}

}  // namespace
