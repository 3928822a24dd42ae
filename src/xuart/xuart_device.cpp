#include "xuart/xuart_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

namespace {

int SystemOpen(const char* path, int flags) { return ::open(path, flags); }
ssize_t SystemWrite(int fd, const void* bytes, size_t length) { return ::write(fd, bytes, length); }
ssize_t SystemRead(int fd, void* buffer, size_t capacity) { return ::read(fd, buffer, capacity); }
int SystemIoctl(int fd, unsigned long request, void* argument, size_t) {
  return ::ioctl(fd, request, argument);
}

const XuartBackend kSystem = {SystemOpen, SystemWrite, SystemRead, SystemIoctl};
std::atomic<const XuartBackend*> Backend{&kSystem};

const XuartBackend& Calls() { return *Backend.load(std::memory_order_acquire); }

}  // namespace

void SetXuartBackendForTesting(const XuartBackend* backend) {
  Backend.store(backend != nullptr ? backend : &kSystem, std::memory_order_release);
}

int XuartOpen(const char* path, bool readOnly) {
  return Calls().open(path, readOnly ? O_RDONLY : O_WRONLY);
}

ssize_t XuartWrite(int fd, const uint8_t* bytes, size_t length) {
  return Calls().write(fd, bytes, length);
}

ssize_t XuartRead(int fd, uint8_t* buffer, size_t capacity) {
  return Calls().read(fd, buffer, capacity);
}

int XuartSetParams(int fd, const void* block, size_t length) {
  return Calls().ioctl(fd, XUART_IOC_SET_PARAMS, const_cast<void*>(block), length);
}

int XuartRdm(int fd, XuartRdmBlock* block) {
  return Calls().ioctl(fd, XUART_IOC_RDM, block, sizeof(*block));
}
