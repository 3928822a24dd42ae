#pragma once
// What the QSP receiver does with a datagram once it has arrived: data into
// the matching input stream, polls and stream-data requests answered, RDM
// requests handed on. The thread only receives.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "dmx_types.h"
#include "protocols/datagram_sender.h"

// One datagram as received into the 600-byte buffer.
void HandleQspPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                     DatagramSender reply);

// Writes a "QSDD" into the first QSP input stream of its universe, or records
// the universe as unmatched. A malformed packet changes nothing.
void MatchQspStream(const uint8_t* packet, size_t length);

// A "QSRD": RDM discovery, GET or SET on one serial port, answered on port
// 4000 of the requester.
void HandleQspRdmRequest(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                         DatagramSender reply);

// Discovery on every output port numbered 0 to 7 in turn: counts[p] and up
// to `capacity` UIDs in uidBuffers[p] for each port number that has one;
// the others are left as they are.
void DiscoverPort(uint32_t* counts, RdmUid* const* uidBuffers, size_t capacity);
