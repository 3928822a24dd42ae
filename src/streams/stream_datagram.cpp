#include "streams/stream_datagram.h"

#include <arpa/inet.h>

#include <cstring>

#include "streams/network_streams.h"
#include "protocols/artnet_packets.h"
#include "protocols/qsp_packets.h"
#include "protocols/sacn_packets.h"
#include "protocols/sockets.h"

namespace {

struct sockaddr_in WithPort(struct sockaddr_in address, uint16_t port) {
  address.sin_port = htons(port);
  return address;
}

// The header is `headerSize` bytes already in `out`; the channels follow.
StreamDatagram Finish(uint8_t* out, uint32_t headerSize, const uint8_t* channels, int socket,
                      const struct sockaddr_in& to) {
  std::memcpy(out + headerSize, channels, kDmxChannels);
  return {socket, to, headerSize + kDmxChannels};
}

}  // namespace

StreamDatagram BuildStreamDatagram(const Stream& stream, const uint8_t* channels, uint8_t* out) {
  if (const NxbEndpoint* nxb = stream.As<NxbEndpoint>()) {
    BuildQsooHeader(out, nxb->nxbInput == 1);
    // Any engine socket reaches the node; the Art-Net one is always open.
    return Finish(out, kQsooDataOffset, channels, ArtnetRxSocket, nxb->nxbAddress);
  }
  const NetworkEndpoint* s = stream.As<NetworkEndpoint>();
  if (s == nullptr) return {};
  switch (s->protocol) {
    case kProtocolArtnet:
      BuildArtDmxHeader(out, s->artnetUniverse);
      return Finish(out, kArtDmxHeaderSize, channels, s->sendSocket,
                    WithPort(s->artnetAddress, kArtnetPort));
    case kProtocolQsp:
      BuildQspDataHeader(out, s->qspUniverse);
      return Finish(out, kQspDataOffset, channels, s->sendSocket, s->qspAddress);
    case kProtocolSacn:
      std::memcpy(out, s->acn.packet, kSacnHeaderSize);
      return Finish(out, kSacnHeaderSize, channels, s->sendSocket,
                    WithPort(s->acn.destination, kSacnPort));
    default:
      return {};  // KiNet output and unknown protocols send nothing
  }
}
