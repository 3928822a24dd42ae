#pragma once
// What the sACN receiver does with a datagram once it has arrived: checked,
// then written into the input stream of its universe that takes its source.
#include <cstddef>
#include <cstdint>

#include "protocols/datagram_sender.h"
#include "protocols/sacn_packets.h"

// One received datagram of `length` bytes: checked, then matched. Nothing is
// sent back.
void HandleSacnDatagram(const uint8_t* bytes, size_t length, const struct sockaddr_in& sender,
                        DatagramSender reply);

// Feeds a checked packet to the first input stream of its universe that
// takes its source, or records the universe and source as unmatched.
void MatchSacnStream(const SacnDataFrame& frame);
