#pragma once
// ANSI E1.20 (RDM) frames as they stand on a serial line, built and read over
// plain byte buffers: requests and responses, the encoded reply to a
// DISC_UNIQUE_BRANCH, and the reply to a DISC_MUTE. Multi-byte fields are
// big-endian on the wire.
#include <cstddef>
#include <cstdint>

#include "dmx_types.h"

constexpr uint8_t kRdmStartCode = 0xCC;
constexpr uint8_t kRdmSubStartCode = 0x01;
// Start code up to and including the PDL byte; the parameter data follows.
constexpr size_t kRdmHeaderSize = 24;
// The port never sends more parameter data than this in one request.
constexpr uint8_t kRdmMaxPdl = 228;
constexpr size_t kRdmChecksumSize = 2;
constexpr size_t kRdmMaxFrameSize = kRdmHeaderSize + kRdmMaxPdl + kRdmChecksumSize;
// The driver reports a response length in one byte.
constexpr size_t kRdmMaxReplySize = 255;

// Header offsets.
constexpr size_t kRdmMessageLengthOffset = 2;
constexpr size_t kRdmDestinationOffset = 3;
constexpr size_t kRdmSourceOffset = 9;
constexpr size_t kRdmTransactionOffset = 15;
// A request's port id, a response's response type.
constexpr size_t kRdmPortIdOffset = 16;
constexpr size_t kRdmResponseTypeOffset = 16;
constexpr size_t kRdmMessageCountOffset = 17;
constexpr size_t kRdmSubDeviceOffset = 18;
constexpr size_t kRdmCommandClassOffset = 20;
constexpr size_t kRdmParameterIdOffset = 21;
constexpr size_t kRdmPdlOffset = 23;

enum RdmCommandClass : uint8_t {
  kRdmDiscoveryCommand = 0x10,
  kRdmDiscoveryResponse = 0x11,
  kRdmGetCommand = 0x20,
  kRdmGetResponse = 0x21,
  kRdmSetCommand = 0x30,
  kRdmSetResponse = 0x31,
};

enum RdmParameterId : uint16_t {
  kPidDiscUniqueBranch = 0x0001,
  kPidDiscMute = 0x0002,
  kPidDiscUnMute = 0x0003,
  kPidSupportedParameters = 0x0050,
  kPidDeviceInfo = 0x0060,
  kPidDeviceLabel = 0x0082,
  kPidDmxStartAddress = 0x00F0,
  kPidIdentifyDevice = 0x1000,
};

enum RdmResponseType : uint8_t {
  kRdmAck = 0,
  kRdmAckTimer = 1,
  kRdmNackReason = 2,
  kRdmAckOverflow = 3,
  // Never on the line: what the engine reports when no valid response came.
  kRdmNoValidResponse = 4,
};

enum RdmNackReason : uint16_t {
  kNrUnknownPid = 0x0000,
  kNrFormatError = 0x0001,
  kNrUnsupportedCommandClass = 0x0005,
  kNrDataOutOfRange = 0x0006,
  kNrSubDeviceOutOfRange = 0x0009,
};

constexpr RdmUid kRdmBroadcastUid = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
// This gateway's manufacturer id: the top of its own UIDs, and the ESTA code
// its Art-Net replies give.
constexpr uint16_t kOwnManufacturerId = 0x574B;  // "WK"

// A request as a port builds it: the header, room for the parameter data and
// the checksum, then what came back for a DISC_UNIQUE_BRANCH sent from it.
struct RdmRequestBlock {
  uint8_t header[kRdmHeaderSize];
  uint8_t data[kRdmMaxPdl];
  uint16_t checksum;  // host order; high byte first on the wire
  uint8_t reply[kRdmMaxReplySize];
  uint8_t replyLength;
};

// The fields of one RDM message, request or response.
struct RdmMessage {
  RdmUid destination;
  RdmUid source;
  uint8_t transactionNumber;
  uint8_t portIdOrResponseType;
  uint8_t messageCount;
  uint16_t subDevice;
  uint8_t commandClass;
  uint16_t parameterId;
  uint8_t pdl;
  const uint8_t* data;  // pdl bytes, or nullptr
};

// Start code 0xCC; every other header field, the data and the checksum zero.
void InitEmptyRdmRequest(RdmRequestBlock* block);

// Fills header, data and checksum from `m`. A PDL above 228 is sent as 228;
// data is copied only when the PDL is not 0 and data is given.
void BuildRdmFrame(RdmRequestBlock* block, const RdmMessage& m);

// 16-bit sum of `length` bytes.
uint16_t RdmChecksum(const uint8_t* bytes, size_t length);

// Writes the frame of a built block as it goes on the line, checksum high
// byte first: 26 + PDL bytes (at most kRdmMaxFrameSize). Returns the count.
size_t LayRdmFrame(const RdmRequestBlock& block, uint8_t* out);

// Reads a whole frame as a responder receives it: start and sub-start code, a
// message length of at least 24 that matches the PDL and what arrived, and a
// checksum that holds. `data` points into `bytes`.
bool ParseRdmFrame(const uint8_t* bytes, size_t length, RdmMessage* out);

// What the engine uses of a response, the parameter data never taken from
// beyond what arrived.
struct RdmResponse {
  uint8_t responseType;
  uint8_t pdl;          // min(PDL byte, bytes behind the header, 228)
  const uint8_t* data;  // into the response
};

// A valid response has a whole header, start code 0xCC, sub-start code 0x01
// and a response type 0 to 3. Its checksum, transaction number, UIDs,
// command class and parameter id are left alone: a fixture with a sloppy
// checksum still gets its answer through.
bool ParseRdmResponse(const uint8_t* bytes, size_t length, RdmResponse* out);

// The reply to a DISC_UNIQUE_BRANCH: up to 7 preamble bytes, the separator
// 0xAA, the UID encoded in 12 bytes and its checksum in 4.
constexpr uint8_t kDubPreambleByte = 0xFE;
constexpr uint8_t kDubSeparator = 0xAA;
constexpr size_t kDubMaxPreamble = 7;
constexpr size_t kDubEncodedSize = 16;
constexpr size_t kDubMaxReplySize = kDubMaxPreamble + 1 + kDubEncodedSize;

enum class DubReply : uint8_t {
  kNone = 0,       // nothing, or less than a whole encoded UID and checksum
  kValid = 2,      // one device answered alone
  kCollision = 3,  // the checksum fails, as when several answer at once
};

// Where the encoded UID starts: right after the first 0xAA of bytes 0 to 7,
// or at byte 8 when they hold none.
size_t DubEncodedOffset(const uint8_t* reply, size_t length);

// Classifies a reply of `length` bytes and, when it is valid, decodes the UID.
DubReply DecodeDubReply(const uint8_t* reply, size_t length, RdmUid* uid);

// Encodes the reply of `uid` behind `preamble` (at most 7) preamble bytes;
// returns its length. A checksum off by `checksumError` makes a reply that a
// discovery must take for a collision.
size_t EncodeDubReply(const RdmUid& uid, size_t preamble, uint8_t* out,
                      uint16_t checksumError = 0);

// A DISC_MUTE reply confirms the mute when the 16-bit sum of all but its last
// two bytes equals those two (high first); a reply of one or two bytes when
// its bytes add up to 0. Nothing else of it is looked at.
bool IsConfirmedMuteReply(const uint8_t* reply, size_t length);

// UIDs as 48-bit numbers, for searching the UID space.
uint64_t RdmUidValue(const RdmUid& uid);
RdmUid RdmUidFromValue(uint64_t value);
