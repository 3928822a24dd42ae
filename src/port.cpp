#include "port.h"

#include <glog/logging.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "device_identity.h"
#include "fixed_field.h"

DmxPort::DmxPort() { sem_init(&txSemaphore, 0, 0); }

DmxPort::~DmxPort() { sem_destroy(&txSemaphore); }

void DmxPort::Init(std::string_view text) {
  configText.assign(text.data(), text.size());
  portNumber = static_cast<uint32_t>(ReadFixedField(text, 0, 3));
  input = FixedCharAt(text, 3) == 'I' ? 1 : 0;
  std::snprintf(devicePath, sizeof(devicePath), "/dev/xuart%d", static_cast<int>(portNumber));
  std::memset(txFrame, 0, sizeof(txFrame));
  ownUid.bytes[0] = 'W';
  ownUid.bytes[1] = 'K';
  ownUid.bytes[2] = static_cast<uint8_t>(SerialNumber >> 24);
  ownUid.bytes[3] = static_cast<uint8_t>(SerialNumber >> 16);
  ownUid.bytes[4] = static_cast<uint8_t>(SerialNumber >> 8);
  ownUid.bytes[5] = static_cast<uint8_t>(SerialNumber);
}

void DmxPort::SetParams(const DmxPortParams& block) {
  if (fd < 0) return;
  std::lock_guard<std::mutex> lock(mutex);
  ioctl(fd, XUART_IOC_SET_PARAMS, &block);
}

int DmxPort::PostFrame(const uint8_t* data) {
  if (input == 1 || fd < 0) return 0;
  if (data != nullptr) {
    uint32_t slots = channels > 1 && channels <= 513 ? channels - 1 : 512;
    std::memcpy(txFrame + 1, data, slots);
  }
  sem_post(&txSemaphore);
  return 1;
}

int DmxPort::WriteFrame() {
  if (input == 1 || fd < 0) return 0;
  uint32_t count = channels <= sizeof(txFrame) ? channels : sizeof(txFrame);
  std::lock_guard<std::mutex> lock(mutex);
  ssize_t written = write(fd, txFrame, count);
  (void)written;
  return 1;
}

int DmxPort::ReadFrame(uint8_t* buffer) {
  if (input != 1 || fd < 0) return 0;
  std::lock_guard<std::mutex> lock(mutex);
  lastRxCount = static_cast<int32_t>(read(fd, buffer, 513));
  return lastRxCount;
}
