#pragma once
// The engine's shared UDP sockets. They are opened during start-up, before
// any stream that sends on them is built, and never closed.
#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

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

// Receives one datagram into `buffer`, filling `sender`; negative on error.
ssize_t ReceiveDatagram(int fd, uint8_t* buffer, size_t size, struct sockaddr_in* sender);

// Opens SacnSendSocket; a failure ends the process.
void CreateSacnSendSocket();

// Opens ArtnetSendSocket (broadcast, UDP 5000); a failure ends the process.
void CreateArtnetSendSocket();
