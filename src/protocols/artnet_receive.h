#pragma once
// What the Art-Net receiver does with a datagram once it has arrived: write
// ArtDmx data into the matching input stream, answer polls and TOD
// requests. The thread only receives.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "dmx_types.h"
#include "protocols/datagram_sender.h"

// One Art-Net datagram as received into the 600-byte buffer.
void HandleArtnetPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                        DatagramSender reply);

// Writes an ArtDmx into the first Art-Net input stream of its universe, or
// records the universe as unmatched.
void MatchArtnetInputStream(const uint8_t* packet, int length, struct in_addr sender);

// Describes every Art-Net stream as a port of the node, four to a reply,
// broadcast on the device's network whoever polled.
void SendArtPollReplies(const struct sockaddr_in& sender, DatagramSender reply);

// Sends a table of `count` UIDs in ArtTodData packets of up to 200 UIDs; the
// last packet goes out even when empty, so the controller sees the end.
void SendArtTodData(const struct sockaddr_in& to, const RdmUid* uids, uint32_t count,
                    uint8_t address, DatagramSender reply);
