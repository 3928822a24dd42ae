#include "protocols/kinet_receive.h"

#include <glog/logging.h>

#include "device_identity.h"
#include "protocols/kinet_packets.h"
#include "stream.h"

namespace {

bool IsKinetInput(const Stream& s) {
  return s.kind == kStreamNetwork && s.protocol == kProtocolKinet && s.input == 1;
}

void AnswerDiscovery(const KinetHeader& request, const struct sockaddr_in& sender,
                     DatagramSender send) {
  VLOG(2) << "Got Kinet Discovery";
  uint8_t reply[kKinetDiscoveryReplySize];
  BuildKinetDiscoveryReply(reply, request.sequence, CurrentNodeIdentity());
  send(sender, reply, sizeof(reply));
}

void AnswerPortDiscovery(const KinetHeader& request, const struct sockaddr_in& sender,
                         DatagramSender send) {
  VLOG(2) << "Got Kinet Port Discovery";
  uint8_t ports[kKinetMaxReportedPorts];
  uint32_t found = 0;
  uint32_t count = StreamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < count && found < kKinetMaxReportedPorts; ++i) {
    const Stream* s = StreamTable[i];
    if (s != nullptr && IsKinetInput(*s)) ports[found++] = s->kinetPort;
  }
  uint8_t reply[kKinetPortDiscoveryReplyMaxSize];
  uint32_t size =
      BuildKinetPortDiscoveryReply(reply, request.version, request.sequence, ports, found);
  send(sender, reply, size);
}

// KiNet universes that no stream takes are not listed for the front end.
void MatchKinetStream(const KinetDmx& frame) {
  uint32_t count = StreamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < count; ++i) {
    VLOG(3) << "Checking for matching Kinet stream: " << i;
    Stream* s = StreamTable[i];
    if (s == nullptr || !IsKinetInput(*s) || s->kinetPort != frame.port) continue;
    VLOG(2) << "Kinet Stream:" << i << " is a match to incoming packet";
    s->Write(frame.channels, frame.length, 0);
    return;
  }
}

}  // namespace

void HandleKinetPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                       DatagramSender send) {
  if (length <= 3) return;
  if (sender.sin_addr.s_addr == IpAddress.s_addr) return;
  KinetHeader header;
  if (!ParseKinetHeader(packet, length, &header)) return;
  KinetDmx frame;
  switch (header.type) {
    case kKinetDiscovery:
      AnswerDiscovery(header, sender, send);
      break;
    case kKinetPortDiscovery:
      AnswerPortDiscovery(header, sender, send);
      break;
    case kKinetDmxOut:
      if (ParseKinetDmxOut(packet, length, &frame)) MatchKinetStream(frame);
      break;
    case kKinetPortOut:
      if (ParseKinetPortOut(packet, length, &frame)) MatchKinetStream(frame);
      break;
    case kKinetSync:
      VLOG(3) << "Got Kinet Sync ID";
      break;
    default:
      break;
  }
}
