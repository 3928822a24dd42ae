#pragma once
// The stream table is global: a test that fills it empties it again, so the
// next one starts as the engine does, with no streams and no ports.
#include "config_file.h"
#include "stream.h"

inline void ClearStreamTable() {
  for (uint32_t i = 0; i < kStreamTableSize; ++i) {
    delete StreamTable[i];
    StreamTable[i] = nullptr;
  }
  StreamCount = 0;
  PortCount = 0;
}
