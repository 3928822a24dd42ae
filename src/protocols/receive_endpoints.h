#pragma once
// Every UDP port the engine receives on, in one table: the port, the receive
// buffer and the handler of each. The receiver threads set their socket up
// and then all run the same receive loop over their row.
#include <cstdint>

#include "protocols/datagram_sender.h"
#include "protocols/sockets.h"

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

// One wake of a receive thread: blocks for the first datagram on the
// endpoint's socket, takes every one already queued into `batch`, and hands
// each to the handler in arrival order, with its own length and sender and
// a reply sender on the same socket. Returns how many were handled; a failed
// receive handles none.
uint32_t ServeBatch(const ReceiveEndpoint& endpoint, ReceiveBatch& batch, DatagramSender reply);

// Serves the endpoint for ever, one batch per wake.
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
