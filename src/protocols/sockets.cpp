#include "protocols/sockets.h"

#include <arpa/inet.h>
#include <glog/logging.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "device_identity.h"

int ArtnetRxSocket = -1;
int ArtnetSendSocket = -1;
int SacnSendSocket = -1;
int SacnRxSocket = -1;
int QspSocket = -1;
int JumboSocket = -1;
int KinetSocket = -1;

int OpenBroadcastUdpSocket(uint16_t port, const char* openFailure, const char* bindFailure,
                           bool reuseAddress) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) LOG(FATAL) << openFailure;
  int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
    LOG(FATAL) << "Cannot set options on broadcast socket";
  }
  if (reuseAddress && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) {
    LOG(FATAL) << "Cannot set options on broadcast socket";
  }
  struct sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    LOG(FATAL) << bindFailure;
  }
  return fd;
}

ssize_t ReceiveDatagram(int fd, uint8_t* buffer, size_t size, struct sockaddr_in* sender) {
  *sender = {};
  socklen_t senderLength = sizeof(*sender);
  return recvfrom(fd, buffer, size, MSG_WAITALL, reinterpret_cast<sockaddr*>(sender),
                  &senderLength);
}

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

void CreateArtnetSendSocket() {
  ArtnetSendSocket = OpenBroadcastUdpSocket(5000, "Could not open artnet socket",
                                            "Failed to bind artnet send server socket");
}

ssize_t SendDatagram(int fd, const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  return sendto(fd, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}
