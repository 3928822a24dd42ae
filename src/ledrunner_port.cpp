#include "ledrunner_port.h"

#include <glog/logging.h>

#include "support/fixed_field.h"
#include "xuart/xuart_device.h"

// Past the end of a short text a field reads as 0.
LedrunnerPort::LedrunnerPort(std::string_view text)
    : XuartPort(kStreamLedrunnerPort, static_cast<uint32_t>(ReadFixedField(text, 0, 3)),
                "Ledrunner"),
      pixelGroupSize(static_cast<uint8_t>(ReadFixedField(text, 9, 3))),
      pixelOrder(static_cast<uint32_t>(ReadFixedField(text, 6, 3))),
      stripProtocol(static_cast<uint32_t>(ReadFixedField(text, 3, 3))) {
  // The group size goes out as the raw byte, not as a number.
  VLOG(2) << "Ledrunner port " << devicePath << " LED strip protocol: " << stripProtocol
          << " Output pixel order: " << pixelOrder
          << " Pixel group size: " << static_cast<char>(pixelGroupSize);
}

int LedrunnerPort::Open() {
  VLOG(2) << "Opening Ledrunner output port " << devicePath;
  OpenDevice(false, "Couldn't create Semaphore for Ledrunner TX UART", "Failed to open Send port ");
  SetConfig(&pixelGroupSize);
  PostFrame(nullptr);
  return 1;
}

void LedrunnerPort::LogStarted(const std::string& text) const {
  LOG(INFO) << "Initialised Ledrunner PORT with " << text;
}

bool LedrunnerPort::Send(Stream& stream, SendFunction send) {
  (void)send;
  stream.LogSend();
  uint8_t frame[kLedrunnerFrameSize];
  stream.TakeForSend(frame, kLedrunnerFrameSize);
  PostFrame(frame);
  return true;
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
  return Post(pixelFrame, data, sizeof(pixelFrame), kLedrunnerFrameSize);
}

int LedrunnerPort::WriteFrame() {
  if (fd < 0) return 0;
  return Write(pixelFrame, sizeof(pixelFrame));
}
