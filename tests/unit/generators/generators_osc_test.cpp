#include <gtest/gtest.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "osc_control/osc_listener.h"
#include "show_engine/dmx_engine.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"

namespace {

// List 0: channel 0 rises to 255 over 1000 ms (10 after one frame). List 1:
// channel 1 at 77, held.
const char kShow[] =
    "ENDP 1 Cues 0 Cuelists 2 Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 -1 0 "
    "Cues 1 Cue 0 Vals 1 1 77 Oscs 0 Timing 1 0 0 0 -1 100000 DefVals 0 ChTypes 0 ChSubtypes 0";
const float kNaN = std::numeric_limits<float>::quiet_NaN();
enum Arg { kFloat, kInt, kNone };

class Generators : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  void Reset() {
    for (uint32_t i = 0; i < StreamCount; ++i) delete StreamTable[i];
    StreamCount = 0;
    DmxEngine::DestroyInstance();
    GrandMaster = 255;
  }
  static std::string ShowFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
  }
  Stream* Add(const std::string& text, uint32_t kind = kStreamGenerator) {
    uint32_t id = StreamCount;
    StreamTable[id] = new Stream(id, kind, text);
    StreamCount = id + 1;
    return StreamTable[id];
  }
  Stream* AddPlayer(const char* cueList = "000") {
    return Add(std::string("001") + cueList + ShowFile("show.txt", kShow) + "\n");
  }
  static DmxEngineLayer& List(int32_t id) { return *DmxEngine::GetInstance()->cuelistLayers.at(id); }
  // Built by the library's own writer, handed over as the socket would.
  void Send(const std::string& address, float value, Arg arg = kFloat) {
    char buffer[512];
    osc::OutboundPacketStream p(buffer, sizeof(buffer));
    p << osc::BeginMessage(address.c_str());
    if (arg == kFloat) p << value;
    if (arg == kInt) p << osc::int32(1);
    p << osc::EndMessage;
    SendBytes(std::string(p.Data(), p.Size()));
  }
  void SendBytes(const std::string& d) {
    EXPECT_NO_THROW(listener.ProcessPacket(d.data(), static_cast<int>(d.size()), IpEndpointName()));
  }
  ExamplePacketListener listener;
};

TEST_F(Generators, LocalLinesOfEveryType) {
  std::string sevens = "000300001002";
  for (int k = 0; k < 509; ++k) sevens += "007";
  struct {
    std::string text;
    uint32_t type;
    std::vector<int> channels;  // 1, 2, 3 and 512
  } rows[] = {
      {sevens + "\n", kGeneratorFixed, {44, 1, 2, 7}},  // low 8 bits of 300
      {"000001002\n", kGeneratorFixed, {1, 2, 0, 0}},    // ends early: the rest is 0
      {"002255255255255\n", kGeneratorOsc, {0, 0, 0, 0}},
      {"005009009\n", 0xFFFFFFFFu, {0, 0, 0, 0}},
  };
  for (const auto& r : rows) {
    Stream* s = Add(r.text);
    s->CalculateFrame();  // only show players compute frames
    EXPECT_EQ(s->generator.type, r.type) << r.text;
    EXPECT_EQ(std::vector<int>({s->data[0], s->data[1], s->data[2], s->data[511]}), r.channels)
        << r.text;
    EXPECT_EQ(s->writeCount, 0u);
  }
}

TEST_F(Generators, ShowPlayerLoadsAndAutoStarts) {
  EXPECT_EQ(AddPlayer("001")->generator.engine, DmxEngine::GetInstance());
  EXPECT_EQ(List(1).state, kLayerRunning);
  Reset();
  EXPECT_EQ(AddPlayer("-01")->generator.cueList, 0u);  // loaded, nothing plays
  EXPECT_EQ(List(0).state + List(1).state, kLayerStopped);
  Reset();  // a path far beyond 79 characters is opened whole
  Add("001000" + ShowFile(std::string(150, 'p'), kShow) + "\n");
  EXPECT_EQ(List(0).state, kLayerRunning);
  // Read past the NUL, "ChTypes\0X" would be one keyword and channel 0 type 2.
  Reset();
  const char raw[] = "ENDP 1 Cues 0 Cuelists 0 DefVals 1 5 ChTypes\0X 1 2 ChSubtypes 0";
  Add("001-01" + ShowFile("nul.txt", std::string(raw, sizeof(raw) - 1)) + "\n");
  EXPECT_EQ(DmxEngine::GetInstance()->startValues[0], 5);
  EXPECT_EQ(DmxEngine::GetInstance()->channelTypes[0], 0);
}

TEST_F(Generators, OneEngineFramePerWalkForEveryShowPlayer) {
  Stream* first = AddPlayer();
  Stream* others[] = {Add("000009\n"), Add("002\n"), Add("\n", kStreamVirtual)};
  Stream* second = AddPlayer();
  PlayShowFrame();
  EXPECT_EQ(std::vector<int>({first->data[0], second->data[0]}), std::vector<int>({10, 10}));
  PlayShowFrame();
  EXPECT_EQ(std::vector<int>({first->data[0], second->data[0]}), std::vector<int>({20, 20}));
  for (Stream* s : others) EXPECT_EQ(s->writeCount, 0u);
}

TEST_F(Generators, OscGrandMasterAndCuelists) {
  Send("/vpro/gm", 10.0f);  // no show-playing stream: nothing to act on
  EXPECT_EQ(GrandMaster.load(), 255u);
  AddPlayer("-01");
  Add("002\n");
  struct {
    float v;
    Arg arg;
    uint32_t expected;
  } gm[] = {{300.0f, kFloat, 255}, {127.9f, kFloat, 127}, {-5.0f, kFloat, 0},
            {kNaN, kFloat, 99}, {1.0f, kInt, 99}, {1.0f, kNone, 99}};
  for (const auto& r : gm) {
    GrandMaster = 99;
    Send("/vpro/gm", r.v, r.arg);
    EXPECT_EQ(GrandMaster.load(), r.expected) << r.v << " " << r.arg;
  }
  const std::string go = "/vpro/cuelist/1/command/go", level = "/vpro/cuelist/1/level";
  struct {
    std::string address;
    float v;
    Arg arg;
    int32_t state, level;
  } rows[] = {
      {go, 1.0f, kFloat, kLayerRunning, 65535},
      {go, 0.0f, kFloat, kLayerStopped, 1234},  // a push button's release
      {go, 1.0f, kInt, kLayerStopped, 1234},
      {go, kNaN, kFloat, kLayerStopped, 1234},
      {"/vpro/cuelist/4294967297/command/go", 1.0f, kFloat, kLayerStopped, 1234},  // not list 1
      {"/x" + go, 1.0f, kFloat, kLayerStopped, 1234},
      {level, 70000.0f, kFloat, kLayerStopped, 65535},
      {level, -1.0f, kFloat, kLayerStopped, 0},
      {level, 0.0f, kFloat, kLayerStopped, 1234},
  };
  for (const auto& r : rows) {
    DmxEngine::GetInstance()->LoadShow(kShow);
    DmxEngine::GetInstance()->SetCuelistLevel(1, 1234);
    Send(r.address, r.v, r.arg);
    EXPECT_EQ(std::make_pair(List(1).state, List(1).level), std::make_pair(r.state, r.level))
        << r.address << " " << r.v << " " << r.arg;
  }
  Send(go, 1.0f);
  Send("/vpro/cuelist/1/command/pause", 1.0f);
  EXPECT_EQ(List(1).state, kLayerPaused);  // one pause reaches the list once
}

TEST_F(Generators, OscChannelsAndBadDatagrams) {
  Stream* player = AddPlayer();
  Stream* a = Add("002\n");
  Stream* fixed = Add("000009\n");
  Stream* b = Add("002\n");
  Send("/cvmk2/0", 128.6f);
  Send("/cvmk2/127", 300.0f);
  for (const char* ignored : {"/cvmk2/128", "/cvmk2/007", "/cvmk2/1x", "/cvmk2/"}) Send(ignored, 5);
  Send("/cvmk2/1", kNaN);
  for (Stream* s : {a, b}) {
    EXPECT_EQ(std::vector<int>({s->data[0], s->data[1], s->data[127], s->data[128]}),
              std::vector<int>({128, 0, 255, 0}));
  }
  EXPECT_EQ(fixed->data[0] + player->writeCount, 9u);

  char buffer[128];
  osc::OutboundPacketStream bundle(buffer, sizeof(buffer));
  bundle << osc::BeginBundleImmediate << osc::BeginMessage("/cvmk2/1") << 10.0f << osc::EndMessage
         << osc::BeginMessage("/cvmk2/1") << 20.0f << osc::EndMessage << osc::EndBundle;
  const std::string whole(bundle.Data(), bundle.Size());
  const std::string bad[] = {std::string("\xff\0\0", 3), std::string("/cvmk2/1\0\0\0\0,f\0\0", 16),
                             "/cvmk2/1", whole.substr(0, whole.size() - 4)};
  for (const std::string& datagram : bad) SendBytes(datagram);
  EXPECT_EQ(a->data[1], 0);
  SendBytes(whole);
  EXPECT_EQ(a->data[1], 20);  // bundle elements in order
}

}  // namespace
