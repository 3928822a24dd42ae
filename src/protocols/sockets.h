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

// Opens an IPv4 UDP socket with SO_BROADCAST set (and SO_REUSEADDR when
// asked), bound to `port` on every address. Each failure ends the process
// with the given text (the option failure text is the same for every socket).
int OpenBroadcastUdpSocket(uint16_t port, const char* openFailure, const char* bindFailure,
                           bool reuseAddress = false);

// Receives one datagram into `buffer`, filling `sender`; negative on error.
ssize_t ReceiveDatagram(int fd, uint8_t* buffer, size_t size, struct sockaddr_in* sender);

// Opens SacnSendSocket; a failure ends the process.
void CreateSacnSendSocket();

// Sends a whole datagram. No caller looks at the result: a reply that does
// not go out is simply not answered.
void SendDatagram(int fd, const struct sockaddr_in& to, const uint8_t* bytes, size_t length);

using DatagramHandler = void (*)(const uint8_t* packet, size_t length,
                                 const struct sockaddr_in& sender, DatagramSender send);

// Receives for ever on `fd` into a 600-byte buffer (a longer datagram is
// cut), handing every datagram long enough for a magic to `handle`, with
// `send` for its replies.
[[noreturn]] void ServeDatagrams(int fd, DatagramHandler handle, DatagramSender send);
