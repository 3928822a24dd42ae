// The replies the engine builds, byte for byte, from the wire library alone:
// no stream, socket or process-wide identity takes part. The stream read-back
// and the KiNet port list are pinned whole where their receivers fill them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/artnet_packets.h"
#include "protocols/kinet_packets.h"
#include "protocols/qsp_packets.h"
#include "receiver_test_support.h"

namespace {

const NodeIdentity kNode = {{10, 1, 2, 3}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 12345678, 7,
                            "Test Gateway"};

NodeIdentity Named(const char* name) {
  NodeIdentity node = kNode;
  node.name = name;
  return node;
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(ReplyPackets, QspPollReply) {
  const struct {
    const char* name;
    std::vector<uint8_t> nameField;  // bytes 14-23
  } rows[] = {
      {"Test Gateway", Text("Test Gatew")},  // cut to ten, no terminator
      {"abc", Cat({Text("abc"), std::vector<uint8_t>(7, 0)})},
  };
  for (const auto& r : rows) {
    std::vector<uint8_t> reply(kQspPollReplySize, 0xEE);  // stale bytes must not show
    BuildQspPollReply(reply.data(), Named(r.name));
    EXPECT_EQ(reply, Cat({Text("QSPR"), {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {0, 7, 0, 0},
                          r.nameField, {0, 0, 0, 0, 1}}))
        << r.name;
  }
}

TEST(ReplyPackets, KinetDiscoveryReply) {
  std::vector<uint8_t> reply(kKinetDiscoveryReplySize, 0xEE);
  BuildKinetDiscoveryReply(reply.data(), 0x01020307, kNode);
  EXPECT_EQ(reply, Cat({{0x04, 0x01, 0xDC, 0x4A},           // magic
                        {0x02, 0x00, 0x02, 0x00},           // version 2, type 0x0002
                        {0x07, 0x03, 0x02, 0x01},           // the request's sequence
                        {10, 1, 2, 3},                      // address, network order
                        {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                        {0x02, 0x00},
                        {0x4E, 0x61, 0xBC, 0x00},           // serial 12345678
                        {0, 0, 0, 0},
                        Text("Corvanta Mk2"), std::vector<uint8_t>(18, 0)}));
}

// A reply of three ports as the poll handler fills them: two the node outputs
// to (universes 1 and 2), one it takes input from (300, sent as its low byte).
// The virtual port's names carry a suffix; long names are cut to their fields.
// The first reply of a short name is seen whole on the real binary.
TEST(ReplyPackets, ArtPollReply) {
  const char* const kLong = "0123456789012345678901234567890123456789";
  const struct {
    const char* name;
    uint8_t bindIndex;
    std::string shortName, longName;
  } rows[] = {
      {"Test Gateway", 1, "Test Gateway (V)", "Test Gateway (virtual)"},
      {kLong, 0, "0123456789012345", "012345678901234567890123456789"},
      {kLong, 1, "0123456789012345 (", "012345678901234567890123456789 (virtual)"},
  };
  const uint8_t ports[] = {3, 0x80, 0x80, 0x40, 0, 0x80, 0, 0, 0, 0x80, 0x80, 0, 0,
                           44, 0, 0, 0, 1, 2, 0, 0};
  for (const auto& r : rows) {
    std::vector<uint8_t> reply(kArtPollReplySize, 0);
    std::copy(ports, ports + sizeof(ports), reply.begin() + kPollReplyNumPortsLo);
    BuildArtPollReply(reply.data(), r.bindIndex, Named(r.name));

    std::vector<uint8_t> expected(kArtPollReplySize, 0);
    const std::vector<uint8_t> head = Cat({Text(std::string("Art-Net\0", 8)), {0x00, 0x21},
                                           {10, 1, 2, 3}, {0x36, 0x19},  // port 6454
                                           {1, 2, 0, 0, 0x7A, 0x31, 0, 2, 0x4B, 0x57}});
    std::copy(head.begin(), head.end(), expected.begin());
    std::copy(ports, ports + sizeof(ports), expected.begin() + kPollReplyNumPortsLo);
    std::copy(r.shortName.begin(), r.shortName.end(), expected.begin() + 26);
    std::copy(r.longName.begin(), r.longName.end(), expected.begin() + 44);
    const uint8_t tail[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 10, 1, 2, 3,
                            r.bindIndex, static_cast<uint8_t>(r.bindIndex == 0 ? 5 : 4)};
    std::copy(tail, tail + sizeof(tail), expected.begin() + 201);
    EXPECT_EQ(reply, expected) << r.longName;
  }
}

}  // namespace
