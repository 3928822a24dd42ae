#pragma once
// Who the device is, read once from /tmp/serial.dat before any other thread
// exists and read without a lock afterwards.
#include <netinet/in.h>

#include <cstdint>
#include <string_view>

#include "protocols/node_identity.h"

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

// Reads /tmp/serial.dat; a missing file or line ends the process.
void ReadSerialFile();

// Fills the identity globals from the file's text. Returns nullptr when all
// seven lines were there, else the fatal message naming the missing line.
const char* ParseSerialText(std::string_view text);

// Back to the all-zero state of process start (tests).
void ResetDeviceIdentity();

// The identity as the reply builders take it.
NodeIdentity CurrentNodeIdentity();
