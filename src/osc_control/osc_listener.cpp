#include "osc_control/osc_listener.h"

#include <glog/logging.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "osc_control/osc_datagram.h"
#include "show_engine/locked_engine.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"
#include "streams/stream_table.h"

namespace {

constexpr std::string_view kGrandMasterAddress = "/vpro/gm";
constexpr std::string_view kCuelistPrefix = "/vpro/cuelist/";
constexpr std::string_view kChannelPrefix = "/cvmk2/";
constexpr size_t kCuelistTailLimit = 79;
constexpr int kOscChannels = 128;

enum class CuelistCommand { kGo, kPause, kLevel };

// The first argument as a float. Without one, or with another type, the
// library raises its own exception, which ProcessMessage reports; the
// argument is always read before anything is changed.
bool ReadFiniteArgument(const osc::ReceivedMessage& message, std::string_view address,
                        float* value) {
  osc::ReceivedMessageArgumentStream arguments = message.ArgumentStream();
  arguments >> *value;
  if (std::isfinite(*value)) return true;
  // A NaN or an infinity has no integer to become; converting it would be
  // undefined and a NaN would even pass as a trigger.
  VLOG(2) << "OSC: dropped non-finite argument of " << address;
  return false;
}

// A finite value already limited from above; negatives give 0.
uint32_t WholePart(float value) { return value > 0.0f ? static_cast<uint32_t>(value) : 0u; }

// atoi-like: leading blanks, a sign, digits up to the first non-digit; no
// digits give 0. A number beyond 32 bits names no cue list and is refused
// rather than wrapped onto one that exists.
bool ReadCuelistId(std::string_view token, int32_t* id) {
  size_t p = 0;
  while (p < token.size() && std::isspace(static_cast<unsigned char>(token[p]))) ++p;
  bool negative = false;
  if (p < token.size() && (token[p] == '+' || token[p] == '-')) negative = token[p++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; p < token.size() && token[p] >= '0' && token[p] <= '9'; ++p) {
    value = value * 10 + (token[p] - '0');
    if (value > kLimit) return false;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return false;
  *id = static_cast<int32_t>(value);
  return true;
}

// The next "/"-separated token from *pos on, empty tokens skipped; empty
// at the end.
std::string_view NextToken(std::string_view text, size_t* pos) {
  while (*pos < text.size() && text[*pos] == '/') ++*pos;
  size_t start = *pos;
  while (*pos < text.size() && text[*pos] != '/') ++*pos;
  return text.substr(start, *pos - start);
}

// Channel of an address written as "/cvmk2/%d" with 0..127 (no sign, no
// leading zeros), or -1.
int ChannelOfAddress(std::string_view address) {
  if (address.substr(0, kChannelPrefix.size()) != kChannelPrefix) return -1;
  std::string_view digits = address.substr(kChannelPrefix.size());
  if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return -1;
  int channel = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    channel = channel * 10 + (c - '0');
  }
  return channel < kOscChannels ? channel : -1;
}

void SetGrandMaster(const osc::ReceivedMessage& message, std::string_view address) {
  float value;
  if (!ReadFiniteArgument(message, address, &value)) return;
  if (value > 255.0f) value = 255.0f;
  if (DmxEngine* engine = ShowPlayingEngine()) LockedEngine(*engine).SetGrandMaster(WholePart(value));
  VLOG(2) << "OSC:received '/vpro/gm' message with arguments: " << value;
}

// Every show-playing stream shares one engine: the command reaches it once,
// however many such streams there are (a second pause would stop the list).
void ApplyCuelistCommand(CuelistCommand command, int32_t id, uint32_t level) {
  if (DmxEngine* engine = ShowPlayingEngine()) {
    LockedEngine locked(*engine);
    switch (command) {
      case CuelistCommand::kGo:
        locked.GoCuelist(id, 0, kFullLevel);
        break;
      case CuelistCommand::kPause:
        locked.PauseCuelist(id, 0);
        break;
      case CuelistCommand::kLevel:
        locked.SetCuelistLevel(id, level);
        break;
    }
  }
  const char* text = command == CuelistCommand::kGo      ? "OSC: running go on cuelist: "
                     : command == CuelistCommand::kPause ? "OSC: running pause on cuelist: "
                                                         : "OSC: changing level on cuelist: ";
  // One line per stream of the table, whatever its kind: the front end's log
  // readers count them.
  ForEachStream([&](uint32_t, Stream&) { VLOG(2) << text << id; });
}

void ControlCuelist(const osc::ReceivedMessage& message, std::string_view address) {
  VLOG(2) << "OSC:received '/vpro/cuelist/' message ";
  // The tail starts 14 characters in even when the prefix sits further on.
  std::string_view tail = address.substr(kCuelistPrefix.size(), kCuelistTailLimit);
  size_t pos = 0;
  std::string_view first = NextToken(tail, &pos);
  if (first.empty()) return;
  int32_t id = 0;
  if (!ReadCuelistId(first, &id)) {
    VLOG(2) << "OSC: cue list number out of range in " << address;
    return;
  }
  std::string_view second = NextToken(tail, &pos);
  CuelistCommand command;
  if (second == "command") {
    std::string_view third = NextToken(tail, &pos);
    if (third == "go") {
      command = CuelistCommand::kGo;
    } else if (third == "pause") {
      command = CuelistCommand::kPause;
    } else {
      return;  // the argument is not read
    }
  } else if (second == "level") {
    command = CuelistCommand::kLevel;
  } else {
    return;
  }
  float value;
  if (!ReadFiniteArgument(message, address, &value)) return;
  // A push button sends 1.0 when pressed and 0.0 when released.
  if (value == 0.0f) return;
  if (value > static_cast<float>(kFullLevel)) value = static_cast<float>(kFullLevel);
  ApplyCuelistCommand(command, id, WholePart(value));
}

void SetChannel(const osc::ReceivedMessage& message, std::string_view address, int channel) {
  float value;
  if (!ReadFiniteArgument(message, address, &value)) return;
  if (value > 255.0f) value = 255.0f;
  const uint8_t level = static_cast<uint8_t>(WholePart(value));
  ForEachStream([&](uint32_t, Stream& s) {
    if (IsOscDrivenStream(s)) s.WriteAt(static_cast<uint32_t>(channel), level);
  });
  VLOG(2) << "OSC:received " << address << " message with arguments: " << value;
}

}  // namespace

void ExamplePacketListener::ProcessPacket(const char* data, int size,
                                          const IpEndpointName& sender) {
  if (size < 0) return;
  if (const char* fault = OscStructureFault(data, static_cast<size_t>(size))) {
    // Dropped as the library drops a datagram it cannot parse, with the
    // same line, so log readers see one kind of refusal.
    VLOG(1) << kOscExceptionLine;
    VLOG(2) << "OSC: dropped datagram: " << fault;
    return;
  }
  try {
    osc::OscPacketListener::ProcessPacket(data, size, sender);
  } catch (const osc::Exception&) {
    VLOG(1) << kOscExceptionLine;
  }
}

void ExamplePacketListener::ProcessMessage(const osc::ReceivedMessage& message,
                                           const IpEndpointName& sender) {
  (void)sender;
  const std::string_view address(message.AddressPattern());
  VLOG(3) << "OSC: received OSC message " << address;
  try {
    if (address == kGrandMasterAddress) {
      SetGrandMaster(message, address);
    } else if (address.find(kCuelistPrefix) != std::string_view::npos) {
      ControlCuelist(message, address);
    } else if (int channel = ChannelOfAddress(address); channel >= 0) {
      SetChannel(message, address, channel);
    }
  } catch (const osc::Exception& e) {
    VLOG(2) << "OSC:error while parsing message: " << address << ": " << e.what();
  }
}
