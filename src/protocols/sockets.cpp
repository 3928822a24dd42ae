#include "protocols/sockets.h"

#include <arpa/inet.h>
#include <glog/logging.h>
#include <sys/socket.h>

#include <cstdint>

#include "device_identity.h"

int ArtnetRxSocket = -1;
int ArtnetSendSocket = -1;
int SacnSendSocket = -1;

void CreateSacnSendSocket() {
  SacnSendSocket = socket(AF_INET, SOCK_DGRAM, 0);
  if (SacnSendSocket < 0) LOG(FATAL) << "Could not open sACN send socket";
  uint8_t loop = 0;
  if (setsockopt(SacnSendSocket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop)) < 0) {
    LOG(FATAL) << "setting IP_MULTICAST_LOOP:";
  }
  struct in_addr local;
  local.s_addr = inet_addr(IpString);
  if (setsockopt(SacnSendSocket, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof(local)) < 0) {
    LOG(FATAL) << "ssetting local interface";  // sic: the text is matched as it is
  }
}
