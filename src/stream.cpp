#include "stream.h"

#include <glog/logging.h>

#include <cstring>
#include <utility>

#include "support/clock.h"

Stream* StreamTable[kStreamTableSize];
std::atomic<uint32_t> StreamCount{0};

Stream::Stream(uint32_t streamId, std::unique_ptr<StreamEndpoint> endpoint)
    : id(streamId), kind(endpoint->kind), dataSize(endpoint->Channels()),
      endpoint_(std::move(endpoint)),
      dataStorage_(std::make_unique<uint8_t[]>(dataSize)) {
  data = dataStorage_.get();
  statsId = streamId;
  endpoint_->Fill(data);
}

void Stream::Send(uint32_t force, uint32_t klock, SendFunction send) {
  (void)klock;  // Klock mode changes nothing in what is sent
  if (!IsChanged() && force == 0) return;
  if (!endpoint_->Send(*this, send)) ClearUntaken();
}

void Stream::LogSend() const { VLOG(2) << "Stream Send for:" << id; }

namespace {

// Main thread only, like the snapshots it dates. Starts at 1 so that a
// stream no pass has taken yet never looks taken.
uint32_t RulePass = 1;

}  // namespace

void BeginRulePass() { RulePass += 1; }

void Stream::ClearChanged() {
  std::lock_guard<std::mutex> lock(changedMutex);
  changed.store(0, std::memory_order_release);
}

void Stream::ClearUntaken() {
  if (ruleView.pass != RulePass) ClearChanged();
}

void Stream::CopyLocked(uint8_t* out, uint32_t length) const {
  std::memcpy(out, data, length <= dataSize ? length : dataSize);
}

void Stream::TakeForSend(uint8_t* out, uint32_t length) {
  std::lock_guard<std::mutex> lock(changedMutex);
  changed.store(0, std::memory_order_release);
  CopyLocked(out, length);
}

void Stream::CopyData(uint8_t* out, uint32_t length) {
  std::lock_guard<std::mutex> lock(changedMutex);
  CopyLocked(out, length);
}

const Stream::RuleView& Stream::TakeForRules() {
  if (ruleView.pass == RulePass && ruleView.fresh) return ruleView;
  std::lock_guard<std::mutex> lock(changedMutex);
  // A second take in one pass (after a rule wrote the stream) keeps what
  // the first saw: a rule that saw the change must not see it vanish.
  if (ruleView.pass != RulePass) ruleView.changed = false;
  ruleView.changed = ruleView.changed || changed.load(std::memory_order_relaxed) != 0;
  CopyLocked(ruleView.data, dataSize);
  ruleView.lastChange = lastChange;
  ruleView.pass = RulePass;
  ruleView.fresh = true;
  if (!SendsData()) changed.store(0, std::memory_order_release);
  return ruleView;
}

bool Stream::CopyIfChanged(const uint8_t* bytes, uint32_t length) {
  writeCount += 1;
  if (length > dataSize) length = dataSize;
  if (length == 0 || std::memcmp(data, bytes, length) == 0) return false;
  changeCount += 1;
  if (VLOG_IS_ON(5)) {
    for (uint32_t i = 0; i < length; ++i) {
      if (data[i] != bytes[i]) {
        VLOG(5) << "change at " << i << "Orig " << static_cast<int>(data[i]) << " new "
                << static_cast<int>(bytes[i]);
      }
    }
  }
  std::memmove(data, bytes, length);  // a rule may pass a range of this very stream
  changed.store(1, std::memory_order_release);
  return true;
}

void Stream::Write(const uint8_t* bytes, uint32_t length, uint32_t stampFirst) {
  {
    std::lock_guard<std::mutex> lock(changedMutex);
    if (stampFirst == 1) lastChange = ClockNow();
    if (!CopyIfChanged(bytes, length)) return;
    if (stampFirst == 0) lastChange = ClockNow();
  }
  VLOG(2) << "Stream Write buffer for: " << id << " size: "
          << (length < dataSize ? length : dataSize);
}

void Stream::WriteFrom(const uint8_t* bytes, uint32_t length, struct in_addr sender) {
  (void)sender;
  {
    std::lock_guard<std::mutex> lock(changedMutex);
    if (!CopyIfChanged(bytes, length)) return;
    lastChange = ClockNow();
  }
  // No blank before "size: " here: log readers match the line as it stands.
  VLOG(2) << "Stream Write buffer for: " << id << "size: "
          << (length < dataSize ? length : dataSize);
}

void Stream::WriteAt(uint32_t index, uint8_t value) {
  WriteAt(&value, 1, index);
}

void Stream::WriteAt(const uint8_t* source, uint32_t count, uint32_t offset) {
  bool wrote = false;
  {
    std::lock_guard<std::mutex> lock(changedMutex);
    writeCount += 1;
    // Clipped to the buffer: only the channels that exist are written.
    uint32_t limit = offset < dataSize ? dataSize - offset : 0;
    if (count > limit) count = limit;
    for (uint32_t i = 0; i < count; ++i) {
      if (data[offset + i] != source[i]) {
        data[offset + i] = source[i];
        wrote = true;
      }
    }
    if (wrote) changed.store(1, std::memory_order_release);
    if (IsChanged()) {
      lastChange = ClockNow();
      changeCount += 1;
    }
  }
  if (wrote) VLOG(2) << "Stream WriteAt buffer for:" << id;
}

void Stream::WriteComputed(const uint8_t* bytes, uint32_t length) {
  std::lock_guard<std::mutex> lock(changedMutex);
  if (length > dataSize) length = dataSize;
  for (uint32_t i = 0; i < length; ++i) {
    if (data[i] != bytes[i]) {
      data[i] = bytes[i];
      changed.store(1, std::memory_order_release);
    }
  }
  if (IsChanged()) writeCount += 1;
}

void Stream::MergeHtp(const uint8_t* source1, const uint8_t* source2, uint32_t count) {
  if (count > dataSize) count = dataSize;
  uint8_t merged[kLedrunnerFrameSize];
  for (uint32_t i = 0; i < count; ++i) {
    VLOG(2) << "HTP Merge val1: " << static_cast<int>(source1[i])
            << "val2: " << static_cast<int>(source2[i]) << "index: " << i;
    merged[i] = source1[i] >= source2[i] ? source1[i] : source2[i];
  }
  WriteComputed(merged, count);
}
