#pragma once
// A port's frame is copied in by the main thread without the port's mutex
// while its transmit thread may be writing it out: a write may then send a
// mix of old and new slot values, which is accepted. The bytes are moved one
// relaxed atomic access at a time so that this overlap is a defined one.
#include <cstddef>
#include <cstdint>

inline void CopyFrameBytes(uint8_t* to, const uint8_t* from, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    __atomic_store_n(to + i, __atomic_load_n(from + i, __ATOMIC_RELAXED), __ATOMIC_RELAXED);
  }
}
