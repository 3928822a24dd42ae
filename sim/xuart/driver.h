#pragma once
// The simulated driver: hands out descriptors for "/dev/xuartN" and sends
// the calls made on them to their Device. Descriptors come from the caller
// (real ones under the preload library, so they never collide with the
// process's own), and the table is read without a lock on every call.
#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "device.h"

namespace xuart_sim {

class Driver {
 public:
  struct Descriptors {
    std::function<int()> take;          // a fresh descriptor, or -1 with errno
    std::function<void(int fd)> give;   // hands one back
  };

  Driver(std::string folder, Hooks hooks, Descriptors descriptors);
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // True for a descriptor this driver returned and has not closed.
  bool Owns(int fd) const;

  // For a path DevicePort accepts: a descriptor, or -1 with errno.
  int Open(const char* path, int flags);
  ssize_t Read(int fd, void* buffer, size_t capacity);
  ssize_t Write(int fd, const void* bytes, size_t length);
  // `length`: the bytes `argument` holds, or kUnknownLength.
  int Ioctl(int fd, unsigned long request, void* argument, size_t length);
  int Close(int fd);

  const std::string& folder() const { return folder_; }

 private:
  static constexpr int kMaxDescriptors = 4096;
  Device* Find(int fd) const;

  const std::string folder_;
  const Hooks hooks_;
  const Descriptors descriptors_;
  std::mutex openClose_;
  // Devices by descriptor. A device lives until its descriptor is closed;
  // nothing may still be calling on a descriptor it closes, as with a real
  // driver.
  std::atomic<Device*> devices_[kMaxDescriptors] = {};
};

// CLOCK_MONOTONIC in microseconds, and a sleep on it: the driver's real time.
uint64_t MonotonicMicros();
void SleepMicros(uint64_t micros);

}  // namespace xuart_sim
