#include "engine_backend.h"

#include <atomic>
#include <cerrno>
#include <memory>

#include "xuart/xuart_device.h"

namespace xuart_sim {
namespace {

std::atomic<Driver*> Serving{nullptr};

int Open(const char* path, int flags) { return Serving.load()->Open(path, flags); }
ssize_t Write(int fd, const void* bytes, size_t length) {
  return Serving.load()->Write(fd, bytes, length);
}
ssize_t Read(int fd, void* buffer, size_t capacity) {
  return Serving.load()->Read(fd, buffer, capacity);
}
int Ioctl(int fd, unsigned long request, void* argument, size_t length) {
  return Serving.load()->Ioctl(fd, request, argument, length);
}

const XuartBackend kSimulated = {Open, Write, Read, Ioctl};

}  // namespace

EngineBackend::EngineBackend(Driver* driver) : previous_(Serving.exchange(driver)) {
  SetXuartBackendForTesting(&kSimulated);
}

EngineBackend::~EngineBackend() {
  Serving.store(previous_);
  if (previous_ == nullptr) SetXuartBackendForTesting(nullptr);
}

Driver::Descriptors CountingDescriptors() {
  auto next = std::make_shared<int>(3);
  return Driver::Descriptors{[next] { return (*next)++; }, [](int) {}};
}

}  // namespace xuart_sim
