// RDM over QSP: a "QSRD" runs discovery, a GET or a SET on one serial port
// and is answered on port 4000 of the requester. The whole operation runs on
// QspThread; no other QSP datagram is served meanwhile.
#include <glog/logging.h>

#include "protocols/qsp_packets.h"
#include "protocols/qsp_rdm_packets.h"
#include "protocols/qsp_receive.h"
#include "port.h"
#include "stream.h"
#include "streams/stream_table.h"

namespace {

constexpr uint32_t kDiscoverPortNumbers = 8;

// The port of the first PORT stream with this port number, input or output;
// nullptr when there is none.
DmxPort* FindRdmPort(uint8_t portNumber) {
  Stream* s = FindStream([portNumber](uint32_t i, const Stream& t) {
    VLOG(3) << "Checking for correct PORT stream: " << i
            << " port rqst: " << static_cast<int>(portNumber);
    const DmxPort* port = t.As<DmxPort>();
    if (port == nullptr || port->portNumber != portNumber) return false;
    VLOG(2) << "QSP Stream: " << i << " is a match to incoming packet";
    return true;
  });
  return s != nullptr ? s->As<DmxPort>() : nullptr;
}

void ReplyTo(const struct sockaddr_in& sender, const uint8_t* reply, size_t length,
             DatagramSender send) {
  struct sockaddr_in to = sender;
  to.sin_port = htons(kQspReplyPort);
  send(to, reply, length);
  VLOG(2) << "Reply Packet sent to " << LoggedAddressNumber(sender.sin_addr);
}

void AnswerDiscovery(DmxPort* port, const struct sockaddr_in& sender, DatagramSender send) {
  VLOG(2) << "Doing discovery";
  RdmUid uids[kQspDiscoveryReplyMaxUids];
  uint16_t count = 0;
  port->Discover(&count, uids, kQspDiscoveryReplyMaxUids);
  uint8_t reply[kQspDiscoveryReplySize];
  count = BuildQspDiscoveryReply(reply, uids, count);
  VLOG(2) << "Found: " << count << " devices";
  ReplyTo(sender, reply, sizeof(reply), send);
}

void AnswerGetOrSet(DmxPort* port, const QspRdmRequest& request,
                    const struct sockaddr_in& sender, DatagramSender send) {
  bool get = request.command == kQspRdmGet;
  VLOG(2) << (get ? "Doing RDM Get" : "Doing RDM Set");
  // An input port answers nothing on its line: no response type, no data.
  uint8_t type = kRdmNoValidResponse;
  uint8_t pdl = 0;
  uint8_t data[kRdmMaxPdl] = {};
  if (get) {
    port->RdmGet(request.uid, request.parameterId, request.pdl, request.data, request.subDevice,
                 &type, data, &pdl);
  } else {
    port->RdmSet(request.uid, request.parameterId, request.pdl, request.data, request.subDevice,
                 &type, data, &pdl);
  }
  // Without a valid response the data area carries nothing, and says so.
  if (type == kRdmNoValidResponse) pdl = 0;
  uint8_t reply[kQspRdmReplySize];
  BuildQspRdmReply(reply, request.command, type, request.uid, pdl, data);
  VLOG(2) << (get ? "RDM Get response: " : "RDM Set response: ") << static_cast<int>(reply[6]);
  VLOG(2) << (get ? "RDM Get Data Length: " : "RDM Set Data Length: ")
          << static_cast<int>(reply[13]);
  ReplyTo(sender, reply, sizeof(reply), send);
}

}  // namespace

void HandleQspRdmRequest(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                         DatagramSender send) {
  VLOG(3) << "RDM Rqst from: " << LoggedAddressNumber(sender.sin_addr);
  QspRdmRequest request;
  if (!ParseQspRdmRequest(packet, length, &request)) return;
  DmxPort* port = FindRdmPort(request.port);
  if (port == nullptr) return;
  switch (request.command) {
    case kQspRdmDiscovery:
      AnswerDiscovery(port, sender, send);
      break;
    case kQspRdmGet:
    case kQspRdmSet:
      AnswerGetOrSet(port, request, sender, send);
      break;
    default:
      break;
  }
}

void DiscoverPort(uint32_t* counts, RdmUid* const* uidBuffers, size_t capacity) {
  for (uint32_t p = 0; p < kDiscoverPortNumbers; ++p) {
    Stream* s = FindStream([p](uint32_t, const Stream& t) {
      const DmxPort* port = t.As<DmxPort>();
      return port != nullptr && port->portNumber == p && port->input == 0;
    });
    if (s == nullptr) continue;
    VLOG(2) << "Doing automated discovery on port: " << p;
    uint16_t found = 0;
    s->As<DmxPort>()->Discover(&found, uidBuffers[p], capacity);
    counts[p] = found;
    VLOG(2) << "Got: " << found;
  }
}
