#include "port_threads/port_threads.h"

#include <glog/logging.h>
#include <unistd.h>

#include "ledrunner_port.h"
#include "port.h"
#include "stream.h"

namespace {

uint32_t IndexOf(void* arg) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg)); }

// A device with nothing to give is asked again after this long.
constexpr useconds_t kRxPollMicros = 500;

XuartPort& PortOf(Stream& stream) {
  if (DmxPort* port = stream.As<DmxPort>()) return *port;
  return *stream.As<LedrunnerPort>();
}

}  // namespace

bool HandleReceivedDmxFrame(Stream* stream, const unsigned char* frame, int count) {
  if (count < 1 || frame[0] != 0) return false;
  VLOG(3) << "Got DMX RX frame on " << stream->id << " bytes: " << count;
  // Slots behind the start code; a short frame hands over only its own.
  stream->Write(frame + 1, static_cast<uint32_t>(count - 1), 1);
  return true;
}

void PortTxStep(uint32_t index) { PortOf(*StreamTable[index]).TransmitStep(index); }

bool DmxRxStep(uint32_t index, uint8_t* frame) {
  Stream* stream = StreamTable[index];
  VLOG(4) << "DMX Rx Thread:" << index;
  int n = stream->As<DmxPort>()->ReadFrame(frame);
  return HandleReceivedDmxFrame(stream, frame, n);
}

namespace {

void* PortTxLoop(void* arg) {
  uint32_t index = IndexOf(arg);
  for (;;) PortTxStep(index);
  return nullptr;
}

}  // namespace

void* DmxTxThread(void* index) { return PortTxLoop(index); }
void* LedrunnerTxThread(void* index) { return PortTxLoop(index); }

void* DmxRxThread(void* arg) {
  uint32_t index = IndexOf(arg);
  uint8_t frame[kDmxFrameSlots];
  for (;;) {
    // RDM and other alternate start codes are not channel data.
    if (!DmxRxStep(index, frame)) usleep(kRxPollMicros);
  }
  return nullptr;
}
