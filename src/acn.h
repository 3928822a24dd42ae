#pragma once
// The sACN (E1.31) part of an sACN stream: its universe, the source CID it
// accepts on input with the state of its priority arbitration, and its data
// packet, pre-filled once and completed on every send.
#include <netinet/in.h>
#include <sys/time.h>

#include <cstdint>
#include <string_view>

#include "protocols/sacn_packets.h"

class AcnPacket {
 public:
  // Clears the record and fills everything of the data packet that does not
  // change per send; `cidText` is the configuration's 36-character CID.
  void PreFill(uint32_t universe, uint8_t priority, std::string_view cidText);

  // Whether an input stream with this filter takes packets from `cid`.
  bool AcceptsCid(const uint8_t* cid) const;

  // Priority arbitration of an input stream, one priority and one time for
  // all its sources: an equal or higher priority is taken at once; a lower
  // one only once nothing was taken for more than 3 whole seconds. A taken
  // packet's priority becomes the stream's.
  bool AcceptSource(uint8_t sourcePriority);

  uint32_t universe = 0;
  uint8_t cidFilter[16] = {};  // all zero: any source
  uint8_t packet[kSacnDataPacketSize] = {};
  uint8_t priority = 0;
  struct timeval lastAccepted = {};
  struct timeval arrival = {};
  struct sockaddr_in destination = {};
};
