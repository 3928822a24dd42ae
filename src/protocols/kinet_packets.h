#pragma once
// KiNet byte layouts, built and parsed over plain byte buffers. Every
// multi-byte field is little-endian.
#include <cstddef>
#include <cstdint>

#include "protocols/node_identity.h"

constexpr uint16_t kKinetPort = 6038;
// Each datagram the receiver takes lands in a slot of this many bytes.
constexpr uint32_t kKinetReceiveBufferSize = 600;
constexpr uint32_t kKinetMagic = 0x4ADC0104;
constexpr uint32_t kKinetHeaderSize = 12;
constexpr uint32_t kKinetDiscoveryReplySize = 62;
// A controller reads the record count from one byte, and this many fit the
// reply buffer.
constexpr uint32_t kKinetMaxReportedPorts = 16;
constexpr uint32_t kKinetPortRecordSize = 8;
constexpr uint32_t kKinetPortDiscoveryReplyMaxSize =
    kKinetHeaderSize + 4 + kKinetMaxReportedPorts * kKinetPortRecordSize;

enum KinetPacketType : uint16_t {
  kKinetDiscovery = 0x0001,
  kKinetDiscoveryReply = 0x0002,
  kKinetPortDiscovery = 0x000A,
  kKinetPortDiscoveryReply = 0x000B,
  kKinetDmxOut = 0x0101,
  kKinetPortOut = 0x0108,
  kKinetSync = 0x0109,
};

struct KinetHeader {
  uint16_t version;
  uint16_t type;
  uint32_t sequence;
};

// Writes the 12-byte header at the start of `out`.
void BuildKinetHeader(uint8_t* out, uint32_t sequence, uint16_t type, uint16_t version);

// False when the datagram is shorter than a header or does not carry the
// magic.
bool ParseKinetHeader(const uint8_t* packet, size_t length, KinetHeader* out);

// Fills the 62-byte discovery reply from the device identity.
void BuildKinetDiscoveryReply(uint8_t* reply, uint32_t sequence, const NodeIdentity& node);

// Fills a port-discovery reply with one record per entry of `ports` (at most
// 16 are taken) and returns its length, 16 + 8 per record.
uint32_t BuildKinetPortDiscoveryReply(uint8_t* reply, uint16_t version, uint32_t sequence,
                                      const uint8_t* ports, uint32_t count);

struct KinetDmx {
  uint8_t port;
  const uint8_t* channels;  // points into the packet
  uint32_t length;          // at most 512, all of it inside the packet
};

// A DMX-out: port at byte 12, channels from byte 20 to the end of the
// datagram. False when shorter than 20 bytes.
bool ParseKinetDmxOut(const uint8_t* packet, size_t length, KinetDmx* out);

// A port-out: port at byte 16, length at 20-21, channels from byte 24. False
// when shorter than 24 bytes; the length is cut to what arrived.
bool ParseKinetPortOut(const uint8_t* packet, size_t length, KinetDmx* out);
