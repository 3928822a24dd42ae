#pragma once
// Art-Net byte layouts, built and parsed over plain byte buffers.
#include <cstddef>
#include <cstdint>

#include "dmx_types.h"
#include "protocols/node_identity.h"

constexpr uint16_t kArtnetPort = 6454;
constexpr uint32_t kArtDmxSize = 530;
constexpr uint32_t kArtDmxHeaderSize = 18;
// The header and the 2 channels that are the least an ArtDmx may carry:
// peers send short frames for universes of a few channels.
constexpr uint32_t kArtDmxMinSize = kArtDmxHeaderSize + 2;
// Each datagram the receiver takes lands in a slot of this many bytes.
constexpr uint32_t kArtnetReceiveBufferSize = 600;
// ID and OpCode: the least a datagram needs to be dispatched.
constexpr uint32_t kArtnetHeaderSize = 10;

constexpr uint16_t kOpDmx = 0x5000;
constexpr uint16_t kOpPoll = 0x2000;
constexpr uint16_t kOpPollReply = 0x2100;
constexpr uint16_t kOpTodRequest = 0x8000;
constexpr uint16_t kOpTodData = 0x8100;
constexpr uint16_t kOpTodControl = 0x8200;
constexpr uint16_t kOpRdm = 0x8300;

constexpr uint32_t kArtPollReplySize = 240;
// Per-port fields of a reply: four ports to a reply.
constexpr uint32_t kArtPollReplyPorts = 4;
constexpr uint32_t kPollReplyNumPortsLo = 173;
constexpr uint32_t kPollReplyPortTypes = 174;
constexpr uint32_t kPollReplyGoodInput = 178;
constexpr uint32_t kPollReplyGoodOutput = 182;
constexpr uint32_t kPollReplySwIn = 186;
constexpr uint32_t kPollReplySwOut = 190;

constexpr uint32_t kArtTodRequestMinSize = 24;
constexpr uint32_t kArtTodDataHeaderSize = 28;
constexpr uint32_t kArtTodDataMaxUids = 200;
constexpr uint32_t kArtTodDataMaxSize = kArtTodDataHeaderSize + 6 * kArtTodDataMaxUids;

// Writes the 18-byte ArtDmx header for `universe` (low 16 bits, low byte
// first) with Length 512; the 512 data bytes follow at offset 18.
void BuildArtDmxHeader(uint8_t* out, uint32_t universe);

// Whether the datagram starts with the Art-Net ID. Only the 7 letters are
// compared: peers that put something other than NUL at byte 7 are served.
bool HasArtnetId(const uint8_t* packet, size_t length);

// The little-endian OpCode at offset 8; the caller checks the length.
uint16_t ArtnetOpcode(const uint8_t* packet);

struct ArtDmxInput {
  uint16_t universe;      // SubUni and Net as one value
  const uint8_t* data;    // channel 1 first
  uint32_t length;        // at most 512, whatever the datagram claims; may be 0
};

// Reads an ArtDmx. The data is as long as the Length field says, but never
// longer than what arrived behind the header nor than one universe. False
// when fewer than 2 channel bytes arrived.
bool ParseArtDmx(const uint8_t* packet, size_t length, ArtDmxInput* out);

struct ArtTodRequestInput {
  uint8_t command;
  uint8_t adCount;          // as the packet states it, for the log
  const uint8_t* addresses;
  uint32_t addressCount;    // adCount bounded by the bytes that arrived
};

// Reads an ArtTodRequest. False when the datagram ends before its addresses.
bool ParseArtTodRequest(const uint8_t* packet, size_t length, ArtTodRequestInput* out);

// Writes every field of an ArtPollReply that does not depend on the ports,
// from the device identity. NumPortsLo and the per-port fields are the
// caller's; the caller clears the buffer once per poll.
void BuildArtPollReply(uint8_t* out, uint32_t bindIndex, const NodeIdentity& node);

// Writes one ArtTodData packet: block `block` of a table of `total` UIDs,
// holding `count` of them from `uids`. Returns the packet length.
size_t BuildArtTodData(uint8_t* out, uint8_t address, uint32_t total, uint32_t block,
                       const RdmUid* uids, uint32_t count);
