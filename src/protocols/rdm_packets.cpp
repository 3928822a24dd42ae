#include "protocols/rdm_packets.h"

#include <algorithm>
#include <cstring>

#include "protocols/byte_order.h"

namespace {

void PutUid(uint8_t* out, const RdmUid& uid) { std::memcpy(out, uid.bytes, sizeof(uid.bytes)); }

RdmUid GetUid(const uint8_t* in) {
  RdmUid uid;
  std::memcpy(uid.bytes, in, sizeof(uid.bytes));
  return uid;
}

// Each byte goes out twice, once with the odd and once with the even bits
// forced high, so that any one responder's reply survives a wired-AND line.
void EncodeDubByte(uint8_t value, uint8_t* out) {
  out[0] = value | 0xAA;
  out[1] = value | 0x55;
}

}  // namespace

void InitEmptyRdmRequest(RdmRequestBlock* block) {
  std::memset(block, 0, sizeof(*block));
  block->header[0] = kRdmStartCode;
}

void BuildRdmFrame(RdmRequestBlock* block, const RdmMessage& m) {
  uint8_t pdl = std::min(m.pdl, kRdmMaxPdl);
  uint8_t* h = block->header;
  h[0] = kRdmStartCode;
  h[1] = kRdmSubStartCode;
  h[kRdmMessageLengthOffset] = static_cast<uint8_t>(kRdmHeaderSize + pdl);
  PutUid(h + kRdmDestinationOffset, m.destination);
  PutUid(h + kRdmSourceOffset, m.source);
  h[kRdmTransactionOffset] = m.transactionNumber;
  h[kRdmPortIdOffset] = m.portIdOrResponseType;
  h[kRdmMessageCountOffset] = m.messageCount;
  PutU16Be(h + kRdmSubDeviceOffset, m.subDevice);
  h[kRdmCommandClassOffset] = m.commandClass;
  PutU16Be(h + kRdmParameterIdOffset, m.parameterId);
  h[kRdmPdlOffset] = pdl;
  if (pdl != 0 && m.data != nullptr) std::memcpy(block->data, m.data, pdl);
  block->checksum = static_cast<uint16_t>(RdmChecksum(h, kRdmHeaderSize) +
                                          RdmChecksum(block->data, pdl));
}

uint16_t RdmChecksum(const uint8_t* bytes, size_t length) {
  uint16_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint16_t>(sum + bytes[i]);
  return sum;
}

size_t LayRdmFrame(const RdmRequestBlock& block, uint8_t* out) {
  size_t pdl = std::min(block.header[kRdmPdlOffset], kRdmMaxPdl);
  std::memcpy(out, block.header, kRdmHeaderSize);
  std::memcpy(out + kRdmHeaderSize, block.data, pdl);
  PutU16Be(out + kRdmHeaderSize + pdl, block.checksum);
  return kRdmHeaderSize + pdl + kRdmChecksumSize;
}

bool ParseRdmFrame(const uint8_t* bytes, size_t length, RdmMessage* out) {
  if (length < kRdmHeaderSize + kRdmChecksumSize) return false;
  if (bytes[0] != kRdmStartCode || bytes[1] != kRdmSubStartCode) return false;
  size_t messageLength = bytes[kRdmMessageLengthOffset];
  if (messageLength < kRdmHeaderSize || messageLength + kRdmChecksumSize > length) return false;
  if (bytes[kRdmPdlOffset] != messageLength - kRdmHeaderSize) return false;
  if (RdmChecksum(bytes, messageLength) != GetU16Be(bytes + messageLength)) return false;
  out->destination = GetUid(bytes + kRdmDestinationOffset);
  out->source = GetUid(bytes + kRdmSourceOffset);
  out->transactionNumber = bytes[kRdmTransactionOffset];
  out->portIdOrResponseType = bytes[kRdmPortIdOffset];
  out->messageCount = bytes[kRdmMessageCountOffset];
  out->subDevice = GetU16Be(bytes + kRdmSubDeviceOffset);
  out->commandClass = bytes[kRdmCommandClassOffset];
  out->parameterId = GetU16Be(bytes + kRdmParameterIdOffset);
  out->pdl = bytes[kRdmPdlOffset];
  out->data = bytes + kRdmHeaderSize;
  return true;
}

bool ParseRdmResponse(const uint8_t* bytes, size_t length, RdmResponse* out) {
  if (length < kRdmHeaderSize) return false;
  if (bytes[0] != kRdmStartCode || bytes[1] != kRdmSubStartCode) return false;
  if (bytes[kRdmResponseTypeOffset] > kRdmAckOverflow) return false;
  out->responseType = bytes[kRdmResponseTypeOffset];
  size_t behind = length - kRdmHeaderSize;
  out->pdl = static_cast<uint8_t>(
      std::min({static_cast<size_t>(bytes[kRdmPdlOffset]), behind, size_t{kRdmMaxPdl}}));
  out->data = bytes + kRdmHeaderSize;
  return true;
}

size_t DubEncodedOffset(const uint8_t* reply, size_t length) {
  size_t searched = std::min(length, kDubMaxPreamble + 1);
  for (size_t i = 0; i < searched; ++i) {
    if (reply[i] == kDubSeparator) return i + 1;
  }
  return kDubMaxPreamble + 1;
}

DubReply DecodeDubReply(const uint8_t* reply, size_t length, RdmUid* uid) {
  size_t offset = DubEncodedOffset(reply, length);
  if (length < offset + kDubEncodedSize) return DubReply::kNone;
  const uint8_t* e = reply + offset;
  for (size_t i = 0; i < sizeof(uid->bytes); ++i) uid->bytes[i] = e[2 * i] & e[2 * i + 1];
  uint16_t expected = static_cast<uint16_t>((e[12] & e[13]) << 8 | (e[14] & e[15]));
  return RdmChecksum(e, 12) == expected ? DubReply::kValid : DubReply::kCollision;
}

size_t EncodeDubReply(const RdmUid& uid, size_t preamble, uint8_t* out, uint16_t checksumError) {
  preamble = std::min(preamble, kDubMaxPreamble);
  std::memset(out, kDubPreambleByte, preamble);
  out[preamble] = kDubSeparator;
  uint8_t* e = out + preamble + 1;
  for (size_t i = 0; i < sizeof(uid.bytes); ++i) EncodeDubByte(uid.bytes[i], e + 2 * i);
  uint16_t checksum = static_cast<uint16_t>(RdmChecksum(e, 12) + checksumError);
  EncodeDubByte(static_cast<uint8_t>(checksum >> 8), e + 12);
  EncodeDubByte(static_cast<uint8_t>(checksum & 0xFF), e + 14);
  return preamble + 1 + kDubEncodedSize;
}

bool IsConfirmedMuteReply(const uint8_t* reply, size_t length) {
  if (length == 0) return false;
  if (length <= 2) return RdmChecksum(reply, length) == 0;
  return RdmChecksum(reply, length - 2) == GetU16Be(reply + length - 2);
}

uint64_t RdmUidValue(const RdmUid& uid) {
  uint64_t value = 0;
  for (uint8_t b : uid.bytes) value = value << 8 | b;
  return value;
}

RdmUid RdmUidFromValue(uint64_t value) {
  RdmUid uid;
  for (int i = 5; i >= 0; --i) {
    uid.bytes[i] = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
  return uid;
}
