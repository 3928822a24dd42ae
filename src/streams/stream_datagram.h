#pragma once
// The datagram a network or NXB output stream sends, built apart from the
// sending so that its bytes can be checked without a socket.
#include <netinet/in.h>

#include <cstdint>

#include "stream.h"

struct StreamDatagram {
  int socket = -1;             // the socket it leaves from
  struct sockaddr_in to = {};  // with the protocol's port
  uint32_t length = 0;         // 0: the stream sends no datagram
};

// Writes the datagram `s` sends with `channels` as its 512 data bytes into
// `out`, which has room for it (kStreamPacketSize bytes serve every kind):
// an ArtDmx, a "QSDD", the stream's sACN packet as it stands, or a "QSOO".
// Reads the stream's configuration and changes nothing; KiNet, protocol-less
// and non-network streams get length 0.
StreamDatagram BuildStreamDatagram(const Stream& s, const uint8_t* channels, uint8_t* out);
