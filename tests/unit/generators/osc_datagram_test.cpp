// The structure check every OSC datagram passes before the library walks
// it: one row per datagram, with the reason it is refused or taken.
#include "osc_control/osc_datagram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<char>;

// A size field as it lies on the wire, high byte first.
Bytes Size(int32_t n) {
  const auto u = static_cast<uint32_t>(n);
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
          static_cast<char>(u)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// "#bundle", a zero time tag, then `body` as it stands.
Bytes Bundle(const Bytes& body) {
  static const char kHead[] = "#bundle\0\0\0\0\0\0\0\0";
  return Cat({Bytes(kHead, kHead + 16), body});
}

// One element with its true size in front.
Bytes Element(const Bytes& contents) {
  return Cat({Size(static_cast<int32_t>(contents.size())), contents});
}

// /vpro/gm with the float 51.0.
const Bytes kGm = {'/', 'v', 'p', 'r', 'o', '/', 'g', 'm', 0, 0, 0, 0,
                   ',', 'f', 0,   0,   0x42, 0x4C, 0, 0};

TEST(OscDatagram, StructureFaults) {
  const struct {
    Bytes datagram;
    const char* fault;  // nullptr: handed to the library
  } rows[] = {
      // The datagram that used to keep the library's reader on one element.
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
      {Bundle({}), nullptr},
      {Bundle(Element(kGm)), nullptr},
      {Bundle(Cat({Element(kGm), Element(Bundle(Element(Bundle(Element(kGm)))))})), nullptr},
      {kGm, nullptr},
      {Bytes({'x', 1, 2}), nullptr},  // no bundle: the library refuses it itself
      {Bytes(), nullptr},
  };
  for (const auto& r : rows) {
    const Bytes& d = r.datagram;
    const char* fault = OscStructureFault(d.data(), d.size());
    EXPECT_EQ(std::string(fault ? fault : "-"), std::string(r.fault ? r.fault : "-"))
        << std::string(d.begin(), d.end()) << " (" << d.size() << " bytes)";
  }
}

}  // namespace
