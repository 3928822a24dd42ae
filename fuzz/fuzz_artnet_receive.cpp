// The Art-Net and jumbo receive paths over arbitrary datagrams. The first
// byte picks the port the datagram arrived on; the rest is the datagram,
// held in a buffer of exactly its length so that any read beyond it is
// caught.
#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "protocols/artnet_packets.h"
#include "protocols/artnet_receive.h"
#include "protocols/jumbo_packets.h"
#include "protocols/jumbo_receive.h"
#include "stream.h"
#include "status/unmatched_table.h"

namespace {

ssize_t Discard(int fd, const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  (void)fd;
  (void)to;
  // Touch every byte handed out: a reply assembled from unset memory shows.
  volatile uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<ssize_t>(length);
}

void SetUpOnce() {
  inet_aton("10.1.2.3", &IpAddress);
  inet_aton("10.255.255.255", &BroadcastAddress);
  std::strcpy(DeviceName, "0123456789012345678901234567890123456789");
  ProcessConfigText(
      "SA000255255255255I\n"
      "SA001255255255255I\n"
      "SA258010000000009O\n"
      "SA002255255255255I\n"
      "SA001255255255255I\n"
      "V\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (SetUpOnce(), true);
  (void)ready;
  if (size == 0) return 0;
  std::vector<uint8_t> datagram(data + 1, data + size);
  struct sockaddr_in sender = {};
  sender.sin_family = AF_INET;
  sender.sin_addr.s_addr = htonl(0x0A000009);
  if (data[0] & 1) {
    if (datagram.size() > kJumboBufferSize) datagram.resize(kJumboBufferSize);
    HandleJumboFrame(datagram.data(), datagram.size(), sender, DatagramSender(-1, Discard));
  } else {
    if (datagram.size() > kArtnetReceiveBufferSize) datagram.resize(kArtnetReceiveBufferSize);
    HandleArtnetPacket(datagram.data(), datagram.size(), sender, DatagramSender(-1, Discard));
  }
  ClearUnmatchedTable();
  return 0;
}
