#include "protocols/qsp_packets.h"

#include <cstring>

#include "protocols/byte_order.h"

namespace {

constexpr uint32_t kQspMinDataLength = 20;
// The length field may say up to 520, but a stream holds 512 channels; a
// longer frame is refused rather than cut, so no peer sees half a frame.
constexpr uint32_t kQspMaxDataLength = kDmxChannels;
constexpr size_t kQspNameOffset = 14;
constexpr size_t kQspNameLength = 10;

bool HasMagic(const uint8_t* packet, const char* magic) {
  return std::memcmp(packet, magic, 4) == 0;
}

}  // namespace

void BuildQspDataHeader(uint8_t* out, uint32_t universe) {
  std::memcpy(out, "QSDD", 4);
  out[4] = static_cast<uint8_t>(universe & 0xFF);
  out[5] = 0;
  out[6] = 0;  // not read by receivers; zero rather than whatever was there
  PutU16Be(out + 7, static_cast<uint16_t>(kDmxChannels));
}

void BuildQsooHeader(uint8_t* out, bool input) {
  std::memcpy(out, "QSOO", 4);
  out[4] = input ? 2 : 1;
}

QspPacketKind ClassifyQspPacket(const uint8_t* packet, size_t length) {
  if (length < 4) return QspPacketKind::kOther;
  if (HasMagic(packet, "QSDD")) return QspPacketKind::kData;
  if (HasMagic(packet, "QSPP")) return QspPacketKind::kPoll;
  if (HasMagic(packet, "QSRD")) return QspPacketKind::kRdmRequest;
  if (HasMagic(packet, "QDSP")) return QspPacketKind::kStreamRequest;
  return QspPacketKind::kOther;
}

bool ParseQspDataPacket(const uint8_t* packet, size_t length, QspData* out) {
  if (length < kQspDataOffset) return false;
  if (packet[5] != 0) return false;
  uint32_t dataLength = GetU16Be(packet + 7);
  if (dataLength < kQspMinDataLength || dataLength > kQspMaxDataLength) return false;
  if (dataLength > length - kQspDataOffset) return false;
  out->universe = packet[4];
  out->channels = packet + kQspDataOffset;
  out->length = dataLength;
  return true;
}

void BuildQspPollReply(uint8_t* reply, const NodeIdentity& node) {
  // Bytes 12-13 and 24-26 carry nothing; zero them so that no stale byte of
  // an earlier reply goes out.
  std::memset(reply, 0, kQspPollReplySize);
  std::memcpy(reply, "QSPR", 4);
  std::memcpy(reply + 4, node.mac, 6);
  reply[10] = 0;
  reply[11] = node.boardType;
  // Ten characters at most and no terminator when the name fills them.
  size_t nameLength = strnlen(node.name, kQspNameLength);
  std::memcpy(reply + kQspNameOffset, node.name, nameLength);
  reply[27] = 0;
  reply[28] = 1;
}

bool ParseQspStreamRequest(const uint8_t* packet, size_t length, uint16_t* index) {
  if (length < kQspStreamRequestSize) return false;
  *index = GetU16Le(packet + 4);
  return true;
}

void BuildQspStreamReply(uint8_t* reply, uint16_t index, const uint8_t* channels) {
  std::memcpy(reply, "QDSR", 4);
  PutU16Le(reply + 4, index);
  std::memcpy(reply + 6, channels, kDmxChannels);
}
