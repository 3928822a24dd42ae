#include "osc_control/osc_thread.h"

#include <glog/logging.h>
#include <oscpack/ip/UdpSocket.h>

#include <exception>
#include <memory>
#include <string_view>

#include "osc_control/osc_listener.h"

namespace {

// The library reports a socket it cannot open or bind by throwing; here that
// is a start-up failure like any other socket's.
std::unique_ptr<UdpListeningReceiveSocket> OpenOscSocket(ExamplePacketListener* listener) {
  try {
    return std::make_unique<UdpListeningReceiveSocket>(
        IpEndpointName(IpEndpointName::ANY_ADDRESS, kOscPort), listener);
  } catch (const std::exception& e) {
    std::string_view reason(e.what());
    while (!reason.empty() && reason.back() == '\n') reason.remove_suffix(1);
    LOG(FATAL) << "Could not bind OSC socket on port " << kOscPort << ": " << reason;
  }
  return nullptr;
}

}  // namespace

void* OscThread(void* unused) {
  (void)unused;
  VLOG(1) << "OSC Thread ";
  ExamplePacketListener listener;
  std::unique_ptr<UdpListeningReceiveSocket> socket = OpenOscSocket(&listener);
  for (;;) {
    try {
      socket->Run();
    } catch (...) {
      // Whatever left the loop, the socket stays open and listens again.
      VLOG(1) << kOscExceptionLine;
    }
  }
}
