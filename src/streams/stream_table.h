#pragma once
// Walking the global stream table, written once for every reader. The
// configuration reader stores each stream before it raises StreamCount, so
// every stream below the count is complete; threads that start before the
// table is full see it grow, and the count is read afresh at every step.
#include <algorithm>
#include <atomic>
#include <cstdint>

#include "stream.h"

inline uint32_t VisibleStreamCount() {
  return std::min(StreamCount.load(std::memory_order_acquire), kStreamTableSize);
}

// The stream at `index`, or nullptr when the index names none. Indexes that
// come from a packet, a rule or a set-up file are checked here, as they are
// used.
inline Stream* StreamAt(uint32_t index) {
  return index < VisibleStreamCount() ? StreamTable[index] : nullptr;
}

// Calls fn(index, stream) for every stream, in table order.
template <typename Fn>
void ForEachStream(Fn fn) {
  for (uint32_t i = 0; i < VisibleStreamCount(); ++i) {
    Stream* s = StreamTable[i];
    if (s != nullptr) fn(i, *s);
  }
}

// The first stream, in table order, that takes(index, stream) accepts, or
// nullptr. Every stream visited is offered, so a caller can trace its walk
// there.
template <typename Takes>
Stream* FindStream(Takes takes) {
  for (uint32_t i = 0; i < VisibleStreamCount(); ++i) {
    Stream* s = StreamTable[i];
    if (s != nullptr && takes(i, static_cast<const Stream&>(*s))) return s;
  }
  return nullptr;
}

// The stream a receiver hands its data to: later streams never see the data
// the first one took.
template <typename Takes>
Stream* FindInputStream(Takes takes) {
  return FindStream(takes);
}
