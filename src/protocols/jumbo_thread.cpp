#include "protocols/jumbo_thread.h"

#include <sys/socket.h>

#include "protocols/artnet_receive.h"
#include "protocols/jumbo_packets.h"
#include "protocols/sockets.h"

int JumboSocket = -1;

void* JumboThread(void* unused) {
  (void)unused;
  JumboSocket = OpenBroadcastUdpSocket(kJumboPort, "Could not open jumbo socket",
                                       "Failed to bind jumbo  server socket");  // two blanks, as logged
  uint8_t buffer[kJumboBufferSize];
  for (;;) {
    struct sockaddr_in sender;
    ssize_t n = ReceiveDatagram(JumboSocket, buffer, sizeof(buffer), &sender);
    if (n >= 0) HandleJumboFrame(buffer, static_cast<size_t>(n), sender.sin_addr);
  }
}
