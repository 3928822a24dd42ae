#include "ports/xuart_port.h"

#include <glog/logging.h>

#include <cstdio>

#include "ports/port_frame_copy.h"
#include "xuart/xuart_device.h"

XuartPort::XuartPort(uint32_t streamKind, uint32_t number, const char* threadName)
    : StreamEndpoint(streamKind), portNumber(number), threadName_(threadName) {
  std::snprintf(devicePath, sizeof(devicePath), "/dev/xuart%d", static_cast<int>(portNumber));
}

XuartPort::~XuartPort() {
  if (semaphoreReady_) sem_destroy(&txSemaphore);
}

void XuartPort::OpenDevice(bool readOnly, const char* semaphoreFailure, const char* openFailure) {
  if (sem_init(&txSemaphore, 0, 0) != 0) LOG(FATAL) << semaphoreFailure;
  semaphoreReady_ = true;
  fd = XuartOpen(devicePath, readOnly);
  if (fd < 0) LOG(FATAL) << openFailure << devicePath;
}

void XuartPort::TransmitStep(uint32_t index) {
  sem_wait(&txSemaphore);
  VLOG(4) << threadName_ << " Tx Thread Sent: " << index;
  WriteFrame();
}

int XuartPort::Post(uint8_t* frame, const uint8_t* data, uint32_t length, uint32_t bytes) {
  VLOG(3) << "Posting Semaphore to XUART buffer for " << devicePath << " bytes: " << bytes;
  if (data != nullptr) CopyFrameBytes(frame, data, length);
  sem_post(&txSemaphore);
  VLOG(3) << "Post Done";
  return 1;
}

int XuartPort::Write(const uint8_t* frame, uint32_t length) {
  VLOG(3) << "Writing to XUART file " << devicePath << " bytes: " << length;
  {
    std::lock_guard<std::mutex> lock(mutex);
    uint8_t copy[kLedrunnerFrameSize];
    if (length > sizeof(copy)) length = sizeof(copy);
    CopyFrameBytes(copy, frame, length);
    XuartWrite(fd, copy, length);
  }
  VLOG(3) << "Writing Done";
  return 1;
}
