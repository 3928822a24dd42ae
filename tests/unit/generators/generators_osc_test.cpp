// Generators and the OSC control that steers them. Every OSC datagram passes
// a structure check before the library walks it: one row per datagram, with
// the reason it is refused or taken, and after each, hostile or not, the
// listener still obeys a good message.
#include <gtest/gtest.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "osc_control/osc_datagram.h"
#include "osc_control/osc_listener.h"
#include "process_state.h"
#include "show_engine/locked_engine.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"
#include "temp_folder.h"

namespace {

// List 0: channel 0 rises to 255 over 1000 ms (10 after one frame). List 1:
// channel 1 at 77, held.
const char kShow[] =
    "ENDP 1 Cues 0 Cuelists 2 Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 -1 0 "
    "Cues 1 Cue 0 Vals 1 1 77 Oscs 0 Timing 1 0 0 0 -1 100000 DefVals 0 ChTypes 0 ChSubtypes 0";
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
enum Arg { kFloat, kInt };

class Generators : public ::testing::Test {
 protected:
  std::string ShowFile(const std::string& name, const std::string& text) {
    const std::string path = folder.Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  Stream* Add(const std::string& text) { return AddStream(kStreamGenerator, text); }
  // Its auto-start field is negative: it plays nothing until told.
  Stream* AddPlayer() { return Add("001-01" + ShowFile("show.txt", kShow) + "\n"); }
  // Looked up under the lock; no other thread runs the engine here.
  static auto& List(int32_t id) {
    return *LockedEngine(*DmxEngine::GetInstance()).CuelistLayers().at(id);
  }
  // Built by the library's own writer, handed over as the socket would.
  void Send(const std::string& address, float value, Arg arg = kFloat) {
    char buffer[512];
    osc::OutboundPacketStream p(buffer, sizeof(buffer));
    p << osc::BeginMessage(address.c_str());
    if (arg == kFloat) p << value;
    if (arg == kInt) p << osc::int32(1);  // a type the handlers do not take
    p << osc::EndMessage;
    EXPECT_NO_THROW(listener.ProcessPacket(p.Data(), static_cast<int>(p.Size()), IpEndpointName()));
  }
  ExamplePacketListener listener;
  TempFolder folder;
};

// The low 8 bits and the 0s after a short line are pinned with the other
// stream lines; what stays here is the last of 512 values.
TEST_F(Generators, AFullFixedValueLineReachesTheLastChannel) {
  std::string sevens = "000";
  for (int k = 0; k < 512; ++k) sevens += "007";
  EXPECT_EQ(Add(sevens + "\n")->data[511], 7);
}

TEST_F(Generators, ShowPlayerFiles) {
  // A path far beyond 79 characters is opened whole.
  Add("001000" + ShowFile(std::string(150, 'p'), kShow) + "\n");
  EXPECT_EQ(List(0).state, kLayerRunning);
  // Read past the NUL, "ChTypes\0X" would be one keyword and channel 0 type 2.
  ResetProcessState();
  const char raw[] = "ENDP 1 Cues 0 Cuelists 0 DefVals 1 5 ChTypes\0X 1 2 ChSubtypes 0";
  Add("001-01" + ShowFile("nul.txt", std::string(raw, sizeof(raw) - 1)) + "\n");
  const LockedEngine engine(*DmxEngine::GetInstance());
  EXPECT_EQ(engine.Tables().startValues[0], 5);
  EXPECT_EQ(engine.Tables().channelTypes[0], 0);
}

// Show players share one engine, which plays nothing until told when their
// auto-start field is negative. Only a show player takes frames from it, and
// a walk advances it once however many players there are; the other generator
// types and kinds keep what they hold and count no write.
TEST_F(Generators, ShowPlayersAloneTakeOneEngineFrameAWalk) {
  Stream* first = AddPlayer();
  Stream* second = AddPlayer();
  Stream* fixed = Add("000009\n");
  for (Stream* s : {fixed, Add("002\n"), Add("005\n"), AddStream(kStreamVirtual, "\n")}) {
    const uint32_t writes = s->writeCount;
    const uint8_t held = s->data[0];
    s->CalculateFrame();
    EXPECT_EQ(std::make_tuple(s->writeCount, s->data[0]), std::make_tuple(writes, held)) << s->id;
  }
  first->CalculateFrame();
  EXPECT_EQ(first->data[0], 0);
  // The second load replaced the first.
  EXPECT_EQ(LockedEngine(*DmxEngine::GetInstance()).GetCuelistCount(), 2);
  Send("/vpro/cuelist/0/command/go", 1.0f);
  first->CalculateFrame();
  EXPECT_EQ(first->data[0], 10);  // list 0's first frame
  PlayShowFrame();
  EXPECT_EQ(std::vector<int>({first->data[0], second->data[0], fixed->data[0]}),
            std::vector<int>({20, 20, 9}));
}

TEST_F(Generators, OscArgumentsAndLimits) {
  Send("/vpro/gm", 10.0f);  // no show-playing stream: nothing to act on
  EXPECT_EQ(GrandMaster.load(), 255u);
  AddPlayer();
  AddPlayer();  // two show players share one engine
  Stream* osc = Add("002\n");
  const std::string gm = "/vpro/gm", go = "/vpro/cuelist/1/command/go",
                    level = "/vpro/cuelist/1/level", ch = "/cvmk2/127";
  const int32_t kStop = kLayerStopped;
  struct {
    std::string address;
    float v;
    Arg arg;
    uint32_t gm;
    int32_t state, level, channel;
  } rows[] = {
      {gm, 300.0f, kFloat, 255, kStop, 1234, 0},   {gm, 127.9f, kFloat, 127, kStop, 1234, 0},
      {gm, -5.0f, kFloat, 0, kStop, 1234, 0},      {gm, kNaN, kFloat, 99, kStop, 1234, 0},
      {gm, kInf, kFloat, 99, kStop, 1234, 0},      {gm, 1.0f, kInt, 99, kStop, 1234, 0},
      {go, 1.0f, kFloat, 99, kLayerRunning, 65535, 0},
      {go, 0.0f, kFloat, 99, kStop, 1234, 0},      // a push button's release
      {go, kNaN, kFloat, 99, kStop, 1234, 0},      {level, 70000.0f, kFloat, 99, kStop, 65535, 0},
      {level, -1.0f, kFloat, 99, kStop, 0, 0},     {level, -kInf, kFloat, 99, kStop, 1234, 0},
      {"/vpro/cuelist/4294967297/command/go", 1.0f, kFloat, 99, kStop, 1234, 0},  // not list 1
      {"/vpro/cuelist/+1/command/go", 1.0f, kFloat, 99, kLayerRunning, 65535, 0},
      {ch, 300.0f, kFloat, 99, kStop, 1234, 255},  {ch, kNaN, kFloat, 99, kStop, 1234, 0},
  };
  for (const auto& r : rows) {
    GrandMaster = 99;
    {
      LockedEngine engine(*DmxEngine::GetInstance());
      engine.LoadShow(kShow);
      engine.SetCuelistLevel(1, 1234);
    }
    osc->WriteAt(127, 0);
    Send(r.address, r.v, r.arg);
    EXPECT_EQ(std::make_tuple(GrandMaster.load(), List(1).state, List(1).level, +osc->data[127]),
              std::make_tuple(r.gm, r.state, r.level, r.channel))
        << r.address << " " << r.v << " " << r.arg;
  }
  // Not a channel: no digits, a leading zero, a letter, past 127.
  for (const char* address : {"/cvmk2/", "/cvmk2/05", "/cvmk2/1x", "/cvmk2/128"}) Send(address, 9);
  EXPECT_EQ(std::count(osc->data, osc->data + 129, 9), 0);
  Send(go, 1.0f);
  Send("/vpro/cuelist/1/command/pause", 1.0f);
  EXPECT_EQ(List(1).state, kLayerPaused);  // one pause reaches the list once
}

// Datagrams written byte by byte: the library's writer makes only good ones.
using Bytes = std::vector<char>;

// A size field as it lies on the wire, high byte first.
Bytes Size(uint32_t u) {
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
          static_cast<char>(u)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An OSC string: the text, its NUL, padded to 4.
Bytes Str(const std::string& text) {
  Bytes out(text.begin(), text.end());
  out.resize((text.size() / 4 + 1) * 4, 0);
  return out;
}

Bytes Msg(const std::string& address, const std::string& tags, const Bytes& arguments = {}) {
  return Cat({Str(address), Str(tags), arguments});
}

// "#bundle", a zero time tag, then `body` as it stands.
Bytes Bundle(const Bytes& body) {
  static const char kHead[] = "#bundle\0\0\0\0\0\0\0\0";
  return Cat({Bytes(kHead, kHead + 16), body});
}

// One element with its true size in front.
Bytes Element(const Bytes& contents) {
  return Cat({Size(static_cast<uint32_t>(contents.size())), contents});
}

// /vpro/gm with the float 51.0.
const Bytes kGm = Msg("/vpro/gm", ",f", {0x42, 0x4C, 0, 0});

struct Row {
  Bytes datagram;
  const char* fault;  // nullptr: handed to the library
};

std::vector<Row> Rows() {
  // Messages whose sizes or strings point past their end, one per argument
  // type the library reads.
  std::vector<Row> messages = {
      // The datagram that ended the process: two blobs, the first one
      // 0xffff6150 bytes long.
      {Msg("/cvmk2/5", ",bb",
           Cat({Size(0xffff6150), {0, 0x19, 0x49, 0, 0x42, (char)0x9b, 0x33, 0x33}})),
       "blob beyond the message"},
      {Msg("/x", ",b", Size(4)), "blob beyond the message"},
      {Msg("/x", ",b", Size(0x7FFFFFFF)), "blob beyond the message"},
      {Msg("/x", ",b", Size(0xFFFFFFFF)), "blob beyond the message"},
      {Msg("/x", ",bb", Cat({Size(1), {1, 0, 0, 0}, Size(1)})), "blob beyond the message"},
      {Msg("/x", ",b"), "blob size beyond the message"},
      {Msg("/x", ",fb", {0, 0, 0, 0}), "blob size beyond the message"},
      {Msg("/x", ",s", {'a', 'b', 'c', 'd'}), "string argument not terminated"},
      {Msg("/x", ",S", {'a', 'b', 0, 'd'}), "string argument not terminated"},
      {Msg("/x", ",s"), "string argument not terminated"},
      {Msg("/x", ",hhh", Bytes(16)), "argument beyond the message"},
      {Msg("/x", ",ss", Cat({Str("abcdef"), {'x', 'y', 'z', 'w'}})),
       "string argument not terminated"},
      {Bytes({'/', 'c', 'v', 'm'}), "address not terminated"},
      {Bytes({'/', 'a', 0, 'b'}), "address not terminated"},
      {Cat({Str("/x"), {',', 'f', 'f', 'f'}}), "type tags not terminated"},
      {Msg("/x", "f", Bytes(4)), "type tags without ','"},
      {Msg("/x", ",fz", Bytes(8)), "unknown type tag"},
  };
  for (char tag : std::string("ifcrmhtd")) {
    const size_t width = std::string("hdt").find(tag) == std::string::npos ? 4 : 8;
    messages.push_back(
        {Msg("/x", std::string(",") + tag, Bytes(width - 4)), "argument beyond the message"});
  }
  std::vector<Row> rows;
  for (const Row& m : messages) {
    rows.push_back(m);
    // Inside a bundle, and after a good element in a nested one.
    rows.push_back({Bundle(Element(m.datagram)), m.fault});
    rows.push_back({Bundle(Cat({Element(kGm), Element(Bundle(Element(m.datagram)))})), m.fault});
  }
  const std::vector<Row> bundles = {
      // Left to the library, this one keeps its reader on one element.
      {Bundle(Size(-4)), "element size not positive"},
      {Bundle(Cat({Element(kGm), Size(-4)})), "element size not positive"},
      {Bundle(Element(Bundle(Size(-4)))), "element size not positive"},
      {Bundle(Cat({Size(-8), kGm})), "element size not positive"},
      {Bundle(Cat({Size(0), kGm})), "element size not positive"},
      {Bundle(Cat({Size(2), kGm})), "element size not a multiple of 4"},
      {Bundle(Cat({Size(24), kGm})), "element beyond its bundle"},
      {Bundle(Cat({Size(0x7FFFFFFC), kGm})), "element beyond its bundle"},
      // An inner size that fits the outer bundle but not its own.
      {Bundle(Cat({Size(24), Bundle(Cat({Size(8), kGm}))})), "element beyond its bundle"},
      {Bundle(Cat({kGm, {0}})), "bundle size not a multiple of 4"},
      {Bytes({'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0}), "bundle shorter than its header"},
      {Bytes({'#', 'b', 'u', 'n', 'd', 'l', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0}), "not \"#bundle\""},
      {Bytes({'#', 0, 0, 0}), "bundle shorter than its header"},
      {Bytes(), "empty message"},
      {Bytes({'/', 'x', 0}), "message size not a multiple of 4"},
      // Taken: every argument type the library knows, each one fitting.
      {Msg("/x", ",TFNI[ifcrm]hdtsSbb",
           Cat({Bytes(5 * 4 + 3 * 8), Str("abc"), Str(""), Size(5), {1, 2, 3, 4, 5, 0, 0, 0},
                Size(0)})),
       nullptr},
      {Msg("/x", ","), nullptr},
      {Str("/x"), nullptr},
      {Cat({Str("/x"), {',', 0, 'y', 'z'}}), nullptr},  // no tags: the library reads no further
      {Bundle({}), nullptr},
      {Bundle(Element(kGm)), nullptr},
      {Bundle(Cat({Element(kGm), Element(Bundle(Element(Bundle(Element(kGm)))))})), nullptr},
      {kGm, nullptr},
  };
  rows.insert(rows.end(), bundles.begin(), bundles.end());
  return rows;
}

TEST_F(Generators, HostileDatagramsAreRefusedAndOscKeepsWorking) {
  const Stream* osc = Add("002\n");
  int level = 0;
  for (const Row& r : Rows()) {
    const Bytes& d = r.datagram;
    const char* fault = OscStructureFault(d.data(), d.size());
    const std::string shown = ::testing::PrintToString(d);
    EXPECT_EQ(std::string(fault ? fault : "-"), std::string(r.fault ? r.fault : "-")) << shown;
    listener.ProcessPacket(d.data(), static_cast<int>(d.size()), IpEndpointName());
    // /cvmk2/5 with a new level each time: it must take effect.
    level = level % 250 + 1;
    Send("/cvmk2/5", static_cast<float>(level));
    EXPECT_EQ(osc->data[5], level) << shown;
  }
}

}  // namespace
