#pragma once
// The sockets the QSP and KiNet receivers own: each receives its protocol and
// sends that protocol's replies.
#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "protocols/datagram_sender.h"

// Opens an IPv4 UDP socket with SO_BROADCAST and SO_REUSEADDR, bound to
// `port` on every address. Each failure ends the process with the given text
// (the option failure text is the same for every socket).
int OpenReceiverSocket(uint16_t port, const char* openFailure, const char* bindFailure);

// Both receivers read into a buffer of this size; a longer datagram is cut.
constexpr size_t kReceiverBufferSize = 600;

using DatagramHandler = void (*)(const uint8_t* packet, size_t length,
                                 const struct sockaddr_in& sender, DatagramSender send);

// Receives for ever on `fd`, handing every datagram long enough for a magic
// to `handle`, with `send` for its replies.
[[noreturn]] void ServeDatagrams(int fd, DatagramHandler handle, DatagramSender send);

// Receives one datagram into `buffer`, filling `sender`; negative on error.
ssize_t ReceiveFromPeer(int fd, uint8_t* buffer, size_t size, struct sockaddr_in* sender);

// Sends a whole datagram; the result is not looked at by any caller, a
// reply that does not go out is simply not answered.
void SendToPeer(int fd, const struct sockaddr_in& to, const uint8_t* bytes, size_t length);
