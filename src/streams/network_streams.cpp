// The network and NXB streams, read from their set-up lines, and carrying
// their data to its destination: one UDP datagram per send, its bytes built
// apart from the sending.
#include "streams/network_streams.h"

#include <arpa/inet.h>
#include <glog/logging.h>

#include <cstdio>
#include <cstring>

#include "startup/device_identity.h"
#include "support/fixed_field.h"
#include "protocols/artnet_packets.h"
#include "protocols/sacn_packets.h"
#include "protocols/sockets.h"

namespace {

struct sockaddr_in MakeAddress(uint32_t hostOrderAddress, uint16_t port) {
  struct sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(hostOrderAddress);
  return a;
}

// A configured 255.255.255.255 means the device's own broadcast address.
struct sockaddr_in ConfiguredAddress(std::string_view text, size_t pos, uint16_t port) {
  struct sockaddr_in a = MakeAddress(ReadFixedAddress(text, pos), port);
  if (IsFixedBroadcast(text, pos)) a.sin_addr = BroadcastAddress;
  return a;
}

std::string Text(std::string_view text) { return std::string(text); }

// The universe and address of an Art-Net or QSP line; 1 for an input.
uint32_t ReadDestination(std::string_view text, uint16_t port, uint32_t* universe,
                         struct sockaddr_in* address) {
  *universe = static_cast<uint32_t>(ReadFixedField(text, 1, 3));
  *address = ConfiguredAddress(text, 4, port);
  return FixedCharAt(text, 16) == 'I' ? 1 : 0;
}

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

// The datagram of `stream` with its data taken, sent through `send`; a short
// send leaves `failure` in the log when there is one, and nothing is retried.
void SendDatagramOf(Stream& stream, uint8_t* out, const char* failure, SendFunction send) {
  uint8_t channels[kDmxChannels];
  stream.TakeForSend(channels, kDmxChannels);
  const StreamDatagram d = BuildStreamDatagram(stream, channels, out);
  if (!DatagramSender(d.socket, send)(d.to, out, d.length) && failure != nullptr) {
    LOG(INFO) << failure << inet_ntoa(d.to.sin_addr);
  }
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

NetworkEndpoint::NetworkEndpoint(int socket, std::string_view text)
    : StreamEndpoint(kStreamNetwork), sendSocket(socket) {
  switch (FixedCharAt(text, 0)) {
    case 'A':
      protocol = kProtocolArtnet;
      input = ReadDestination(text, 6454, &artnetUniverse, &artnetAddress);
      VLOG(1) << "Initialised Artnet Stream with " << Text(text);
      VLOG(1) << "Universe " << artnetUniverse;
      break;
    case 'E':
      protocol = kProtocolQsp;
      input = ReadDestination(text, 3333, &qspUniverse, &qspAddress);
      VLOG(1) << "Initialised QSP Stream with " << Text(text);
      break;
    case 'K':
      protocol = kProtocolKinet;
      kinetPort = static_cast<uint8_t>(ReadFixedField(text, 1, 3));
      input = FixedCharAt(text, 28) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised Kinet Stream with " << Text(text);
      VLOG(1) << "Port " << static_cast<uint32_t>(kinetPort);
      VLOG(1) << "Universe " << ReadFixedField(text, 4, 12);
      VLOG(1) << "Direction " << FixedCharAt(text, 28);
      break;
    case 'S': {
      protocol = kProtocolSacn;
      uint32_t universe = static_cast<uint32_t>(ReadFixedField(text, 1, 3));
      uint8_t priority = static_cast<uint8_t>(ReadFixedField(text, 4, 3));
      sendSocket = SacnSendSocket;
      std::string_view cidText = text.size() > 19 ? text.substr(19, 36) : std::string_view();
      acn.PreFill(universe, priority, cidText);
      input = FixedCharAt(text, 55) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised sACN Stream with " << Text(text);
      VLOG(1) << "Universe " << acn.universe;
      VLOG(1) << "Priority " << static_cast<uint32_t>(acn.priority);
      if (input == 1 && VLOG_IS_ON(1)) {
        char hex[33];
        for (int k = 0; k < 16; ++k) std::snprintf(hex + 2 * k, 3, "%02X", acn.cidFilter[k]);
        VLOG(1) << "SACN Input CID " << hex;
      }
      break;
    }
    default:
      protocol = kProtocolNone;
      break;
  }
}

bool NetworkEndpoint::SendsData() const {
  return input != 1 &&
         (protocol == kProtocolArtnet || protocol == kProtocolQsp || protocol == kProtocolSacn);
}

bool NetworkEndpoint::Send(Stream& stream, SendFunction send) {
  if (input == 1) return true;
  stream.LogSend();
  if (!SendsData()) return false;  // KiNet and protocol-less streams have nowhere to go
  // The other protocols' short sends are not reported.
  const char* failure = nullptr;
  if (protocol == kProtocolArtnet) failure = "Sock error sending Art-Net to";
  if (protocol != kProtocolSacn) {
    SendDatagramOf(stream, packet, failure, send);
    return true;
  }
  AdvanceSacnDataPacket(acn.packet);
  VLOG(2) << "Sending sACN to :" << inet_ntoa(acn.destination.sin_addr);
  SendDatagramOf(stream, packet, "Sock error sending sACN to ", send);
  VLOG(2) << "Sent sACN ";
  return true;
}

NxbEndpoint::NxbEndpoint(std::string_view text) : StreamEndpoint(kStreamNxb) {
  bool isInput = FixedCharAt(text, 1) == 'I';
  nxbInput = isInput ? 1 : 0;
  std::memcpy(nxbPacket.bytes, "QSOO", 4);
  nxbPacket.bytes[4] = isInput ? 2 : 1;
  nxbAddress = MakeAddress(ReadFixedAddress(text, 2), 3333);
}

void NxbEndpoint::LogStarted(const std::string& text) const {
  LOG(INFO) << "Initialised NXB  with " << text;
}

bool NxbEndpoint::Send(Stream& stream, SendFunction send) {
  if (nxbInput == 1) return true;
  stream.LogSend();
  SendDatagramOf(stream, nxbPacket.bytes, nullptr, send);
  return true;
}

const NetworkEndpoint* NetworkInput(const Stream& s, uint32_t protocol) {
  const NetworkEndpoint* n = s.As<NetworkEndpoint>();
  return n != nullptr && n->protocol == protocol && n->input == 1 ? n : nullptr;
}
