#pragma once
// The QSP datagrams of RDM over the network: the "QSRD" request and its two
// replies, "QSDR" for a discovery and "QSRP" for a GET or SET. Multi-byte
// fields are little-endian; UIDs stand as on the RDM wire.
#include <cstddef>
#include <cstdint>

#include "dmx_types.h"

constexpr size_t kQspRdmRequestHeaderSize = 16;
constexpr size_t kQspDiscoveryReplySize = 1214;
constexpr size_t kQspDiscoveryReplyMaxUids = 200;
constexpr size_t kQspRdmReplySize = 242;
constexpr size_t kQspRdmReplyMaxData = 228;

enum QspRdmCommand : uint8_t {
  kQspRdmDiscovery = 1,
  kQspRdmGet = 3,
  kQspRdmSet = 4,
};

struct QspRdmRequest {
  uint8_t port;
  uint8_t command;
  RdmUid uid;
  uint16_t parameterId;
  uint8_t subDevice;
  uint8_t pdl;
  const uint8_t* data;  // pdl bytes, all of them inside the datagram
};

// Reads a "QSRD" of `length` bytes. Refused: fewer than 16 bytes, and a GET
// or SET whose parameter data reaches past what arrived, so that no stale
// bytes of an earlier datagram go to a fixture as parameter data.
bool ParseQspRdmRequest(const uint8_t* packet, size_t length, QspRdmRequest* out);

// Fills the whole 1214-byte "QSDR" with the first min(count, 200) UIDs, the
// rest zero. Returns the count it carries.
uint16_t BuildQspDiscoveryReply(uint8_t* reply, const RdmUid* uids, size_t count);

// Fills the whole 242-byte "QSRP"; at most 228 data bytes, the rest zero.
void BuildQspRdmReply(uint8_t* reply, uint8_t command, uint8_t responseType, const RdmUid& uid,
                      uint8_t pdl, const uint8_t* data);
