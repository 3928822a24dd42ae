#include "protocols/qsp_rdm_packets.h"

#include <algorithm>
#include <cstring>

#include "protocols/byte_order.h"

namespace {

constexpr size_t kUidSize = sizeof(RdmUid::bytes);

}  // namespace

bool ParseQspRdmRequest(const uint8_t* packet, size_t length, QspRdmRequest* out) {
  if (length < kQspRdmRequestHeaderSize) return false;
  uint8_t command = packet[5];
  uint8_t pdl = packet[15];
  bool carriesData = command == kQspRdmGet || command == kQspRdmSet;
  if (carriesData && length < kQspRdmRequestHeaderSize + pdl) return false;
  out->port = packet[4];
  out->command = command;
  std::memcpy(out->uid.bytes, packet + 6, kUidSize);
  out->parameterId = GetU16Le(packet + 12);
  out->subDevice = packet[14];
  out->pdl = carriesData ? pdl : 0;
  out->data = packet + kQspRdmRequestHeaderSize;
  return true;
}

uint16_t BuildQspDiscoveryReply(uint8_t* reply, const RdmUid* uids, size_t count) {
  std::memset(reply, 0, kQspDiscoveryReplySize);
  std::memcpy(reply, "QSDR", 4);
  reply[5] = kQspRdmDiscovery;
  uint16_t carried = static_cast<uint16_t>(std::min(count, kQspDiscoveryReplyMaxUids));
  PutU16Le(reply + 12, carried);
  for (size_t i = 0; i < carried; ++i) {
    std::memcpy(reply + 14 + i * kUidSize, uids[i].bytes, kUidSize);
  }
  return carried;
}

void BuildQspRdmReply(uint8_t* reply, uint8_t command, uint8_t responseType, const RdmUid& uid,
                      uint8_t pdl, const uint8_t* data) {
  std::memset(reply, 0, kQspRdmReplySize);
  std::memcpy(reply, "QSRP", 4);
  reply[5] = command;
  reply[6] = responseType;
  std::memcpy(reply + 7, uid.bytes, kUidSize);
  size_t carried = std::min(static_cast<size_t>(pdl), kQspRdmReplyMaxData);
  reply[13] = static_cast<uint8_t>(carried);
  if (carried != 0 && data != nullptr) std::memcpy(reply + 14, data, carried);
}
