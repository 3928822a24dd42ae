#pragma once
// What the Art-Net and jumbo receivers do with a datagram once it has
// arrived: write ArtDmx data into the matching input stream, answer polls
// and TOD requests, unpack jumbo frames. The threads only receive.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "dmx_types.h"
#include "protocols/datagram_sender.h"

// One Art-Net datagram as received into the 600-byte buffer.
void HandleArtnetPacket(const uint8_t* packet, size_t length, struct sockaddr_in* sender,
                        DatagramSender send);

// Writes an ArtDmx into the first Art-Net input stream of its universe, or
// records the universe as unmatched.
void MatchArtnetInputStream(const uint8_t* packet, int length, struct in_addr sender);

// Describes every Art-Net stream as a port of the node, four to a reply,
// broadcast on the device's network. `sender` is rewritten to the
// destination.
void SendArtPollReplies(struct sockaddr_in* sender, DatagramSender send);

// Sends a table of `count` UIDs in ArtTodData packets of up to 200 UIDs; the
// last packet goes out even when empty, so the controller sees the end.
void SendArtTodData(const struct sockaddr_in& to, const RdmUid* uids, uint32_t count,
                    uint8_t address, DatagramSender send);

struct ArtTodList {
  const RdmUid* uids;
  uint32_t count;
};

// The eight port UID tables an ArtTodRequest is answered from, one per
// Art-Net input stream in configuration order. Nothing in the engine fills
// them (discovery keeps its results on the serial ports), so a request is
// logged and stays unanswered; tests fill them to check the replies.
constexpr uint32_t kArtTodTables = 8;
constexpr uint32_t kArtTodTableUids = 200;
struct ArtTodTable {
  RdmUid uids[kArtTodTableUids];
  uint32_t count;
};
extern ArtTodTable ArtTodTables[kArtTodTables];

// The table behind the Art-Net input stream of `address`. Empty when there
// is no such stream or table.
ArtTodList FindArtTodList(uint8_t address);

// One datagram from the jumbo port.
void HandleJumboFrame(const uint8_t* frame, size_t length, struct in_addr sender);
