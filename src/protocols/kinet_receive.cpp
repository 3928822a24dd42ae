#include "protocols/kinet_receive.h"

#include <glog/logging.h>

#include "startup/device_identity.h"
#include "protocols/kinet_packets.h"
#include "streams/network_streams.h"
#include "streams/stream_table.h"

namespace {

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
  ForEachStream([&](uint32_t, const Stream& s) {
    const NetworkEndpoint* n = NetworkInput(s, kProtocolKinet);
    if (found < kKinetMaxReportedPorts && n != nullptr) ports[found++] = n->kinetPort;
  });
  uint8_t reply[kKinetPortDiscoveryReplyMaxSize];
  uint32_t size =
      BuildKinetPortDiscoveryReply(reply, request.version, request.sequence, ports, found);
  send(sender, reply, size);
}

// KiNet universes that no stream takes are not listed for the front end.
void MatchKinetStream(const KinetDmx& frame) {
  Stream* s = FindInputStream([&frame](uint32_t i, const Stream& t) {
    VLOG(3) << "Checking for matching Kinet stream: " << i;
    const NetworkEndpoint* n = NetworkInput(t, kProtocolKinet);
    return n != nullptr && n->kinetPort == frame.port;
  });
  if (s == nullptr) return;
  VLOG(2) << "Kinet Stream:" << s->id << " is a match to incoming packet";
  s->Write(frame.channels, frame.length, 0);
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
