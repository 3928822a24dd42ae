// QSP datagrams from anyone on the network: no read or write out of bounds,
// whatever their length fields and indexes say. "QSRD" requests run through
// to the RDM transaction on port 0.
#include <cstddef>
#include <cstdint>

#include "any_device.h"
#include "startup/config_file.h"
#include "port.h"
#include "protocols/qsp_receive.h"
#include "receiver_fuzz_support.h"
#include "stream.h"

namespace {

// An output port on a device that takes every call and answers none, built
// without its threads; the pause between transactions would only slow the
// fuzzer down.
void AddRdmPort() {
  static bool done = false;
  if (done) return;
  done = true;
  fuzz_device::AcceptEveryDeviceCall();
  DmxPort::rdmPause = [](unsigned int) {};
  uint32_t i = StreamCount.load();
  StreamTable[i] = StartConfiguredStream({1, i, kStreamPort, "000O"});
  StreamCount = i + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  SetUpReceiverFuzzing();
  AddRdmPort();
  if (size < 1) return 0;
  HandleQspPacket(bytes + 1, size - 1, FuzzSender(bytes[0]), DatagramSender(-1, ReadEveryByte));
  return 0;
}
