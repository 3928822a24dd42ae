// Carrying a stream's data to its destination: a UDP datagram for network
// and NXB streams, a hand-off to the port thread for serial and LED ports.
#include <arpa/inet.h>
#include <glog/logging.h>
#include <sys/socket.h>

#include <cstring>

#include "protocols/artnet_packets.h"
#include "protocols/qsp_packets.h"
#include "protocols/sockets.h"
#include "stream.h"

namespace {

// The send buffer of an NXB stream is its own packet; any engine socket can
// reach the node, and the Art-Net one is always open.
int NxbSocket() { return ArtnetRxSocket; }

}  // namespace

bool Stream::SendsData() const {
  switch (kind) {
    case kStreamPort:
      return dmxPort.input != 1;
    case kStreamNetwork:
      return input != 1 && (protocol == kProtocolArtnet || protocol == kProtocolQsp ||
                            protocol == kProtocolSacn);
    case kStreamNxb:
      return nxbInput != 1;
    case kStreamLedrunnerPort:
      return true;
    default:
      return false;
  }
}

void Stream::Send(uint32_t force, uint32_t klock) {
  (void)klock;  // Klock mode changes nothing in what is sent
  if (!IsChanged() && force == 0) return;

  switch (kind) {
    case kStreamPort: {
      if (dmxPort.input == 1) return;
      VLOG(2) << "Stream Send for:" << id;
      uint8_t frame[kDmxChannels];
      TakeForSend(frame, kDmxChannels);
      dmxPort.PostFrame(frame);
      return;
    }
    case kStreamNetwork:
      if (input == 1) return;
      VLOG(2) << "Stream Send for:" << id;
      switch (protocol) {
        case kProtocolArtnet: {
          BuildArtDmxHeader(packet, artnetUniverse);
          TakeForSend(packet + kArtDmxHeaderSize, kDmxChannels);
          artnetAddress.sin_port = htons(kArtnetPort);
          ssize_t sent = sendto(sendSocket, packet, kArtDmxSize, 0,
                                reinterpret_cast<const sockaddr*>(&artnetAddress),
                                sizeof(artnetAddress));
          if (sent != static_cast<ssize_t>(kArtDmxSize)) {
            LOG(INFO) << "Sock error sending Art-Net to" << inet_ntoa(artnetAddress.sin_addr);
          }
          return;
        }
        case kProtocolQsp: {
          BuildQspDataHeader(packet, qspUniverse);
          TakeForSend(packet + kQspDataOffset, kDmxChannels);
          sendto(sendSocket, packet, kQspDataPacketSize, 0,
                 reinterpret_cast<const sockaddr*>(&qspAddress), sizeof(qspAddress));
          return;
        }
        case kProtocolSacn: {
          AdvanceSacnDataPacket(acn.packet);
          std::memcpy(packet, acn.packet, kSacnDataOffset);
          TakeForSend(packet + kSacnDataOffset, kDmxChannels);
          acn.destination.sin_port = htons(kSacnPort);
          VLOG(2) << "Sending sACN to :" << inet_ntoa(acn.destination.sin_addr);
          ssize_t sent = sendto(sendSocket, packet, kSacnPacketSize, 0,
                                reinterpret_cast<const sockaddr*>(&acn.destination),
                                sizeof(acn.destination));
          if (sent != static_cast<ssize_t>(kSacnPacketSize)) {
            LOG(INFO) << "Sock error sending sACN to " << inet_ntoa(acn.destination.sin_addr);
          }
          VLOG(2) << "Sent sACN ";
          return;
        }
        default:
          break;  // KiNet and unknown protocols send nothing
      }
      break;
    case kStreamNxb:
      if (nxbInput == 1) return;
      VLOG(2) << "Stream Send for:" << id;
      TakeForSend(nxbPacket.bytes + 5, kDmxChannels);
      sendto(NxbSocket(), nxbPacket.bytes, kNxbPacketSize, 0,
             reinterpret_cast<const sockaddr*>(&nxbAddress), sizeof(nxbAddress));
      return;
    case kStreamLedrunnerPort: {
      VLOG(2) << "Stream Send for:" << id;
      uint8_t frame[kLedrunnerFrameSize];
      TakeForSend(frame, kLedrunnerFrameSize);
      ledrunnerPort.PostFrame(frame);
      return;
    }
    default:
      break;  // Virtual and generator streams have nowhere to go
  }
  ClearUntaken();
}

void Stream::SetOneShot() {
  if (kind == kStreamPort && dmxPort.input != 1) {
    VLOG(2) << "Setting One shot sending on stream : " << id;
    dmxPort.SetParams(dmxPort.paramsOneShot);
  }
}
