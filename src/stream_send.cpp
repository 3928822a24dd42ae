// Carrying a stream's data to its destination: a UDP datagram for network
// and NXB streams, a hand-off to the port thread for serial and LED ports.
#include <arpa/inet.h>
#include <glog/logging.h>

#include "protocols/sacn_packets.h"
#include "stream.h"
#include "stream_datagram.h"

namespace {

// The line a short send leaves in the log; the other protocols' sends are
// not reported, and nothing is retried.
const char* ShortSendText(const Stream& s) {
  if (s.kind != kStreamNetwork) return nullptr;
  if (s.protocol == kProtocolArtnet) return "Sock error sending Art-Net to";
  if (s.protocol == kProtocolSacn) return "Sock error sending sACN to ";
  return nullptr;
}

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

void Stream::Send(uint32_t force, uint32_t klock, SendFunction send) {
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
    case kStreamNxb: {
      if ((kind == kStreamNetwork ? input : nxbInput) == 1) return;
      VLOG(2) << "Stream Send for:" << id;
      if (!SendsData()) break;  // KiNet and protocol-less streams have nowhere to go
      const bool sacn = kind == kStreamNetwork && protocol == kProtocolSacn;
      if (sacn) AdvanceSacnDataPacket(acn.packet);
      uint8_t channels[kDmxChannels];
      TakeForSend(channels, kDmxChannels);
      uint8_t* out = kind == kStreamNxb ? nxbPacket.bytes : packet;
      const StreamDatagram d = BuildStreamDatagram(*this, channels, out);
      if (sacn) VLOG(2) << "Sending sACN to :" << inet_ntoa(d.to.sin_addr);
      const char* failure = ShortSendText(*this);
      if (!DatagramSender(d.socket, send)(d.to, out, d.length) && failure != nullptr) {
        LOG(INFO) << failure << inet_ntoa(d.to.sin_addr);
      }
      if (sacn) VLOG(2) << "Sent sACN ";
      return;
    }
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
