#include "protocols/artnet_thread.h"

#include <semaphore.h>

#include "config_file.h"
#include "protocols/artnet_packets.h"
#include "protocols/artnet_receive.h"
#include "protocols/sockets.h"

namespace {

void SendFromArtnetSocket(const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  SendDatagram(ArtnetRxSocket, to, bytes, length);
}

}  // namespace

void CreateArtnetRxSocket() {
  ArtnetRxSocket = OpenBroadcastUdpSocket(kArtnetPort, "Could not open artnet socket",
                                          "Failed to bind artnet server socket");
}

void CreateArtnetSendSocket() {
  ArtnetSendSocket = OpenBroadcastUdpSocket(5000, "Could not open artnet socket",
                                            "Failed to bind artnet send server socket");
}

void* ArtnetThread(void* unused) {
  (void)unused;
  // Art-Net input is taken only once every stream and rule exists.
  sem_wait(&ConfigSemaphore);
  uint8_t buffer[kArtnetReceiveBufferSize];
  for (;;) {
    struct sockaddr_in sender;
    ssize_t n = ReceiveDatagram(ArtnetRxSocket, buffer, sizeof(buffer), &sender);
    if (n >= 0) HandleArtnetPacket(buffer, static_cast<size_t>(n), &sender, SendFromArtnetSocket);
  }
}
