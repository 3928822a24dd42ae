#include "ledrunner_port.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "fixed_field.h"

LedrunnerPort::LedrunnerPort() { sem_init(&txSemaphore, 0, 0); }

LedrunnerPort::~LedrunnerPort() { sem_destroy(&txSemaphore); }

void LedrunnerPort::Init(std::string_view text) {
  portNumber = static_cast<uint32_t>(ReadFixedField(text, 0, 3));
  stripProtocol = static_cast<uint32_t>(ReadFixedField(text, 3, 3));
  pixelOrder = static_cast<uint32_t>(ReadFixedField(text, 6, 3));
  pixelGroupSize = static_cast<uint8_t>(ReadFixedField(text, 9, 3));
  std::snprintf(devicePath, sizeof(devicePath), "/dev/xuart%d", static_cast<int>(portNumber));
  std::memset(pixelFrame, 0, sizeof(pixelFrame));
}

int LedrunnerPort::PostFrame(const uint8_t* data) {
  if (fd < 0) return 0;
  std::memcpy(pixelFrame, data, sizeof(pixelFrame));
  sem_post(&txSemaphore);
  return 1;
}

int LedrunnerPort::WriteFrame() {
  if (fd < 0) return 0;
  std::lock_guard<std::mutex> lock(mutex);
  ssize_t written = write(fd, pixelFrame, sizeof(pixelFrame));
  (void)written;
  return 1;
}
