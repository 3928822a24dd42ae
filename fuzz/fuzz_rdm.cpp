// RDM from both ends: "QSRD" datagrams from anyone on the network run on a
// port whose line holds simulated responders (faulty ones and a wired-AND
// line included), and raw bytes as a port or a responder may receive them.
// No read or write out of bounds, and every discovery ends.
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "port.h"
#include "protocols/qsp_rdm_packets.h"
#include "protocols/qsp_receive.h"
#include "protocols/rdm_packets.h"
#include "rdm_responder.h"
#include "receiver_fuzz_support.h"
#include "stream.h"
#include "xuart/xuart_device.h"

namespace {

constexpr int kFakeDescriptor = 1000;

xuart_sim::ResponderLine& Line() {
  static xuart_sim::ResponderLine line;
  return line;
}

int FakeOpen(const char*, int) { return kFakeDescriptor; }
ssize_t FakeWrite(int, const void*, size_t length) { return static_cast<ssize_t>(length); }
ssize_t FakeRead(int, void*, size_t) { return 0; }

int FakeIoctl(int, unsigned long request, void* argument, size_t) {
  if (request != XUART_IOC_RDM) return 0;
  auto* block = static_cast<XuartRdmBlock*>(argument);
  size_t length = block->requestLength <= sizeof(block->request) ? block->requestLength : 0;
  block->responseLength = static_cast<uint16_t>(
      Line().Transact(block->request, length, block->response, sizeof(block->response)));
  return 1;
}

const XuartBackend kBackend = {FakeOpen, FakeWrite, FakeRead, FakeIoctl};

// Port 0 as an output on a busy line, port 1 as an input.
void SetUp() {
  static bool done = false;
  if (done) return;
  done = true;
  const char* conf[] = {
      "collisions and",
      "responder 4a5b00000001 label=Par",
      "responder 4a5b00000002",
      "responder 4a5b00000003 fault=nomute",
      "responder 4a5b80000000 fault=badsum",
      "responder 000000000007 fault=short preamble=0",
  };
  for (const char* line : conf) Line().Configure(line);
  SetXuartBackendForTesting(&kBackend);
  DmxPort::rdmPause = [](unsigned int) {};
  StreamTable[0] = StartConfiguredStream({1, 0, kStreamPort, "000O"});
  StreamTable[1] = StartConfiguredStream({2, 1, kStreamPort, "001I"});
  StreamCount = 2;
}

template <typename T>
void ReadAll(const T* p, size_t n) {
  volatile uint8_t sink = 0;
  for (size_t i = 0; i < n; ++i) sink = sink ^ static_cast<uint8_t>(p[i]);
}

}  // namespace

// Every RDM SET prints its response line on standard output; at fuzzing
// speed that is gigabytes of one line, so it goes nowhere here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  SetUp();
  if (size < 1) return 0;
  const uint8_t* p = bytes + 1;
  size_t n = size - 1;
  switch (bytes[0] % 3) {
    case 0: {
      // A request: the magic is given, the rest is the fuzzer's.
      uint8_t packet[600] = {'Q', 'S', 'R', 'D'};
      size_t length = 4 + (n < sizeof(packet) - 4 ? n : sizeof(packet) - 4);
      std::memcpy(packet + 4, p, length - 4);
      HandleQspRdmRequest(packet, length, FuzzSender(bytes[0]), DatagramSender(-1, ReadEveryByte));
      break;
    }
    case 1: {
      RdmUid uid;
      DecodeDubReply(p, n, &uid);
      IsConfirmedMuteReply(p, n);
      RdmResponse response;
      if (ParseRdmResponse(p, n, &response)) ReadAll(response.data, response.pdl);
      RdmMessage message;
      if (ParseRdmFrame(p, n, &message)) ReadAll(message.data, message.pdl);
      break;
    }
    default: {
      uint8_t reply[kRdmMaxFrameSize];
      size_t got = Line().Transact(p, n, reply, sizeof(reply));
      ReadAll(reply, got);
      break;
    }
  }
  return 0;
}
