#include "protocols/artnet_packets.h"

#include <algorithm>
#include <cstring>

#include "protocols/byte_order.h"
#include "protocols/rdm_packets.h"

namespace {

constexpr char kArtnetId[8] = "Art-Net";

void PutId(uint8_t* out, uint16_t opcode) {
  std::memcpy(out, kArtnetId, 8);  // with its terminating zero
  PutU16Le(out + 8, opcode);
}

// At most `max` characters of a NUL-terminated name; returns how many.
size_t CopyName(uint8_t* out, const char* name, size_t max) {
  size_t n = 0;
  while (n < max && name[n] != '\0') {
    out[n] = static_cast<uint8_t>(name[n]);
    ++n;
  }
  return n;
}

}  // namespace

void BuildArtDmxHeader(uint8_t* out, uint32_t universe) {
  PutId(out, kOpDmx);
  out[10] = 0;                     // ProtVerHi
  out[11] = 14;                    // ProtVerLo
  out[12] = 0;                     // Sequence: not used
  out[13] = 0;                     // Physical
  PutU16Le(out + 14, static_cast<uint16_t>(universe & 0xFFFF));
  PutU16Be(out + 16, static_cast<uint16_t>(kDmxChannels));  // Length
}

bool HasArtnetId(const uint8_t* packet, size_t length) {
  return length >= 7 && std::memcmp(packet, kArtnetId, 7) == 0;
}

uint16_t ArtnetOpcode(const uint8_t* packet) {
  return GetU16Le(packet + 8);
}

bool ParseArtDmx(const uint8_t* packet, size_t length, ArtDmxInput* out) {
  if (length < kArtDmxMinSize) return false;
  size_t dataLength = std::min<size_t>(length - kArtDmxHeaderSize, kDmxChannels);
  // Length, high byte first: a frame may arrive padded beyond its channels.
  dataLength = std::min<size_t>(dataLength, GetU16Be(packet + 16));
  out->universe = GetU16Le(packet + 14);
  out->data = packet + kArtDmxHeaderSize;
  out->length = static_cast<uint32_t>(dataLength);
  return true;
}

bool ParseArtTodRequest(const uint8_t* packet, size_t length, ArtTodRequestInput* out) {
  if (length < kArtTodRequestMinSize) return false;
  out->command = packet[22];
  out->adCount = packet[23];
  out->addresses = packet + kArtTodRequestMinSize;
  size_t arrived = length - kArtTodRequestMinSize;
  out->addressCount = static_cast<uint32_t>(out->adCount < arrived ? out->adCount : arrived);
  return true;
}

void BuildArtPollReply(uint8_t* out, uint32_t bindIndex, const NodeIdentity& node) {
  PutId(out, kOpPollReply);
  std::memcpy(out + 10, node.ip, 4);
  PutU16Le(out + 14, kArtnetPort);
  out[16] = 1;     // VersInfoH
  out[17] = 2;     // VersInfoL
  out[18] = 0;     // NetSwitch
  out[19] = 0;     // SubSwitch
  PutU16Be(out + 20, 0x7A31);  // OEM code
  out[22] = 0;     // UbeaVersion
  out[23] = 2;     // Status1
  PutU16Le(out + 24, kOwnManufacturerId);  // ESTA manufacturer

  // Controllers list every reply after the first as a virtual node, so those
  // carry a suffix on both names. ShortName is cut to its field; LongName has
  // room for 30 characters, the suffix and a NUL.
  constexpr size_t kShortName = 26, kShortNameSize = 18;
  constexpr size_t kLongName = 44, kLongNameSize = 64;
  std::memset(out + kShortName, 0, kShortNameSize);
  size_t n = CopyName(out + kShortName, node.name, 16);
  if (bindIndex != 0) CopyName(out + kShortName + n, " (V)", kShortNameSize - n);
  std::memset(out + kLongName, 0, kLongNameSize);
  n = CopyName(out + kLongName, node.name, 30);
  if (bindIndex != 0) CopyName(out + kLongName + n, " (virtual)", kLongNameSize - 1 - n);

  out[108] = 0;  // NodeReport
  out[172] = 0;  // NumPortsHi
  out[194] = 0;  // SwVideo
  out[195] = 0;  // SwMacro
  out[196] = 0;  // SwRemote
  std::memcpy(out + 201, node.mac, 6);
  std::memcpy(out + 207, node.ip, 4);  // BindIp
  out[211] = static_cast<uint8_t>(bindIndex);
  out[212] = bindIndex == 0 ? 5 : 4;              // Status2
}

size_t BuildArtTodData(uint8_t* out, uint8_t address, uint32_t total, uint32_t block,
                       const RdmUid* uids, uint32_t count) {
  if (count > kArtTodDataMaxUids) count = kArtTodDataMaxUids;
  PutId(out, kOpTodData);
  out[10] = 1;  // ProtVerHi
  out[11] = 2;  // ProtVerLo
  out[12] = 1;  // RdmVer
  out[13] = 1;  // Port
  std::memset(out + 14, 0, 8);  // spare, BindIndex, Net
  out[22] = 0;                  // CommandResponse: full table
  out[23] = address;
  PutU16Be(out + 24, static_cast<uint16_t>(total & 0xFFFF));  // UidTotal
  out[26] = static_cast<uint8_t>(block);
  out[27] = static_cast<uint8_t>(count);
  for (uint32_t i = 0; i < count; ++i) {
    std::memcpy(out + kArtTodDataHeaderSize + 6 * i, uids[i].bytes, 6);
  }
  return kArtTodDataHeaderSize + 6 * static_cast<size_t>(count);
}
