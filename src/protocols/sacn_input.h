#pragma once
// sACN input: the receiver thread and what it does with each datagram.
#include <cstddef>
#include <cstdint>

#include "protocols/sacn_packets.h"

// Bound to UDP 5568; receives every group the engine joins.
extern int SacnRxSocket;

// Thread body: joins the group of every configured input universe, then
// receives for ever. Started once the streams exist.
void* SacnThread(void* unused);

// One received datagram of `length` bytes: checked, then matched.
void HandleSacnDatagram(const uint8_t* bytes, size_t length);

// Feeds a checked packet to the first input stream of its universe that
// takes its source, or records the universe and source as unmatched.
void MatchSacnStream(const SacnDataFrame& frame);
