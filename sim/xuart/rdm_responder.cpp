#include "rdm_responder.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "protocols/byte_order.h"
#include "protocols/hex_digits.h"

namespace xuart_sim {

namespace {

constexpr uint16_t kMaxStartAddress = kDmxChannels;
constexpr uint16_t kMaxFootprint = kDmxChannels;
constexpr uint8_t kMuteControlField[2] = {0x00, 0x00};
constexpr uint16_t kRdmProtocolVersion = 0x0100;
constexpr uint16_t kDeviceModelId = 0x0001;
constexpr uint16_t kProductCategoryFixture = 0x0101;
constexpr uint32_t kSoftwareVersionId = 0x00000001;
constexpr uint8_t kDeviceInfoSize = 19;
// A device with no footprint has no start address to report.
constexpr uint16_t kNoStartAddress = 0xFFFF;

bool SameUid(const RdmUid& a, const RdmUid& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof(a.bytes)) == 0;
}

// The whole line, or one manufacturer's devices.
bool IsBroadcastTo(const RdmUid& destination, const RdmUid& me) {
  bool allDevices = std::all_of(destination.bytes + 2, destination.bytes + 6,
                                [](uint8_t b) { return b == 0xFF; });
  if (!allDevices) return false;
  return (destination.bytes[0] == 0xFF && destination.bytes[1] == 0xFF) ||
         (destination.bytes[0] == me.bytes[0] && destination.bytes[1] == me.bytes[1]);
}

bool ParseUidText(const std::string& text, RdmUid* uid) {
  if (text.size() != 12) return false;
  for (size_t i = 0; i < 6; ++i) {
    int high = HexDigitValue(text[2 * i]);
    int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    uid->bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}

// Plain decimal digits within [low, high].
bool ParseNumber(const std::string& text, unsigned low, unsigned high, unsigned* out) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseFault(const std::string& text, ResponderFault* out) {
  static const struct {
    const char* name;
    ResponderFault fault;
  } kFaults[] = {
      {"none", ResponderFault::kNone},     {"silent", ResponderFault::kSilent},
      {"badsum", ResponderFault::kBadSum}, {"short", ResponderFault::kShort},
      {"nomute", ResponderFault::kNoMute},
  };
  for (const auto& f : kFaults) {
    if (text == f.name) {
      *out = f.fault;
      return true;
    }
  }
  return false;
}

bool ParseOption(const std::string& key, const std::string& value, ResponderConfig* config) {
  unsigned n = 0;
  if (key == "label") {
    if (value.size() > kMaxLabelLength) return false;
    config->label = value;
    std::replace(config->label.begin(), config->label.end(), '_', ' ');
    return true;
  }
  if (key == "address") {
    if (!ParseNumber(value, 1, kMaxStartAddress, &n)) return false;
    config->startAddress = static_cast<uint16_t>(n);
    return true;
  }
  if (key == "footprint") {
    if (!ParseNumber(value, 0, kMaxFootprint, &n)) return false;
    config->footprint = static_cast<uint16_t>(n);
    return true;
  }
  if (key == "preamble") {
    if (!ParseNumber(value, 0, kDubMaxPreamble, &n)) return false;
    config->preamble = static_cast<uint8_t>(n);
    return true;
  }
  if (key == "fault") return ParseFault(value, &config->fault);
  return false;
}

bool IsDiscUniqueBranch(const uint8_t* request, size_t length) {
  RdmMessage m;
  return ParseRdmFrame(request, length, &m) && m.commandClass == kRdmDiscoveryCommand &&
         m.parameterId == kPidDiscUniqueBranch;
}

bool IsServed(uint16_t pid) {
  return pid == kPidSupportedParameters || pid == kPidDeviceInfo || pid == kPidDeviceLabel ||
         pid == kPidDmxStartAddress || pid == kPidIdentifyDevice;
}

}  // namespace

bool ParseResponderLine(const std::string& line, ResponderConfig* out) {
  std::istringstream words(line);
  std::string word;
  if (!(words >> word) || word != "responder") return false;
  ResponderConfig config;
  if (!(words >> word) || !ParseUidText(word, &config.uid)) return false;
  while (words >> word) {
    size_t equals = word.find('=');
    if (equals == std::string::npos) return false;
    if (!ParseOption(word.substr(0, equals), word.substr(equals + 1), &config)) return false;
  }
  *out = config;
  return true;
}

RdmResponder::RdmResponder(const ResponderConfig& config) : config_(config) {}

size_t RdmResponder::Answer(const uint8_t* request, size_t length, uint8_t* out,
                            size_t capacity) {
  RdmMessage m;
  if (!ParseRdmFrame(request, length, &m)) return 0;  // a bad checksum is not heard
  if (config_.fault == ResponderFault::kSilent) return 0;
  bool toMe = SameUid(m.destination, config_.uid);
  if (!toMe && !IsBroadcastTo(m.destination, config_.uid)) return 0;
  uint8_t reply[kRdmMaxFrameSize] = {};
  size_t n = 0;
  if (m.commandClass == kRdmDiscoveryCommand) {
    n = AnswerDiscovery(m, toMe, reply);
  } else if (m.commandClass == kRdmGetCommand || m.commandClass == kRdmSetCommand) {
    n = AnswerGetSet(m, reply);
    if (!toMe) n = 0;  // a broadcast is obeyed but never answered
  }
  if (config_.fault == ResponderFault::kShort) n /= 2;
  n = std::min(n, capacity);
  std::memcpy(out, reply, n);
  return n;
}

size_t RdmResponder::AnswerDiscovery(const RdmMessage& m, bool toMe, uint8_t* out) {
  switch (m.parameterId) {
    case kPidDiscUniqueBranch: {
      if (muted_ || m.pdl != 12) return 0;
      uint64_t me = RdmUidValue(config_.uid);
      RdmUid lower, upper;
      std::memcpy(lower.bytes, m.data, 6);
      std::memcpy(upper.bytes, m.data + 6, 6);
      if (me < RdmUidValue(lower) || me > RdmUidValue(upper)) return 0;
      uint16_t error = config_.fault == ResponderFault::kBadSum ? 1 : 0;
      return EncodeDubReply(config_.uid, config_.preamble, out, error);
    }
    case kPidDiscMute:
      if (config_.fault == ResponderFault::kNoMute) return 0;
      muted_ = true;
      return toMe ? Ack(m, kMuteControlField, sizeof(kMuteControlField), out) : 0;
    case kPidDiscUnMute:
      muted_ = false;
      return toMe ? Ack(m, kMuteControlField, sizeof(kMuteControlField), out) : 0;
    default:
      return 0;
  }
}

size_t RdmResponder::AnswerGetSet(const RdmMessage& m, uint8_t* out) {
  if (m.subDevice != 0) return Nack(m, kNrSubDeviceOutOfRange, out);
  bool get = m.commandClass == kRdmGetCommand;
  // Every parameter served here takes no data with a GET.
  if (get && m.pdl != 0 && IsServed(m.parameterId)) return Nack(m, kNrFormatError, out);
  switch (m.parameterId) {
    case kPidSupportedParameters: {
      if (!get) return Nack(m, kNrUnsupportedCommandClass, out);
      // The parameters every responder must serve are not listed.
      uint8_t list[2];
      PutU16Be(list, kPidDeviceLabel);
      return Ack(m, list, sizeof(list), out);
    }
    case kPidDeviceInfo: {
      if (!get) return Nack(m, kNrUnsupportedCommandClass, out);
      uint8_t info[kDeviceInfoSize] = {};
      PutU16Be(info + 0, kRdmProtocolVersion);
      PutU16Be(info + 2, kDeviceModelId);
      PutU16Be(info + 4, kProductCategoryFixture);
      PutU32Be(info + 6, kSoftwareVersionId);
      PutU16Be(info + 10, config_.footprint);
      info[12] = 1;  // current personality
      info[13] = 1;  // personality count
      PutU16Be(info + 14, config_.footprint == 0 ? kNoStartAddress : config_.startAddress);
      // Sub-device count and sensor count stay 0.
      return Ack(m, info, sizeof(info), out);
    }
    case kPidDeviceLabel:
      if (get) {
        return Ack(m, reinterpret_cast<const uint8_t*>(config_.label.data()),
                   static_cast<uint8_t>(config_.label.size()), out);
      }
      if (m.pdl > kMaxLabelLength) return Nack(m, kNrFormatError, out);
      config_.label.assign(reinterpret_cast<const char*>(m.data), m.pdl);
      return Ack(m, nullptr, 0, out);
    case kPidDmxStartAddress: {
      if (get) {
        uint8_t address[2];
        PutU16Be(address, config_.footprint == 0 ? kNoStartAddress : config_.startAddress);
        return Ack(m, address, sizeof(address), out);
      }
      if (m.pdl != 2) return Nack(m, kNrFormatError, out);
      uint16_t address = GetU16Be(m.data);
      if (address < 1 || address > kMaxStartAddress) return Nack(m, kNrDataOutOfRange, out);
      config_.startAddress = address;
      return Ack(m, nullptr, 0, out);
    }
    case kPidIdentifyDevice: {
      if (get) {
        uint8_t state = identify_ ? 1 : 0;
        return Ack(m, &state, 1, out);
      }
      if (m.pdl != 1) return Nack(m, kNrFormatError, out);
      if (m.data[0] > 1) return Nack(m, kNrDataOutOfRange, out);
      identify_ = m.data[0] == 1;
      return Ack(m, nullptr, 0, out);
    }
    default:
      return Nack(m, kNrUnknownPid, out);
  }
}

size_t RdmResponder::Respond(const RdmMessage& request, uint8_t responseType, const uint8_t* data,
                             uint8_t pdl, uint8_t* out) const {
  RdmMessage r = {};
  r.destination = request.source;
  r.source = config_.uid;
  r.transactionNumber = request.transactionNumber;
  r.portIdOrResponseType = responseType;
  r.messageCount = 0;
  r.subDevice = request.subDevice;
  r.commandClass = static_cast<uint8_t>(request.commandClass + 1);
  r.parameterId = request.parameterId;
  r.pdl = pdl;
  r.data = data;
  RdmRequestBlock block;
  InitEmptyRdmRequest(&block);
  BuildRdmFrame(&block, r);
  if (config_.fault == ResponderFault::kBadSum) ++block.checksum;
  return LayRdmFrame(block, out);
}

size_t RdmResponder::Nack(const RdmMessage& request, uint16_t reason, uint8_t* out) const {
  uint8_t code[2];
  PutU16Be(code, reason);
  return Respond(request, kRdmNackReason, code, sizeof(code), out);
}

bool ResponderLine::Configure(const std::string& line) {
  std::istringstream words(line);
  std::string word, model, extra;
  if (!(words >> word)) return false;
  if (word == "collisions") {
    if (!(words >> model) || (words >> extra)) return false;
    if (model == "garbled") {
      collisions_ = CollisionModel::kGarbled;
    } else if (model == "and") {
      collisions_ = CollisionModel::kAnd;
    } else {
      return false;
    }
    return true;
  }
  ResponderConfig config;
  if (!ParseResponderLine(line, &config)) return false;
  responders_.emplace_back(config);
  return true;
}

size_t ResponderLine::Transact(const uint8_t* request, size_t length, uint8_t* response,
                               size_t capacity) {
  uint8_t line[kRdmMaxFrameSize];
  size_t lineLength = 0;
  size_t answers = 0;
  for (RdmResponder& r : responders_) {
    uint8_t reply[kRdmMaxFrameSize];
    size_t n = r.Answer(request, length, reply, sizeof(reply));
    if (n == 0) continue;
    if (answers == 0) {
      std::memcpy(line, reply, n);
    } else {
      // A wired-AND line: a bit is high only when every sender leaves it
      // high, and a line no sender drives idles high.
      std::memset(line + lineLength, 0xFF, std::max(lineLength, n) - lineLength);
      for (size_t i = 0; i < n; ++i) line[i] &= reply[i];
    }
    lineLength = std::max(lineLength, n);
    ++answers;
  }
  if (answers > 1 && collisions_ == CollisionModel::kGarbled &&
      IsDiscUniqueBranch(request, length)) {
    RdmUid uid;
    DecodeDubReply(line, lineLength, &uid);
    lineLength = EncodeDubReply(uid, kDubMaxPreamble, line, 1);
  }
  size_t n = std::min(lineLength, capacity);
  std::memcpy(response, line, n);
  return n;
}

}  // namespace xuart_sim
