#include <glog/logging.h>

#include "protocols/qsp_receive.h"

// RDM over QSP needs the serial ports' RDM transactions; until they are
// served here a request gets no reply, as one for a port that no stream has.
void HandleQspRdmRequest(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                         DatagramSender send) {
  (void)packet;
  (void)length;
  (void)send;
  VLOG(3) << "RDM Rqst from: " << LoggedAddressNumber(sender.sin_addr);
}
