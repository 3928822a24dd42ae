#include "protocols/kinet_packets.h"

#include <cstring>

#include "device_identity.h"

namespace {

constexpr uint32_t kKinetDmxOutDataOffset = 20;
constexpr uint32_t kKinetPortOutDataOffset = 24;
constexpr uint32_t kKinetMaxChannels = 512;
constexpr char kKinetDeviceText[] = "Corvanta Mk2";

void Put16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t Get16(const uint8_t* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }

uint32_t Get32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

uint32_t ChannelsThatFit(size_t available, uint32_t wanted) {
  if (wanted > available) wanted = static_cast<uint32_t>(available);
  return wanted > kKinetMaxChannels ? kKinetMaxChannels : wanted;
}

}  // namespace

void BuildKinetHeader(uint8_t* out, uint32_t sequence, uint16_t type, uint16_t version) {
  Put32(out, kKinetMagic);
  Put16(out + 4, version);
  Put16(out + 6, type);
  Put32(out + 8, sequence);
}

bool ParseKinetHeader(const uint8_t* packet, size_t length, KinetHeader* out) {
  if (length < kKinetHeaderSize || Get32(packet) != kKinetMagic) return false;
  out->version = Get16(packet + 4);
  out->type = Get16(packet + 6);
  out->sequence = Get32(packet + 8);
  return true;
}

void BuildKinetDiscoveryReply(uint8_t* reply, uint32_t sequence) {
  std::memset(reply, 0, kKinetDiscoveryReplySize);
  BuildKinetHeader(reply, sequence, kKinetDiscoveryReply, 2);
  std::memcpy(reply + 12, &IpAddress.s_addr, 4);  // already in network order
  for (int i = 0; i < 6; ++i) reply[16 + i] = static_cast<uint8_t>(MacAddress[i] & 0xFF);
  Put16(reply + 22, 2);
  Put32(reply + 24, SerialNumber);
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
  out->length = ChannelsThatFit(length - kKinetPortOutDataOffset, Get16(packet + 20));
  return true;
}
