// libxuart_sim.so: under LD_PRELOAD with XUART_SIM_DIR set, "/dev/xuartN"
// opens the simulated device of that folder, and the read, write, ioctl and
// close calls on its descriptors go to it. Every other path and descriptor,
// and everything when XUART_SIM_DIR is not set, goes to the real calls.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

#include "driver.h"
#include "line_format.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace xuart_sim {
namespace {

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

#define XUART_SIM_REAL(name, type)                   \
  type Real_##name() {                               \
    static const type function = Next<type>(#name);  \
    return function;                                 \
  }

using OpenCall = int (*)(const char*, int, ...);
using OpenAtCall = int (*)(int, const char*, int, ...);
using OpenCheckedCall = int (*)(const char*, int);
using OpenAtCheckedCall = int (*)(int, const char*, int);
using ReadCall = ssize_t (*)(int, void*, size_t);
using ReadCheckedCall = ssize_t (*)(int, void*, size_t, size_t);
using WriteCall = ssize_t (*)(int, const void*, size_t);
using IoctlCall = int (*)(int, unsigned long, ...);
using CloseCall = int (*)(int);

XUART_SIM_REAL(open, OpenCall)
XUART_SIM_REAL(open64, OpenCall)
XUART_SIM_REAL(openat, OpenAtCall)
XUART_SIM_REAL(openat64, OpenAtCall)
XUART_SIM_REAL(__open_2, OpenCheckedCall)
XUART_SIM_REAL(__open64_2, OpenCheckedCall)
XUART_SIM_REAL(__openat_2, OpenAtCheckedCall)
XUART_SIM_REAL(__openat64_2, OpenAtCheckedCall)
XUART_SIM_REAL(read, ReadCall)
XUART_SIM_REAL(__read_chk, ReadCheckedCall)
XUART_SIM_REAL(write, WriteCall)
XUART_SIM_REAL(ioctl, IoctlCall)
XUART_SIM_REAL(close, CloseCall)

std::atomic<Driver*> TheDriver{nullptr};

// The descriptor of a simulated device is a real one, so that no file or
// socket of the process can ever get the same number.
int TakeDescriptor() { return Real_open()("/dev/null", O_RDWR | O_CLOEXEC); }
void GiveDescriptor(int fd) { Real_close()(fd); }

// The driver that serves `path`, made on the first device open; nullptr
// when the path is not a device or no simulation folder is given.
Driver* DriverForPath(const char* path) {
  if (DevicePort(path) < 0) return nullptr;
  Driver* driver = TheDriver.load(std::memory_order_acquire);
  if (driver != nullptr) return driver;
  const char* folder = std::getenv("XUART_SIM_DIR");
  if (folder == nullptr || *folder == '\0') return nullptr;
  static std::mutex making;
  std::lock_guard<std::mutex> lock(making);
  driver = TheDriver.load(std::memory_order_acquire);
  if (driver == nullptr) {
    // Lives as long as the process: descriptors may be used up to its end.
    driver = new Driver(folder, Hooks{MonotonicMicros, SleepMicros},
                        Driver::Descriptors{TakeDescriptor, GiveDescriptor});
    TheDriver.store(driver, std::memory_order_release);
  }
  return driver;
}

Driver* DriverForDescriptor(int fd) {
  Driver* driver = TheDriver.load(std::memory_order_acquire);
  return driver != nullptr && driver->Owns(fd) ? driver : nullptr;
}

bool TakesMode(int flags) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

int OpenPath(OpenCall real, const char* path, int flags, mode_t mode) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return real(path, flags, mode);
}

int OpenPathAt(OpenAtCall real, int directory, const char* path, int flags, mode_t mode) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return real(directory, path, flags, mode);
}

}  // namespace
}  // namespace xuart_sim

using namespace xuart_sim;

#define XUART_SIM_EXPORT extern "C" __attribute__((visibility("default")))

// The mode argument is there only when the flags ask for one.
#define XUART_SIM_MODE(flags)                                      \
  mode_t mode = 0;                                                 \
  if (TakesMode(flags)) {                                          \
    va_list arguments;                                             \
    va_start(arguments, flags);                                    \
    mode = static_cast<mode_t>(va_arg(arguments, int));            \
    va_end(arguments);                                             \
  }

XUART_SIM_EXPORT int open(const char* path, int flags, ...) {
  XUART_SIM_MODE(flags)
  return OpenPath(Real_open(), path, flags, mode);
}

XUART_SIM_EXPORT int open64(const char* path, int flags, ...) {
  XUART_SIM_MODE(flags)
  return OpenPath(Real_open64(), path, flags, mode);
}

XUART_SIM_EXPORT int openat(int directory, const char* path, int flags, ...) {
  XUART_SIM_MODE(flags)
  return OpenPathAt(Real_openat(), directory, path, flags, mode);
}

XUART_SIM_EXPORT int openat64(int directory, const char* path, int flags, ...) {
  XUART_SIM_MODE(flags)
  return OpenPathAt(Real_openat64(), directory, path, flags, mode);
}

XUART_SIM_EXPORT int __open_2(const char* path, int flags) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return Real___open_2()(path, flags);
}

XUART_SIM_EXPORT int __open64_2(const char* path, int flags) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return Real___open64_2()(path, flags);
}

XUART_SIM_EXPORT int __openat_2(int directory, const char* path, int flags) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return Real___openat_2()(directory, path, flags);
}

XUART_SIM_EXPORT int __openat64_2(int directory, const char* path, int flags) {
  if (Driver* driver = DriverForPath(path)) return driver->Open(path, flags);
  return Real___openat64_2()(directory, path, flags);
}

XUART_SIM_EXPORT ssize_t read(int fd, void* buffer, size_t capacity) {
  if (Driver* driver = DriverForDescriptor(fd)) return driver->Read(fd, buffer, capacity);
  return Real_read()(fd, buffer, capacity);
}

XUART_SIM_EXPORT ssize_t __read_chk(int fd, void* buffer, size_t capacity, size_t bufferSize) {
  if (Driver* driver = DriverForDescriptor(fd)) {
    if (capacity > bufferSize) std::abort();  // what the checked call does
    return driver->Read(fd, buffer, capacity);
  }
  return Real___read_chk()(fd, buffer, capacity, bufferSize);
}

XUART_SIM_EXPORT ssize_t write(int fd, const void* bytes, size_t length) {
  if (Driver* driver = DriverForDescriptor(fd)) return driver->Write(fd, bytes, length);
  return Real_write()(fd, bytes, length);
}

XUART_SIM_EXPORT int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  // A system call does not say how large its block is.
  if (Driver* driver = DriverForDescriptor(fd)) {
    return driver->Ioctl(fd, request, argument, kUnknownLength);
  }
  return Real_ioctl()(fd, request, argument);
}

XUART_SIM_EXPORT int close(int fd) {
  if (Driver* driver = DriverForDescriptor(fd)) return driver->Close(fd);
  return Real_close()(fd);
}
