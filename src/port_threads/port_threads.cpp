#include "port_threads/port_threads.h"

#include <glog/logging.h>
#include <unistd.h>

#include <cstdint>

#include "stream.h"

namespace {
uint32_t IndexOf(void* arg) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg)); }
}  // namespace

bool HandleReceivedDmxFrame(Stream* stream, const unsigned char* frame, int count) {
  if (count < 1 || frame[0] != 0) return false;
  VLOG(3) << "Got DMX RX frame on " << stream->id << " bytes: " << count;
  // Slots behind the start code; a short frame hands over only its own.
  stream->Write(frame + 1, static_cast<uint32_t>(count - 1), 1);
  return true;
}

void* DmxTxThread(void* arg) {
  uint32_t index = IndexOf(arg);
  for (;;) {
    Stream* stream = StreamTable[index];
    sem_wait(&stream->dmxPort.txSemaphore);
    VLOG(4) << "DMX Tx Thread Sent: " << index;
    stream->dmxPort.WriteFrame();
  }
  return nullptr;
}

void* LedrunnerTxThread(void* arg) {
  uint32_t index = IndexOf(arg);
  for (;;) {
    Stream* stream = StreamTable[index];
    sem_wait(&stream->ledrunnerPort.txSemaphore);
    VLOG(4) << "Ledrunner Tx Thread Sent: " << index;
    stream->ledrunnerPort.WriteFrame();
  }
  return nullptr;
}

void* DmxRxThread(void* arg) {
  uint32_t index = IndexOf(arg);
  unsigned char frame[513];
  for (;;) {
    Stream* stream = StreamTable[index];
    VLOG(4) << "DMX Rx Thread:" << index;
    int n = stream->dmxPort.ReadFrame(frame);
    if (HandleReceivedDmxFrame(stream, frame, n)) continue;
    usleep(500);
  }
  return nullptr;
}
