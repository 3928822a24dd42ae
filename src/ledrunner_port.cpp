#include "ledrunner_port.h"

#include <glog/logging.h>

#include <cstdio>
#include <cstring>

#include "fixed_field.h"
#include "port_frame_copy.h"
#include "xuart_device.h"

LedrunnerPort::~LedrunnerPort() {
  if (semaphoreReady_) sem_destroy(&txSemaphore);
}

void LedrunnerPort::Init(std::string_view text) {
  std::memset(pixelFrame, 0, sizeof(pixelFrame));
  // Past the end of a short text a field reads as 0.
  portNumber = static_cast<uint32_t>(ReadFixedField(text, 0, 3));
  stripProtocol = static_cast<uint32_t>(ReadFixedField(text, 3, 3));
  pixelOrder = static_cast<uint32_t>(ReadFixedField(text, 6, 3));
  pixelGroupSize = static_cast<uint8_t>(ReadFixedField(text, 9, 3));
  std::snprintf(devicePath, sizeof(devicePath), "/dev/xuart%d", static_cast<int>(portNumber));
  // The group size goes out as the raw byte, not as a number.
  VLOG(2) << "Ledrunner port " << devicePath << " LED strip protocol: " << stripProtocol
          << " Output pixel order: " << pixelOrder
          << " Pixel group size: " << static_cast<char>(pixelGroupSize);
  if (sem_init(&txSemaphore, 0, 0) != 0) {
    LOG(FATAL) << "Couldn't create Semaphore for Ledrunner TX UART";
  }
  semaphoreReady_ = true;
  Open();
}

int LedrunnerPort::Open() {
  VLOG(2) << "Opening Ledrunner output port " << devicePath;
  fd = XuartOpen(devicePath, false);
  if (fd < 0) LOG(FATAL) << "Failed to open Send port " << devicePath;
  SetConfig(&pixelGroupSize);
  PostFrame(nullptr);
  return 1;
}

void LedrunnerPort::SetConfig(const uint8_t* groupSize) {
  VLOG(3) << "Setting config for Ledrunner port " << devicePath;
  std::lock_guard<std::mutex> lock(mutex);
  // The call takes one byte here, but a device set up as a DMX port reads a
  // whole DmxPortParams block through the same ioctl number: it must read
  // zeros past the group size, never this port's neighbouring fields.
  uint8_t block[sizeof(DmxPortParams)] = {*groupSize};
  if (fd >= 0) XuartSetParams(fd, block, sizeof(*groupSize));
}

int LedrunnerPort::PostFrame(const uint8_t* data) {
  if (fd < 0) return 0;
  VLOG(3) << "Posting Semaphore to XUART buffer for " << devicePath
          << " bytes: " << kLedrunnerFrameSize;
  if (data != nullptr) CopyFrameBytes(pixelFrame, data, sizeof(pixelFrame));
  sem_post(&txSemaphore);
  VLOG(3) << "Post Done";
  return 1;
}

int LedrunnerPort::WriteFrame() {
  if (fd < 0) return 0;
  VLOG(3) << "Writing to XUART file " << devicePath << " bytes: " << kLedrunnerFrameSize;
  {
    std::lock_guard<std::mutex> lock(mutex);
    uint8_t frame[kLedrunnerFrameSize];
    CopyFrameBytes(frame, pixelFrame, sizeof(frame));
    XuartWrite(fd, frame, sizeof(frame));
  }
  VLOG(3) << "Writing Done";
  return 1;
}
