#include "startup/device_identity.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/line_reader.h"

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

// The two characters at `pos` by strtol's rules, which the identity bytes
// keep: a leading blank or sign is taken ("-4" gives -4) and one digit is
// enough. False when no digit is read.
bool ParseHexPair(const char* text, size_t pos, long* value) {
  char pair[3] = {text[pos], text[pos] ? text[pos + 1] : '\0', '\0'};
  char* end = nullptr;
  long v = std::strtol(pair, &end, 16);
  if (end == pair) return false;
  *value = v;
  return true;
}

}  // namespace

void ApplyDeviceIdentity(const DeviceIdentityRecord& identity) {
  std::memcpy(SerialString, identity.serialString, sizeof(SerialString));
  SerialNumber = identity.serialNumber;
  std::memcpy(IpString, identity.ipString, sizeof(IpString));
  IpAddress = identity.ipAddress;
  std::memcpy(MacString, identity.macString, sizeof(MacString));
  std::memcpy(MacAddress, identity.macAddress, sizeof(MacAddress));
  std::memcpy(BroadcastString, identity.broadcastString, sizeof(BroadcastString));
  BroadcastAddress = identity.broadcastAddress;
  std::memcpy(DeviceName, identity.deviceName, sizeof(DeviceName));
  std::memcpy(CidString, identity.cidString, sizeof(CidString));
  std::memcpy(SacnCid, identity.sacnCid, sizeof(SacnCid));
  BoardType = identity.boardType;
}

void ResetDeviceIdentity() { ApplyDeviceIdentity(DeviceIdentityRecord()); }

std::optional<StartupError> ParseSerialText(std::string_view text, DeviceIdentityRecord* id) {
  *id = DeviceIdentityRecord();
  LineReader lines(text, kSerialLineBuffer);
  std::string_view line;
  uint32_t lineNumber = 0;
  // Each line in turn; a missing one is named by the engine's own text.
  auto next = [&](const char* missing) -> std::optional<StartupError> {
    ++lineNumber;
    if (lines.Next(&line)) return std::nullopt;
    return StartupError{lineNumber, std::string(), missing};
  };

  if (auto e = next("Missing serial.dat (serial)")) return e;
  CopyText(id->serialString, sizeof(id->serialString), line, 8);
  id->serialNumber = static_cast<uint32_t>(std::strtol(id->serialString, nullptr, 10));

  if (auto e = next("Missing serial.dat (ip)")) return e;
  CopyText(id->ipString, sizeof(id->ipString), line, 16);
  inet_aton(id->ipString, &id->ipAddress);

  if (auto e = next("Missing serial.dat (mac)")) return e;
  CopyText(id->macString, sizeof(id->macString), line, 18);
  for (size_t k = 0; k < 6; ++k) {
    long v;
    if (ParseHexPair(id->macString, 3 * k, &v)) id->macAddress[k] = static_cast<int>(v);
  }

  if (auto e = next("Missing serial.dat (bcast)")) return e;
  CopyText(id->broadcastString, sizeof(id->broadcastString), line, 16);
  inet_aton(id->broadcastString, &id->broadcastAddress);

  if (auto e = next("Missing serial.dat (device name)")) return e;
  CopyText(id->deviceName, sizeof(id->deviceName), line, sizeof(id->deviceName) - 1);

  if (auto e = next("Missing serial.dat (sACN CID name)")) return e;
  CopyText(id->cidString, sizeof(id->cidString), line, sizeof(id->cidString) - 1);
  for (size_t k = 0; k < 16; ++k) {
    long v;
    if (ParseHexPair(id->cidString, 2 * k, &v)) id->sacnCid[k] = static_cast<uint8_t>(v);
  }

  if (auto e = next("Missing serial.dat (Board type number)")) return e;
  char board[80];
  CopyText(board, sizeof(board), line, sizeof(board) - 1);
  id->boardType = static_cast<uint8_t>(std::strtol(board, nullptr, 10));
  return std::nullopt;
}

void ReadSerialFile() {
  std::string text;
  if (!ReadWholeFile("/tmp/serial.dat", &text)) FailStartup({0, std::string(), "Missing serial.dat"});
  DeviceIdentityRecord identity;
  if (auto error = ParseSerialText(text, &identity)) FailStartup(*error);
  ApplyDeviceIdentity(identity);
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
