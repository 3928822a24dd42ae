#pragma once
// What the serial DMX and LED pixel ports share: one of the board's
// "/dev/xuart%d" devices and a transmit thread, woken by a semaphore, that
// writes the frame last posted to it.
#include <semaphore.h>

#include <cstdint>
#include <mutex>

#include "streams/stream_endpoint.h"

class XuartPort : public StreamEndpoint {
 public:
  ~XuartPort() override;

  // Transmit thread, one turn: waits for a posted frame, then writes it.
  void TransmitStep(uint32_t index);
  // Transmit thread: writes the frame. 0 when there is nothing to write.
  virtual int WriteFrame() = 0;

  uint32_t portNumber = 0;
  sem_t txSemaphore;
  char devicePath[80] = {};
  int fd = -1;
  std::mutex mutex;

 protected:
  // `threadName` starts the transmit thread's trace line.
  XuartPort(uint32_t streamKind, uint32_t number, const char* threadName);

  // Start-up: the transmit semaphore, then the device. Failing either ends
  // the process with its text (the device's followed by its path).
  void OpenDevice(bool readOnly, const char* semaphoreFailure, const char* openFailure);
  // Copies `length` bytes of `data` (none: the frame stays as it is) into
  // `frame` and wakes the transmit thread; `bytes` is what the trace says.
  int Post(uint8_t* frame, const uint8_t* data, uint32_t length, uint32_t bytes);
  // Writes `length` bytes of `frame` to the device under the mutex.
  int Write(const uint8_t* frame, uint32_t length);

 private:
  const char* threadName_;
  bool semaphoreReady_ = false;
};
