#include "protocols/receive_endpoints.h"

#include <glog/logging.h>
#include <semaphore.h>

#include "startup/config_file.h"
#include "protocols/artnet_packets.h"
#include "protocols/artnet_receive.h"
#include "protocols/jumbo_packets.h"
#include "protocols/jumbo_receive.h"
#include "protocols/kinet_packets.h"
#include "protocols/kinet_receive.h"
#include "protocols/qsp_packets.h"
#include "protocols/qsp_receive.h"
#include "protocols/sacn_groups.h"
#include "protocols/sacn_packets.h"
#include "protocols/sacn_receive.h"
#include "protocols/sockets.h"

// The texts are matched by the front end as they stand, the two blanks of
// the jumbo one included.
const ReceiveEndpoint ReceiveEndpoints[kEndpointCount] = {
    {&ArtnetRxSocket, kArtnetPort, kArtnetReceiveBufferSize, HandleArtnetPacket,
     "Could not open artnet socket", "Failed to bind artnet server socket", false},
    {&QspSocket, kQspPort, kQspReceiveBufferSize, HandleQspPacket, "Could not open qsp socket",
     "Failed to bind QSP server socket", true},
    {&JumboSocket, kJumboPort, kJumboBufferSize, HandleJumboFrame, "Could not open jumbo socket",
     "Failed to bind jumbo  server socket", false},
    {&KinetSocket, kKinetPort, kKinetReceiveBufferSize, HandleKinetPacket,
     "Could not open kinet socket", "Failed to bind Kinet server socket", true},
    {&SacnRxSocket, kSacnPort, kSacnDataPacketSize, HandleSacnDatagram,
     "Could not open sACN socket", "Failed to bind sACN server socket", false},
};

void OpenEndpointSocket(const ReceiveEndpoint& endpoint) {
  *endpoint.socket = OpenBroadcastUdpSocket(endpoint.port, endpoint.openFailure,
                                            endpoint.bindFailure, endpoint.reuseAddress);
}

uint32_t ServeBatch(const ReceiveEndpoint& endpoint, ReceiveBatch& batch, DatagramSender reply) {
  int taken = batch.Receive(*endpoint.socket);
  if (taken <= 0) return 0;
  const uint32_t count = static_cast<uint32_t>(taken);
  for (uint32_t i = 0; i < count; ++i) {
    endpoint.handle(batch.Bytes(i), batch.Length(i), batch.Sender(i), reply);
  }
  return count;
}

void ServeEndpoint(const ReceiveEndpoint& endpoint) {
  const DatagramSender reply(*endpoint.socket, SendDatagram);
  ReceiveBatch batch(endpoint.bufferSize);
  for (;;) ServeBatch(endpoint, batch, reply);
}

namespace {

// The start of every receiver but Art-Net's, whose socket main opens early:
// the socket, the endpoint's own set-up when it has one, the ready line when
// it has one, then the receive loop.
[[noreturn]] void OpenAndServe(EndpointId id, void (*setUp)(int fd), const char* ready) {
  const ReceiveEndpoint& endpoint = ReceiveEndpoints[id];
  OpenEndpointSocket(endpoint);
  if (setUp != nullptr) setUp(*endpoint.socket);
  if (ready != nullptr) VLOG(1) << ready;
  ServeEndpoint(endpoint);
}

}  // namespace

void CreateArtnetRxSocket() { OpenEndpointSocket(ReceiveEndpoints[kArtnetEndpoint]); }

void* ArtnetThread(void* unused) {
  (void)unused;
  // Art-Net input is taken only once every stream and rule exists.
  sem_wait(&ConfigSemaphore);
  ServeEndpoint(ReceiveEndpoints[kArtnetEndpoint]);
}

void* QspThread(void* unused) {
  (void)unused;
  OpenAndServe(kQspEndpoint, nullptr, "QSP Socket Created, waiting for connections ... ");
}

void* JumboThread(void* unused) {
  (void)unused;
  OpenAndServe(kJumboEndpoint, nullptr, nullptr);
}

void* KinetThread(void* unused) {
  (void)unused;
  OpenAndServe(kKinetEndpoint, nullptr, "Kinet Socket Created, waiting for connections ... ");
}

void* SacnThread(void* unused) {
  (void)unused;
  OpenAndServe(kSacnEndpoint, JoinSacnInputGroups, "sACN receiver ready");
}
