#pragma once
// What the QSP receiver does with a datagram once it has arrived: data into
// the matching input stream, polls and stream-data requests answered, RDM
// requests handed on. The thread only receives.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

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
