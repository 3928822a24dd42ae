#pragma once
// Who the device is, read once from /tmp/serial.dat before any other thread
// exists and read without a lock afterwards.
#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "protocols/node_identity.h"
#include "support/startup_error.h"

extern char SerialString[20];
extern uint32_t SerialNumber;
extern char IpString[20];
extern struct in_addr IpAddress;  // network byte order
extern char MacString[20];
extern int MacAddress[6];
extern char BroadcastString[24];
extern struct in_addr BroadcastAddress;  // network byte order
extern char DeviceName[80];
extern char CidString[80];
extern uint8_t SacnCid[16];
extern uint8_t BoardType;

// The identity as the file gives it, before it becomes the globals above.
struct DeviceIdentityRecord {
  char serialString[sizeof(SerialString)] = {};
  uint32_t serialNumber = 0;
  char ipString[sizeof(IpString)] = {};
  struct in_addr ipAddress = {};
  char macString[sizeof(MacString)] = {};
  int macAddress[6] = {};
  char broadcastString[sizeof(BroadcastString)] = {};
  struct in_addr broadcastAddress = {};
  char deviceName[sizeof(DeviceName)] = {};
  char cidString[sizeof(CidString)] = {};
  uint8_t sacnCid[sizeof(SacnCid)] = {};
  uint8_t boardType = 0;
};

// Reads /tmp/serial.dat; a missing file or line ends the process.
void ReadSerialFile();

// The identity in the file's text, or the error naming the first missing
// line. Touches no global.
std::optional<StartupError> ParseSerialText(std::string_view text,
                                            DeviceIdentityRecord* identity);

// Makes the record the device's identity.
void ApplyDeviceIdentity(const DeviceIdentityRecord& identity);

// Back to the all-zero state of process start.
void ResetDeviceIdentity();

// The identity as the reply builders take it.
NodeIdentity CurrentNodeIdentity();
