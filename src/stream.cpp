#include "stream.h"

#include <arpa/inet.h>
#include <glog/logging.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "clock.h"
#include "device_identity.h"
#include "fixed_field.h"
#include "protocols/sockets.h"
#include "show_engine/vistro_pro_thread.h"

Stream* StreamTable[kStreamTableSize];
std::atomic<uint32_t> StreamCount{0};

namespace {

struct sockaddr_in MakeAddress(uint32_t hostOrderAddress, uint16_t port) {
  struct sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(hostOrderAddress);
  return a;
}

// A configured 255.255.255.255 means the device's own broadcast address.
struct sockaddr_in ConfiguredAddress(std::string_view text, size_t pos, uint16_t port) {
  struct sockaddr_in a = MakeAddress(ReadFixedAddress(text, pos), port);
  if (IsFixedBroadcast(text, pos)) a.sin_addr = BroadcastAddress;
  return a;
}

std::string Text(std::string_view text) { return std::string(text); }

}  // namespace

void Stream::InitCommon(uint32_t streamId, uint32_t streamKind, uint32_t size) {
  dataSize = size;
  dataStorage_ = std::make_unique<uint8_t[]>(size);
  data = dataStorage_.get();
  kind = streamKind;
  id = streamId;
  statsId = streamId;
  bufferSize = kDmxChannels;
  VLOG(1) << "Initialised Stream " << id;
}

Stream::Stream(uint32_t streamId, uint32_t streamKind, int socket, std::string_view text) {
  InitCommon(streamId, streamKind, kDmxChannels);
  // Zeroed so that no byte of uninitialised memory can reach the wire.
  packetStorage_ = std::make_unique<uint8_t[]>(kStreamPacketSize);
  packet = packetStorage_.get();
  sendSocket = socket;
  if (streamKind != kStreamNetwork) {
    LOG(INFO) << "Unsupported Config Type" << Text(text);
    return;
  }
  switch (FixedCharAt(text, 0)) {
    case 'A':
      protocol = kProtocolArtnet;
      artnetUniverse = static_cast<uint32_t>(ReadFixedField(text, 1, 3));
      artnetAddress = ConfiguredAddress(text, 4, 6454);
      input = FixedCharAt(text, 16) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised Artnet Stream with " << Text(text);
      VLOG(1) << "Universe " << artnetUniverse;
      break;
    case 'E':
      protocol = kProtocolQsp;
      qspUniverse = static_cast<uint32_t>(ReadFixedField(text, 1, 3));
      qspAddress = ConfiguredAddress(text, 4, 3333);
      input = FixedCharAt(text, 16) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised QSP Stream with " << Text(text);
      break;
    case 'K':
      protocol = kProtocolKinet;
      kinetPort = static_cast<uint8_t>(ReadFixedField(text, 1, 3));
      input = FixedCharAt(text, 28) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised Kinet Stream with " << Text(text);
      VLOG(1) << "Port " << static_cast<uint32_t>(kinetPort);
      VLOG(1) << "Universe " << ReadFixedField(text, 4, 12);
      VLOG(1) << "Direction " << FixedCharAt(text, 28);
      break;
    case 'S': {
      protocol = kProtocolSacn;
      uint32_t universe = static_cast<uint32_t>(ReadFixedField(text, 1, 3));
      uint8_t priority = static_cast<uint8_t>(ReadFixedField(text, 4, 3));
      sendSocket = SacnSendSocket;
      std::string_view cidText = text.size() > 19 ? text.substr(19, 36) : std::string_view();
      acn.PreFill(universe, priority, cidText);
      input = FixedCharAt(text, 55) == 'I' ? 1 : 0;
      VLOG(1) << "Initialised sACN Stream with " << Text(text);
      VLOG(1) << "Universe " << acn.universe;
      VLOG(1) << "Priority " << static_cast<uint32_t>(acn.priority);
      if (input == 1 && VLOG_IS_ON(1)) {
        char hex[33];
        for (int k = 0; k < 16; ++k) std::snprintf(hex + 2 * k, 3, "%02X", acn.cidFilter[k]);
        VLOG(1) << "SACN Input CID " << hex;
      }
      break;
    }
    default:
      protocol = kProtocolNone;
      break;
  }
}

Stream::Stream(uint32_t streamId, uint32_t streamKind, std::string_view text) {
  InitCommon(streamId, streamKind,
             streamKind == kStreamLedrunnerPort ? kLedrunnerFrameSize : kDmxChannels);
  switch (streamKind) {
    case kStreamPort:
      dmxPort.Init(text);
      LOG(INFO) << "Initialised PORT with " << Text(text);
      break;
    case kStreamVirtual:
      LOG(INFO) << "Initialised Virtual  with " << Text(text);
      break;
    case kStreamNxb: {
      bool isInput = FixedCharAt(text, 1) == 'I';
      nxbInput = isInput ? 1 : 0;
      std::memcpy(nxbPacket.bytes, "QSOO", 4);
      nxbPacket.bytes[4] = isInput ? 2 : 1;
      nxbAddress = MakeAddress(ReadFixedAddress(text, 2), 3333);
      LOG(INFO) << "Initialised NXB  with " << Text(text);
      break;
    }
    case kStreamGenerator:
      generator = DmxGenerator(text);
      LOG(INFO) << "Initialised DMX Generator";
      std::memcpy(data, generator.values, kDmxChannels);
      break;
    case kStreamLedrunnerPort:
      ledrunnerPort.Init(text);
      LOG(INFO) << "Initialised Ledrunner PORT with " << Text(text);
      break;
    default:
      LOG(INFO) << "Unsupported Config Type" << Text(text);
      break;
  }
}

void Stream::CalculateFrame() {
  if (!IsShowPlayingStream(*this)) return;
  VLOG(3) << "Vistro Pro Calculate Frame ";
  WriteShowFrame(*this, true);
}

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
  // No blank before "size: " here: the line has always read so.
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

bool Stream::IsInput() const {
  switch (kind) {
    case kStreamNetwork:
      return input == 1;
    case kStreamPort:
      return dmxPort.input == 1;
    case kStreamGenerator:
      return generator.input == 1;
    default:
      return false;
  }
}
