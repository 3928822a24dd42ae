#pragma once
// E1.31 (sACN) data packet layout, built and checked over plain byte buffers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dmx_types.h"

constexpr uint16_t kSacnPort = 5568;
constexpr uint32_t kSacnDataPacketSize = 638;
// Everything up to and including the start code; the slots follow.
constexpr uint32_t kSacnHeaderSize = 126;
constexpr uint32_t kSacnMaxSlots = kDmxChannels;
constexpr uint32_t kSacnSequenceOffset = 111;

// Writes all 638 bytes of a data packet for `universe` (low 16 bits on the
// wire) from the source `cid`, with sequence 0 and 512 zero slots.
void BuildSacnDataPacket(uint8_t* out, const uint8_t* cid, uint32_t universe, uint8_t priority);

// Completes a pre-built packet for one more send: next sequence number
// (wrapping after 255) and the value count of a full universe.
void AdvanceSacnDataPacket(uint8_t* packet);

// The multicast group of a universe, 239.255.(high byte).(low byte), in host
// byte order.
uint32_t SacnMulticastGroup(uint32_t universe);

// Reads a CID written as 8-4-4-4-12 hexadecimal digits into 16 bytes in the
// text's digit order. Anything that is not exactly that (a blank field, a
// short line, a stray character) gives all zero bytes, which accepts any
// source, and false.
bool ParseSacnCidText(std::string_view text, uint8_t* cid);

enum class SacnCheck : uint8_t {
  kOk,
  kShort,
  kBadIdentifier,
  kBadFramingVector,
  kBadDmpVector,
  kBadDmpProperties,
  kNonDmxStartCode,
};

// The verbose log line for a dropped packet.
const char* SacnCheckText(SacnCheck check);

// What a receiver needs of a data packet that passed the checks; the
// pointers refer into the checked bytes.
struct SacnDataFrame {
  uint32_t universe;
  uint8_t priority;
  const uint8_t* cid;    // 16 bytes
  const uint8_t* slots;  // slotCount bytes, channel 1 first
  uint32_t slotCount;    // at most 512, and never past what arrived
};

// Checks a received datagram of `length` bytes. Only the fields the engine
// relies on are examined; root vector, lengths and sequence are not.
SacnCheck ParseSacnDataPacket(const uint8_t* bytes, size_t length, SacnDataFrame* frame);
