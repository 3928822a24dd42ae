#include "protocols/sockets.h"

#include <arpa/inet.h>
#include <glog/logging.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "startup/device_identity.h"

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

ReceiveBatch::ReceiveBatch(size_t slotSize, uint32_t slots)
    // Left uninitialised on purpose: zeroing would make every slot resident.
    : slotSize_(slotSize),
      bytes_(new uint8_t[slotSize * slots]),
      vectors_(slots),
      senders_(slots),
      headers_(slots) {
  for (uint32_t i = 0; i < slots; ++i) {
    vectors_[i].iov_base = bytes_.get() + i * slotSize;
    vectors_[i].iov_len = slotSize;
    headers_[i] = {};
    headers_[i].msg_hdr.msg_iov = &vectors_[i];
    headers_[i].msg_hdr.msg_iovlen = 1;
    headers_[i].msg_hdr.msg_name = &senders_[i];
  }
}

int ReceiveBatch::Receive(int fd) {
  for (auto& h : headers_) h.msg_hdr.msg_namelen = sizeof(struct sockaddr_in);
  // MSG_WAITFORONE: wait for the first, then stop at an empty queue.
  return recvmmsg(fd, headers_.data(), static_cast<unsigned int>(headers_.size()),
                  MSG_WAITFORONE, nullptr);
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
