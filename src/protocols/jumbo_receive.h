#pragma once
// What the jumbo receiver does with a frame once it has arrived: every
// ArtDmx slot goes to the Art-Net stream matching, as if it had come on the
// Art-Net port. Nothing is sent back.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "protocols/datagram_sender.h"

// One datagram from the jumbo port, as received into the 9000-byte buffer.
void HandleJumboFrame(const uint8_t* frame, size_t length, const struct sockaddr_in& sender,
                      DatagramSender reply);
