#include "protocols/kinet_thread.h"

#include <glog/logging.h>

#include "protocols/kinet_packets.h"
#include "protocols/kinet_receive.h"
#include "protocols/sockets.h"

int KinetSocket = -1;

namespace {

void SendFromKinetSocket(const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  SendDatagram(KinetSocket, to, bytes, length);
}

}  // namespace

void* KinetThread(void* unused) {
  (void)unused;
  KinetSocket = OpenBroadcastUdpSocket(kKinetPort, "Could not open kinet socket",
                                       "Failed to bind Kinet server socket", true);
  VLOG(1) << "Kinet Socket Created, waiting for connections ... ";
  ServeDatagrams(KinetSocket, HandleKinetPacket, SendFromKinetSocket);
}
