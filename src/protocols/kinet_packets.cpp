#include "protocols/kinet_packets.h"

#include <cstring>

#include "dmx_types.h"
#include "protocols/byte_order.h"

namespace {

constexpr uint32_t kKinetDmxOutDataOffset = 20;
constexpr uint32_t kKinetPortOutDataOffset = 24;
constexpr uint32_t kKinetMaxChannels = kDmxChannels;
constexpr char kKinetDeviceText[] = "Corvanta Mk2";

uint32_t ChannelsThatFit(size_t available, uint32_t wanted) {
  if (wanted > available) wanted = static_cast<uint32_t>(available);
  return wanted > kKinetMaxChannels ? kKinetMaxChannels : wanted;
}

}  // namespace

void BuildKinetHeader(uint8_t* out, uint32_t sequence, uint16_t type, uint16_t version) {
  PutU32Le(out, kKinetMagic);
  PutU16Le(out + 4, version);
  PutU16Le(out + 6, type);
  PutU32Le(out + 8, sequence);
}

bool ParseKinetHeader(const uint8_t* packet, size_t length, KinetHeader* out) {
  if (length < kKinetHeaderSize || GetU32Le(packet) != kKinetMagic) return false;
  out->version = GetU16Le(packet + 4);
  out->type = GetU16Le(packet + 6);
  out->sequence = GetU32Le(packet + 8);
  return true;
}

void BuildKinetDiscoveryReply(uint8_t* reply, uint32_t sequence, const NodeIdentity& node) {
  std::memset(reply, 0, kKinetDiscoveryReplySize);
  BuildKinetHeader(reply, sequence, kKinetDiscoveryReply, 2);
  std::memcpy(reply + 12, node.ip, 4);
  std::memcpy(reply + 16, node.mac, 6);
  PutU16Le(reply + 22, 2);
  PutU32Le(reply + 24, node.serialNumber);
  std::memcpy(reply + 32, kKinetDeviceText, sizeof(kKinetDeviceText) - 1);
}

uint32_t BuildKinetPortDiscoveryReply(uint8_t* reply, uint16_t version, uint32_t sequence,
                                      const uint8_t* ports, uint32_t count) {
  if (count > kKinetMaxReportedPorts) count = kKinetMaxReportedPorts;
  uint32_t size = kKinetHeaderSize + 4 + count * kKinetPortRecordSize;
  // The rest of the count word and of each record carries nothing; zeroed so
  // that no stale byte goes out.
  std::memset(reply, 0, size);
  BuildKinetHeader(reply, sequence, kKinetPortDiscoveryReply, version);
  reply[12] = static_cast<uint8_t>(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* record = reply + 16 + i * kKinetPortRecordSize;
    record[0] = ports[i];
    record[1] = 2;
  }
  return size;
}

bool ParseKinetDmxOut(const uint8_t* packet, size_t length, KinetDmx* out) {
  if (length < kKinetDmxOutDataOffset) return false;
  out->port = packet[12];
  out->channels = packet + kKinetDmxOutDataOffset;
  out->length = ChannelsThatFit(length - kKinetDmxOutDataOffset, kKinetMaxChannels);
  return true;
}

bool ParseKinetPortOut(const uint8_t* packet, size_t length, KinetDmx* out) {
  if (length < kKinetPortOutDataOffset) return false;
  out->port = packet[16];
  out->channels = packet + kKinetPortOutDataOffset;
  out->length = ChannelsThatFit(length - kKinetPortOutDataOffset, GetU16Le(packet + 20));
  return true;
}
