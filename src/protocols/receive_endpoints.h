#pragma once
// Every UDP port the engine receives on, in one table: the port, the receive
// buffer and the handler of each. The receiver threads set their socket up
// and then all run the same receive loop over their row.
#include <cstdint>

#include "protocols/datagram_sender.h"

struct ReceiveEndpoint {
  int* socket;  // the process-wide descriptor the endpoint is served on
  uint16_t port;
  uint32_t bufferSize;  // a longer datagram arrives cut to this
  DatagramHandler handle;
  const char* openFailure;
  const char* bindFailure;
  bool reuseAddress;
};

enum EndpointId : uint32_t {
  kArtnetEndpoint,
  kQspEndpoint,
  kJumboEndpoint,
  kKinetEndpoint,
  kSacnEndpoint,
  kEndpointCount,
};

extern const ReceiveEndpoint ReceiveEndpoints[kEndpointCount];

// Opens the endpoint's socket into its descriptor: IPv4 UDP with
// SO_BROADCAST (and SO_REUSEADDR when the row asks), bound to its port on
// every address. Each failure ends the process with the row's text.
void OpenEndpointSocket(const ReceiveEndpoint& endpoint);

// Receives for ever on the endpoint's socket, one datagram at a time, and
// hands each to its handler with a sender on the same socket. A failed
// receive is dropped.
[[noreturn]] void ServeEndpoint(const ReceiveEndpoint& endpoint);

// Opens ArtnetRxSocket. Called by main before the configuration is read:
// every network stream takes the descriptor as its send socket.
void CreateArtnetRxSocket();

// Thread bodies, started by main; none returns.
// Waits once for the configuration, then serves Art-Net.
void* ArtnetThread(void* unused);
void* QspThread(void* unused);
// Started before the configuration is read and does not wait for it.
void* JumboThread(void* unused);
void* KinetThread(void* unused);
// Started once the streams exist: joins the group of every input universe.
void* SacnThread(void* unused);
