#pragma once
// The engine's shared UDP sockets. They are opened during start-up, before
// any stream that sends on them is built, and never closed.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "protocols/datagram_sender.h"

// UDP 6454: receives Art-Net and is the send socket of every Art-Net and QSP
// stream and of the Art-Net replies, so those datagrams leave from port 6454.
extern int ArtnetRxSocket;
// Broadcast socket bound to UDP 5000.
extern int ArtnetSendSocket;
// Unbound; multicast loop off, multicast interface the device's address.
extern int SacnSendSocket;
// UDP 5568; receives every group the engine joins.
extern int SacnRxSocket;
// UDP 3333: receives every QSP packet and sends every QSP reply.
extern int QspSocket;
// UDP 3332: jumbo frames; nothing is sent from it.
extern int JumboSocket;
// UDP 6038: receives every KiNet packet and sends both discovery replies.
extern int KinetSocket;

// Opens an IPv4 UDP socket with SO_BROADCAST set (and SO_REUSEADDR when
// asked), bound to `port` on every address. Each failure ends the process
// with the given text (the option failure text is the same for every socket).
int OpenBroadcastUdpSocket(uint16_t port, const char* openFailure, const char* bindFailure,
                           bool reuseAddress = false);

// Room for what one receive takes: `slots` datagrams of up to `slotSize`
// bytes each, with their lengths and senders. Everything is set up here, so
// receiving allocates nothing; a slot's pages are touched only when a
// datagram lands in them.
class ReceiveBatch {
 public:
  // Enough for a burst of one frame on every universe of a large show to be
  // taken by a handful of receives.
  static constexpr uint32_t kDefaultSlots = 64;

  explicit ReceiveBatch(size_t slotSize, uint32_t slots = kDefaultSlots);

  // Blocks until a datagram arrives, then takes every datagram already
  // queued, up to the slot count, in arrival order: one system call however
  // many are waiting. A datagram longer than a slot arrives cut to it.
  // Returns how many were taken; negative on error.
  int Receive(int fd);

  const uint8_t* Bytes(uint32_t i) const { return bytes_.get() + i * slotSize_; }
  size_t Length(uint32_t i) const { return headers_[i].msg_len; }
  const struct sockaddr_in& Sender(uint32_t i) const { return senders_[i]; }
  uint32_t Slots() const { return static_cast<uint32_t>(headers_.size()); }

 private:
  size_t slotSize_;
  std::unique_ptr<uint8_t[]> bytes_;
  std::vector<struct iovec> vectors_;
  std::vector<struct sockaddr_in> senders_;
  std::vector<struct mmsghdr> headers_;
};

// Opens SacnSendSocket; a failure ends the process.
void CreateSacnSendSocket();

// Opens ArtnetSendSocket (broadcast, UDP 5000); a failure ends the process.
void CreateArtnetSendSocket();
