#include "protocols/qsp_thread.h"

#include <glog/logging.h>

#include "protocols/qsp_packets.h"
#include "protocols/qsp_receive.h"
#include "protocols/sockets.h"

int QspSocket = -1;

namespace {

void SendFromQspSocket(const struct sockaddr_in& to, const uint8_t* bytes, size_t length) {
  SendDatagram(QspSocket, to, bytes, length);
}

}  // namespace

void* QspThread(void* unused) {
  (void)unused;
  QspSocket = OpenBroadcastUdpSocket(kQspPort, "Could not open qsp socket",
                                     "Failed to bind QSP server socket", true);
  VLOG(1) << "QSP Socket Created, waiting for connections ... ";
  ServeDatagrams(QspSocket, HandleQspPacket, SendFromQspSocket);
}
