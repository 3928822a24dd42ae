#pragma once
// QSP byte layouts, built and parsed over plain byte buffers. Multi-byte
// fields are little-endian except the data length of "QSDD".
#include <cstddef>
#include <cstdint>

#include "dmx_types.h"
#include "protocols/node_identity.h"

constexpr uint16_t kQspPort = 3333;
// Each datagram the receiver takes lands in a slot of this many bytes.
constexpr uint32_t kQspReceiveBufferSize = 600;
// Stream-data and RDM replies go to this port of the requester, whatever
// port the request came from.
constexpr uint16_t kQspReplyPort = 4000;
constexpr uint32_t kQspDataPacketSize = 521;
constexpr uint32_t kQspDataOffset = 9;
constexpr uint32_t kQspPollReplySize = 29;
constexpr uint32_t kQspStreamRequestSize = 6;
constexpr uint32_t kQspStreamReplySize = 518;

// Writes the 9-byte "QSDD" header for `universe` (its low byte) with data
// length 512; the 512 data bytes follow at offset 9.
void BuildQspDataHeader(uint8_t* out, uint32_t universe);

// "QSOO": the frame an NXB stream sends to its node on the QSP port; no
// reply comes and the engine has no receiver for it.
constexpr uint32_t kQsooPacketSize = 517;
constexpr uint32_t kQsooDataOffset = 5;

// Writes the 5-byte "QSOO" header: direction 1 for an output, 2 for an
// input; the 512 data bytes follow at offset 5.
void BuildQsooHeader(uint8_t* out, bool input);

enum class QspPacketKind {
  kData,           // "QSDD"
  kPoll,           // "QSPP"
  kRdmRequest,     // "QSRD"
  kStreamRequest,  // "QDSP"
  kOther,
};

// The kind named by the four-character magic at offset 0; anything shorter
// than a magic is kOther.
QspPacketKind ClassifyQspPacket(const uint8_t* packet, size_t length);

struct QspData {
  uint8_t universe;
  const uint8_t* channels;  // points into the packet
  uint32_t length;          // 20 to 512, all of it inside the packet
};

// Checks a "QSDD" and points `out` at its channel data. Refused: a non-zero
// byte 5, a length field below 20 or above 512, and a length field larger
// than the bytes that arrived behind the header.
bool ParseQspDataPacket(const uint8_t* packet, size_t length, QspData* out);

// Fills the 29-byte "QSPR" from the device identity.
void BuildQspPollReply(uint8_t* reply, const NodeIdentity& node);

// The stream index of a "QDSP"; false when the datagram is too short to
// carry one.
bool ParseQspStreamRequest(const uint8_t* packet, size_t length, uint16_t* index);

// Fills the 518-byte "QDSR": magic, index, the 512 channel bytes.
void BuildQspStreamReply(uint8_t* reply, uint16_t index, const uint8_t* channels);
