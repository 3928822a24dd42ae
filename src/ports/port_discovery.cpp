// RDM discovery on a port: a binary search of the 48-bit UID space with
// DISC_UNIQUE_BRANCH, each device that answers alone muted and recorded.
#include <glog/logging.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "port.h"

namespace {

constexpr uint32_t kUidBits = 48;
constexpr int kDiscPasses = 4;
constexpr int kDubTries = 3;
constexpr uint8_t kDubBoundsSize = 12;
constexpr unsigned int kMuteSettleMicros = 7000;
constexpr unsigned int kMuteRetryMicros = 10000;
// Far more than 399 devices need, even on neighbouring UIDs; what a line of
// faulty devices may cost before the discovery gives up.
constexpr uint32_t kMaxDiscTransactions = 20000;
constexpr size_t kDiscoveredUidsSize = sizeof(DmxPort::discoveredUids) / sizeof(RdmUid);

void PutUidValue(uint8_t* out, uint64_t value) {
  RdmUid uid = RdmUidFromValue(value);
  std::memcpy(out, uid.bytes, sizeof(uid.bytes));
}

}  // namespace

int DmxPort::Discover(uint16_t* count, RdmUid* uids, size_t capacity) {
  discoveredCount = 0;
  *count = 0;
  if (input == 1) return 0;
  VLOG(2) << "Setting port params for discovery";
  SetParams(paramsRdm);
  discTransactionsLeft = kMaxDiscTransactions;
  for (int pass = 0; pass < kDiscPasses; ++pass) {
    if (DiscPass(pass != 0) == 0) break;
  }
  // The passes count what they recorded, so the list says it all.
  uint16_t carried = static_cast<uint16_t>(std::min<size_t>(discoveredCount, capacity));
  if (carried != 0) std::memcpy(uids, discoveredUids, carried * sizeof(RdmUid));
  *count = carried;
  discTransactionsLeft = UINT32_MAX;
  SetParams(paramsContinuous);
  PostFrame(nullptr);
  return 1;
}

int DmxPort::DiscPass(bool skipUnMute) {
  if (!skipUnMute) {
    VLOG(2) << "Sending Unmute";
    DiscUnMuteAll(broadcastUid);
    DiscUnMuteAll(broadcastUid);
  }
  RdmRequestBlock block;
  InitEmptyRequest(&block);
  uint16_t found = 0;
  DiscSearch(&block, kUidBits, 0, &found);
  return found;
}

void DmxPort::DiscSearch(RdmRequestBlock* block, uint32_t depth, uint64_t base,
                         uint16_t* found) {
  if (depth == 0 || depth > kUidBits) return;
  uint64_t mid = base + (uint64_t{1} << (depth - 1));
  DiscSearchHalf(block, depth - 1, mid, found, true);
  DiscSearchHalf(block, depth - 1, base, found, false);
}

// The range of 2^depth UIDs from base.
void DmxPort::DiscSearchHalf(RdmRequestBlock* block, uint32_t depth, uint64_t base,
                             uint16_t* found, bool logMute) {
  uint64_t upper = base + (uint64_t{1} << depth) - 1;
  while (discoveredCount < kDiscoveredUidsSize) {
    int result = 0;
    for (int tries = 0; tries < kDubTries && result == 0; ++tries) {
      result = DiscUniqueBranch(block, base, upper);
    }
    if (result == 0) return;
    if (result == 3) {
      // A single UID that still collides cannot be split: it is left.
      DiscSearch(block, depth, base, found);
      return;
    }
    int recorded = DiscMute(block);
    if (logMute) {
      VLOG(2) << (recorded == 1 ? "Got Good Disc Response " : "Got Bad Mute Disc Response ");
    }
    if (recorded == 0) {
      // The device that answered alone is still talking: look for others
      // in the smaller ranges around it, where it soon answers alone again.
      DiscSearch(block, depth, base, found);
      return;
    }
    // It is quiet now; the range may hold more.
    ++*found;
  }
}

int DmxPort::DiscUniqueBranch(RdmRequestBlock* block, uint64_t lower, uint64_t upper) {
  uint8_t bounds[kDubBoundsSize];
  PutUidValue(bounds, lower);
  PutUidValue(bounds + 6, upper);
  uint8_t n = DiscExchange(broadcastUid, kPidDiscUniqueBranch, sizeof(bounds), bounds,
                           block->reply);
  block->replyLength = n;
  if (n == 0) return 0;
  return ClassifyDiscReply(block->reply, n);
}

int DmxPort::DiscMute(RdmRequestBlock* block) {
  RdmUid uid;
  if (DecodeDubReply(block->reply, block->replyLength, &uid) != DubReply::kValid) return 0;
  VLOG(3) << "Disc, muting device"
          << std::string(reinterpret_cast<const char*>(uid.bytes), sizeof(uid.bytes));
  rdmPause(kMuteSettleMicros);
  uint8_t response[kRdmMaxReplySize];
  uint8_t n = DiscMuteUid(uid, response);
  if (n == 0) {
    VLOG(3) << "Disc Mute, got no reply";
    return 0;
  }
  if (!IsConfirmedMuteReply(response, n)) {
    VLOG(2) << "Disc Mute, reply not valid, retry";
    rdmPause(kMuteRetryMicros);
    n = DiscMuteUid(uid, response);
    if (n == 0) return 0;
    if (!IsConfirmedMuteReply(response, n)) {
      VLOG(2) << "Disc Mute, reply not valid, getting out";
      return 0;
    }
  }
  // A device that lost its mute answers again; it is on the list once.
  for (uint16_t i = 0; i < discoveredCount; ++i) {
    if (std::memcmp(discoveredUids[i].bytes, uid.bytes, sizeof(uid.bytes)) == 0) return 0;
  }
  return AddUid(uid) ? 1 : 0;
}

uint8_t DmxPort::DiscMuteUid(const RdmUid& uid, uint8_t* response) {
  return DiscExchange(uid, kPidDiscMute, 0, nullptr, response);
}

uint8_t DmxPort::DiscUnMuteAll(const RdmUid& uid) {
  uint8_t response[kRdmMaxReplySize];
  return DiscExchange(uid, kPidDiscUnMute, 0, nullptr, response);
}

uint8_t DmxPort::DiscExchange(const RdmUid& destination, uint16_t parameterId, uint8_t pdl,
                              const uint8_t* data, uint8_t* response) {
  if (discTransactionsLeft == 0) return 0;
  --discTransactionsLeft;
  RdmRequestBlock request;
  InitEmptyRequest(&request);
  BuildRdmRequest(&request, destination, ownUid, 1, 0, 0, kRdmDiscoveryCommand, parameterId, pdl,
                  data);
  uint8_t length = 0;
  if (RdmExchange(&request, response, &length) == 0) return 0;
  return length;
}

bool DmxPort::AddUid(const RdmUid& uid) {
  if (discoveredCount >= kDiscoveredUidsSize) return false;
  discoveredUids[discoveredCount++] = uid;
  return true;
}

bool DmxPort::CheckDiscReply(const uint8_t* reply, size_t length) {
  RdmUid uid;
  return DecodeDubReply(reply, length, &uid) == DubReply::kValid;
}

int DmxPort::ClassifyDiscReply(const uint8_t* reply, size_t length) {
  RdmUid uid;
  return static_cast<int>(DecodeDubReply(reply, length, &uid));
}
