#include "protocols/qsp_receive.h"

#include <glog/logging.h>

#include "startup/device_identity.h"
#include "protocols/qsp_packets.h"
#include "streams/network_streams.h"
#include "streams/stream_table.h"
#include "status/unmatched_table.h"

namespace {

void AnswerPoll(DatagramSender send) {
  uint8_t reply[kQspPollReplySize];
  BuildQspPollReply(reply, CurrentNodeIdentity());
  // Every poll is answered to everyone, whoever asked.
  struct sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(kQspPort);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  send(to, reply, sizeof(reply));
}

void AnswerStreamRequest(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                         DatagramSender send) {
  uint16_t index;
  if (!ParseQspStreamRequest(packet, length, &index)) return;
  VLOG(3) << "Got QDSP Packet for stream " << index;
  Stream* s = StreamAt(index);
  if (s == nullptr) return;
  // Copied whole: a receiver may be writing the stream right now.
  uint8_t channels[kDmxChannels];
  s->CopyData(channels, kDmxChannels);
  uint8_t reply[kQspStreamReplySize];
  BuildQspStreamReply(reply, index, channels);
  struct sockaddr_in to = sender;
  to.sin_port = htons(kQspReplyPort);
  send(to, reply, sizeof(reply));
  VLOG(3) << "Reply Packet sent to " << LoggedAddressNumber(sender.sin_addr);
}

}  // namespace

void HandleQspPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                     DatagramSender send) {
  if (length <= 3) return;
  VLOG(3) << "Got QSP Packet " << static_cast<char>(packet[0]) << static_cast<char>(packet[1])
          << static_cast<char>(packet[2]) << static_cast<char>(packet[3]);
  VLOG(3) << "From: " << LoggedAddressNumber(sender.sin_addr);
  switch (ClassifyQspPacket(packet, length)) {
    case QspPacketKind::kData:
      // Our own output streams reach us too on a broadcast network.
      if (sender.sin_addr.s_addr == IpAddress.s_addr) return;
      MatchQspStream(packet, length);
      break;
    case QspPacketKind::kPoll:
      AnswerPoll(send);
      break;
    case QspPacketKind::kRdmRequest:
      HandleQspRdmRequest(packet, length, sender, send);
      break;
    case QspPacketKind::kStreamRequest:
      AnswerStreamRequest(packet, length, sender, send);
      break;
    case QspPacketKind::kOther:
      break;
  }
}

void MatchQspStream(const uint8_t* packet, size_t length) {
  QspData frame;
  if (!ParseQspDataPacket(packet, length, &frame)) return;
  // The universe byte reads 0 to 255: a stream configured above never takes.
  Stream* s = FindInputStream([&frame](uint32_t i, const Stream& t) {
    VLOG(3) << "Checking for matching QSP stream: " << i;
    const NetworkEndpoint* n = NetworkInput(t, kProtocolQsp);
    return n != nullptr && n->qspUniverse == frame.universe;
  });
  if (s == nullptr) {
    AddUnmatchedStream(kProtocolQsp, frame.universe, nullptr);
    return;
  }
  VLOG(2) << "QSP Stream:" << s->id << " is a match to incoming packet";
  s->Write(frame.channels, frame.length, 0);
}
