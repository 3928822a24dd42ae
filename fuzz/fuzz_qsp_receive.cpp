// QSP datagrams from anyone on the network: no read or write out of bounds,
// whatever their length fields and indexes say.
#include <cstddef>
#include <cstdint>

#include "protocols/qsp_receive.h"
#include "receiver_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  SetUpReceiverFuzzing();
  if (size < 1) return 0;
  HandleQspPacket(bytes + 1, size - 1, FuzzSender(bytes[0]), DatagramSender(-1, ReadEveryByte));
  return 0;
}
