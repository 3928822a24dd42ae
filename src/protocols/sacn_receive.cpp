#include "protocols/sacn_receive.h"

#include <glog/logging.h>

#include "streams/network_streams.h"
#include "streams/stream_table.h"
#include "status/unmatched_table.h"

void HandleSacnDatagram(const uint8_t* bytes, size_t length, const struct sockaddr_in& sender,
                        DatagramSender reply) {
  (void)sender;  // the device's own packets stay away: its send socket has loop off
  (void)reply;
  SacnDataFrame frame;
  SacnCheck check = ParseSacnDataPacket(bytes, length, &frame);
  if (check != SacnCheck::kOk) {
    VLOG(2) << SacnCheckText(check);
    return;
  }
  VLOG(3) << SacnCheckText(check);
  MatchSacnStream(frame);
}

void MatchSacnStream(const SacnDataFrame& frame) {
  Stream* s = FindInputStream([&frame](uint32_t i, const Stream& t) {
    VLOG(3) << "Checking for matching sACN stream: " << i << " universe: " << frame.universe;
    const NetworkEndpoint* n = NetworkInput(t, kProtocolSacn);
    return n != nullptr && n->acn.universe == frame.universe && n->acn.AcceptsCid(frame.cid);
  });
  if (s == nullptr) {
    AddUnmatchedStream(kProtocolSacn, frame.universe, frame.cid);
    return;
  }
  VLOG(2) << "sACN Stream:" << s->id << " is a match to incoming packet";
  // A refused source is neither written nor recorded as unmatched.
  if (s->As<NetworkEndpoint>()->acn.AcceptSource(frame.priority)) s->Write(frame.slots, frame.slotCount, 0);
}
