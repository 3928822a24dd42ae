#include "driver.h"

#include <cerrno>
#include <ctime>

#include "line_format.h"

namespace xuart_sim {

Driver::Driver(std::string folder, Hooks hooks, Descriptors descriptors)
    : folder_(std::move(folder)), hooks_(std::move(hooks)), descriptors_(std::move(descriptors)) {}

Driver::~Driver() {
  for (int fd = 0; fd < kMaxDescriptors; ++fd) {
    if (Find(fd) != nullptr) Close(fd);
  }
}

Device* Driver::Find(int fd) const {
  if (fd < 0 || fd >= kMaxDescriptors) return nullptr;
  return devices_[fd].load(std::memory_order_acquire);
}

bool Driver::Owns(int fd) const { return Find(fd) != nullptr; }

int Driver::Open(const char* path, int flags) {
  int port = DevicePort(path);
  if (port < 0) {
    errno = ENOENT;
    return -1;
  }
  std::lock_guard<std::mutex> lock(openClose_);
  int fd = descriptors_.take();
  if (fd < 0) return -1;
  if (fd >= kMaxDescriptors) {
    descriptors_.give(fd);
    errno = EMFILE;
    return -1;
  }
  std::unique_ptr<Device> device = Device::Open(folder_, port, flags, hooks_);
  if (device == nullptr) {
    int error = errno;
    descriptors_.give(fd);
    errno = error;
    return -1;
  }
  devices_[fd].store(device.release(), std::memory_order_release);
  return fd;
}

ssize_t Driver::Read(int fd, void* buffer, size_t capacity) {
  Device* device = Find(fd);
  if (device == nullptr) {
    errno = EBADF;
    return -1;
  }
  return device->Read(static_cast<uint8_t*>(buffer), capacity);
}

ssize_t Driver::Write(int fd, const void* bytes, size_t length) {
  Device* device = Find(fd);
  if (device == nullptr) {
    errno = EBADF;
    return -1;
  }
  return device->Write(static_cast<const uint8_t*>(bytes), length);
}

int Driver::Ioctl(int fd, unsigned long request, void* argument, size_t length) {
  Device* device = Find(fd);
  if (device == nullptr) {
    errno = EBADF;
    return -1;
  }
  return device->Ioctl(request, argument, length);
}

int Driver::Close(int fd) {
  std::lock_guard<std::mutex> lock(openClose_);
  Device* device = fd >= 0 && fd < kMaxDescriptors
                       ? devices_[fd].exchange(nullptr, std::memory_order_acq_rel)
                       : nullptr;
  if (device == nullptr) {
    errno = EBADF;
    return -1;
  }
  delete device;
  descriptors_.give(fd);
  return 0;
}

uint64_t MonotonicMicros() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

void SleepMicros(uint64_t micros) {
  timespec wait;
  wait.tv_sec = static_cast<time_t>(micros / 1000000u);
  wait.tv_nsec = static_cast<long>(micros % 1000000u) * 1000;
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
  }
}

}  // namespace xuart_sim
