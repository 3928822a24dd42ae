#pragma once
// Port streams open their devices when they are started, and a device that
// does not open ends the process: fuzzers that start port streams give them
// a device that opens and takes any call.
#include <sys/types.h>

#include <cstddef>

#include "xuart/xuart_device.h"

namespace fuzz_device {

inline int AnyOpen(const char*, int) { return 3; }
inline ssize_t AnyWrite(int, const void*, size_t length) { return static_cast<ssize_t>(length); }
inline ssize_t NothingRead(int, void*, size_t) { return 0; }
inline int AnyIoctl(int, unsigned long, void*, size_t) { return 0; }

inline void AcceptEveryDeviceCall() {
  static const XuartBackend kAnyDevice = {AnyOpen, AnyWrite, NothingRead, AnyIoctl};
  SetXuartBackendForTesting(&kAnyDevice);
}

}  // namespace fuzz_device
