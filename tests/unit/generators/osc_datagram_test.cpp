// The structure check every OSC datagram passes before the library walks
// it: one row per datagram, with the reason it is refused or taken; and
// after each, hostile or not, the listener still obeys a good message.
#include "osc_control/osc_datagram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "osc_control/osc_listener.h"
#include "process_state.h"
#include "stream.h"

namespace {

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
      {Msg("/cvmk2/5", ",bb", Cat({Size(0xffff6150), {0, 0x19, 0x49, 0, 0x42, (char)0x9b, 0x33, 0x33}})),
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
      {Msg("/x", ",ss", Cat({Str("abcdef"), {'x', 'y', 'z', 'w'}})), "string argument not terminated"},
      {Bytes({'/', 'c', 'v', 'm'}), "address not terminated"},
      {Bytes({'/', 'a', 0, 'b'}), "address not terminated"},
      {Cat({Str("/x"), {',', 'f', 'f', 'f'}}), "type tags not terminated"},
      {Msg("/x", "f", Bytes(4)), "type tags without ','"},
      {Msg("/x", ",fz", Bytes(8)), "unknown type tag"},
  };
  for (char tag : std::string("ifcrmhtd")) {
    const size_t width = std::string("hdt").find(tag) == std::string::npos ? 4 : 8;
    messages.push_back({Msg("/x", std::string(",") + tag, Bytes(width - 4)), "argument beyond the message"});
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
           Cat({Bytes(5 * 4 + 3 * 8), Str("abc"), Str(""), Size(5), {1, 2, 3, 4, 5, 0, 0, 0}, Size(0)})),
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

TEST(OscDatagram, HostileDatagramsAreRefusedAndOscKeepsWorking) {
  AddStream(kStreamGenerator, "002\n");  // an OSC-driven generator
  ExamplePacketListener listener;
  uint8_t level = 0;
  for (const Row& r : Rows()) {
    const Bytes& d = r.datagram;
    const char* fault = OscStructureFault(d.data(), d.size());
    const std::string shown = ::testing::PrintToString(d);
    EXPECT_EQ(std::string(fault ? fault : "-"), std::string(r.fault ? r.fault : "-")) << shown;
    listener.ProcessPacket(d.data(), static_cast<int>(d.size()), IpEndpointName());
    // /cvmk2/5 with a new level each time: it must take effect.
    level = static_cast<uint8_t>(level % 250 + 1);
    const float value = level;
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const Bytes good = Msg("/cvmk2/5", ",f", Size(bits));
    listener.ProcessPacket(good.data(), static_cast<int>(good.size()), IpEndpointName());
    EXPECT_EQ(StreamTable[0]->data[5], level) << shown;
  }
}

}  // namespace
