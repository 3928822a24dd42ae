#include "line_format.h"

#include <cstring>

#include "protocols/hex_digits.h"

namespace xuart_sim {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string ToHex(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(2 * length, '0');
  for (size_t i = 0; i < length; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool ParseHexLine(std::string_view line, std::vector<uint8_t>* out) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : line) {
    if (IsBlank(c)) continue;  // a person may group the digits
    int value = HexDigitValue(c);
    if (value < 0) return false;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty()) return false;
  out->swap(bytes);
  return true;
}

int DevicePort(const char* path) {
  static const char kPrefix[] = "/dev/xuart";
  constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
  if (path == nullptr || std::strncmp(path, kPrefix, kPrefixLength) != 0) return -1;
  const char* digits = path + kPrefixLength;
  if (*digits == '\0') return -1;
  long port = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    port = port * 10 + (*c - '0');
    if (port > 9999) return -1;  // keeps the number (and the file names) small
  }
  return static_cast<int>(port);
}

uint64_t FrameLineMicros(const DmxPortParams& params, size_t slots) {
  constexpr uint64_t kMicrosPerUnit = 4;
  constexpr uint64_t kMicrosPerSlot = 11 * kMicrosPerUnit;
  return kMicrosPerUnit * (uint64_t{params.breakTime} + params.markAfterBreak) +
         slots * (kMicrosPerSlot + kMicrosPerUnit * params.interSlot);
}

}  // namespace xuart_sim
