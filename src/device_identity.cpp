#include "device_identity.h"

#include <arpa/inet.h>
#include <glog/logging.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "line_reader.h"

char SerialString[20];
uint32_t SerialNumber;
char IpString[20];
struct in_addr IpAddress;
char MacString[20];
int MacAddress[6];
char BroadcastString[24];
struct in_addr BroadcastAddress;
char DeviceName[80];
char CidString[80];
uint8_t SacnCid[16];
uint8_t BoardType;

namespace {

// The identity file is read through an 80-byte line buffer: at most 79
// characters a read, line end kept when it fits.
constexpr size_t kSerialLineBuffer = 80;

// strncpy-like copy of at most `max` characters, stopping at a NUL, always
// terminated (every destination is larger than `max`).
void CopyText(char* dest, size_t destSize, std::string_view src, size_t max) {
  std::memset(dest, 0, destSize);
  size_t n = 0;
  while (n < max && n < src.size() && n + 1 < destSize && src[n] != '\0') {
    dest[n] = src[n];
    ++n;
  }
}

// Two hexadecimal characters at `pos`; false when they hold no hex digit.
bool ParseHexPair(const char* text, size_t pos, long* value) {
  char pair[3] = {text[pos], text[pos] ? text[pos + 1] : '\0', '\0'};
  char* end = nullptr;
  long v = std::strtol(pair, &end, 16);
  if (end == pair) return false;
  *value = v;
  return true;
}

}  // namespace

void ResetDeviceIdentity() {
  std::memset(SerialString, 0, sizeof(SerialString));
  SerialNumber = 0;
  std::memset(IpString, 0, sizeof(IpString));
  IpAddress.s_addr = 0;
  std::memset(MacString, 0, sizeof(MacString));
  std::memset(MacAddress, 0, sizeof(MacAddress));
  std::memset(BroadcastString, 0, sizeof(BroadcastString));
  BroadcastAddress.s_addr = 0;
  std::memset(DeviceName, 0, sizeof(DeviceName));
  std::memset(CidString, 0, sizeof(CidString));
  std::memset(SacnCid, 0, sizeof(SacnCid));
  BoardType = 0;
}

const char* ParseSerialText(std::string_view text) {
  LineReader lines(text, kSerialLineBuffer);
  std::string_view line;

  if (!lines.Next(&line)) return "Missing serial.dat (serial)";
  CopyText(SerialString, sizeof(SerialString), line, 8);
  SerialNumber = static_cast<uint32_t>(std::strtol(SerialString, nullptr, 10));

  if (!lines.Next(&line)) return "Missing serial.dat (ip)";
  CopyText(IpString, sizeof(IpString), line, 16);
  inet_aton(IpString, &IpAddress);

  if (!lines.Next(&line)) return "Missing serial.dat (mac)";
  CopyText(MacString, sizeof(MacString), line, 18);
  for (size_t k = 0; k < 6; ++k) {
    long v;
    if (ParseHexPair(MacString, 3 * k, &v)) MacAddress[k] = static_cast<int>(v);
  }

  if (!lines.Next(&line)) return "Missing serial.dat (bcast)";
  CopyText(BroadcastString, sizeof(BroadcastString), line, 16);
  inet_aton(BroadcastString, &BroadcastAddress);

  if (!lines.Next(&line)) return "Missing serial.dat (device name)";
  CopyText(DeviceName, sizeof(DeviceName), line, sizeof(DeviceName) - 1);

  if (!lines.Next(&line)) return "Missing serial.dat (sACN CID name)";
  CopyText(CidString, sizeof(CidString), line, sizeof(CidString) - 1);
  for (size_t k = 0; k < 16; ++k) {
    long v;
    if (ParseHexPair(CidString, 2 * k, &v)) SacnCid[k] = static_cast<uint8_t>(v);
  }

  if (!lines.Next(&line)) return "Missing serial.dat (Board type number)";
  char board[80];
  CopyText(board, sizeof(board), line, sizeof(board) - 1);
  BoardType = static_cast<uint8_t>(std::strtol(board, nullptr, 10));
  return nullptr;
}

void ReadSerialFile() {
  std::string text;
  if (!ReadWholeFile("/tmp/serial.dat", &text)) LOG(FATAL) << "Missing serial.dat";
  const char* missing = ParseSerialText(text);
  if (missing != nullptr) LOG(FATAL) << missing;
}

NodeIdentity CurrentNodeIdentity() {
  NodeIdentity id = {};
  std::memcpy(id.ip, &IpAddress.s_addr, 4);  // already in network order
  // Each table entry of MacAddress contributes its low byte.
  for (int i = 0; i < 6; ++i) id.mac[i] = static_cast<uint8_t>(MacAddress[i] & 0xFF);
  id.serialNumber = SerialNumber;
  id.boardType = BoardType;
  id.name = DeviceName;
  return id;
}
