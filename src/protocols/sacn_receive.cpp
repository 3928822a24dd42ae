#include "protocols/sacn_receive.h"

#include <glog/logging.h>

#include "stream.h"
#include "unmatched_table.h"

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
  uint32_t count = StreamCount;
  for (uint32_t i = 0; i < count; ++i) {
    VLOG(3) << "Checking for matching sACN stream: " << i << " universe: " << frame.universe;
    Stream* s = StreamTable[i];
    if (s == nullptr || s->kind != kStreamNetwork || s->protocol != kProtocolSacn ||
        s->acn.universe != frame.universe || !s->acn.AcceptsCid(frame.cid) || s->input != 1) {
      continue;
    }
    VLOG(2) << "sACN Stream:" << i << " is a match to incoming packet";
    // A refused source is neither written nor recorded as unmatched.
    if (s->acn.AcceptSource(frame.priority)) s->Write(frame.slots, frame.slotCount, 0);
    return;
  }
  AddUnmatchedStream(kProtocolSacn, frame.universe, frame.cid);
}
