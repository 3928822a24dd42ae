#include "acn.h"

#include <arpa/inet.h>
#include <glog/logging.h>

#include <cstring>

#include "support/clock.h"
#include "startup/device_identity.h"

namespace {
constexpr int64_t kTakeoverSeconds = 3;
}  // namespace

void AcnPacket::PreFill(uint32_t universeNumber, uint8_t priorityValue, std::string_view cidText) {
  VLOG(2) << "sACN: Pre filling struct";
  *this = AcnPacket();
  universe = universeNumber;
  priority = priorityValue;
  BuildSacnDataPacket(packet, SacnCid, universe, priority);
  ParseSacnCidText(cidText, cidFilter);
  destination.sin_family = AF_INET;
  destination.sin_port = htons(kSacnPort);
  destination.sin_addr.s_addr = htonl(SacnMulticastGroup(universe));
}

bool AcnPacket::AcceptsCid(const uint8_t* cid) const {
  static const uint8_t kAnySource[16] = {};
  return std::memcmp(cidFilter, kAnySource, 16) == 0 || std::memcmp(cidFilter, cid, 16) == 0;
}

bool AcnPacket::AcceptSource(uint8_t sourcePriority) {
  arrival = ClockNow();
  // 64-bit so that no clock value can wrap the comparison.
  bool quiet = static_cast<int64_t>(arrival.tv_sec) >
               static_cast<int64_t>(lastAccepted.tv_sec) + kTakeoverSeconds;
  if (sourcePriority < priority && !quiet) return false;
  lastAccepted = arrival;
  priority = sourcePriority;
  return true;
}
