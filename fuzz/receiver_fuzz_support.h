#pragma once
// A small stream table and identity shared by the receiver fuzzers, built
// once, and a sender that reads every byte it is handed.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "protocols/datagram_sender.h"
#include "stream.h"

inline void SetUpReceiverFuzzing() {
  static bool done = false;
  if (done) return;
  done = true;
  inet_aton("10.1.2.3", &IpAddress);
  std::strcpy(DeviceName, "Fuzzed gateway name");
  ProcessConfigText(
      "SE000000000000000I\n"
      "SE001000000000000I\n"
      "SE001000000000000O\n"
      "SE255000000000000I\n"
      "V\n"
      "SK000000000000001000000000000I\n"
      "SK001000000000001000000000000I\n"
      "SK001000000000001000000000000O\n"
      "C000\n");
}

// The first input byte picks the sender: odd is the device itself.
inline struct sockaddr_in FuzzSender(uint8_t pick) {
  struct sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(40000 + pick));
  inet_aton((pick & 1) != 0 ? "10.1.2.3" : "10.1.2.9", &a.sin_addr);
  return a;
}

inline ssize_t ReadEveryByte(int fd, const struct sockaddr_in& to, const uint8_t* bytes,
                             size_t length) {
  (void)fd;
  (void)to;
  volatile uint8_t sink = 0;
  for (size_t i = 0; i < length; ++i) sink = sink ^ bytes[i];
  return static_cast<ssize_t>(length);
}
