#pragma once
// What the KiNet receiver does with a datagram once it has arrived:
// discovery answered to the sender, DMX written into the matching input
// stream. The thread only receives.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "protocols/datagram_sender.h"

// One datagram as received into the 600-byte buffer.
void HandleKinetPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                       DatagramSender reply);
