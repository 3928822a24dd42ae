#include "show_engine/engine_globals.h"

#include <limits>

std::atomic<uint32_t> GrandMaster{255};
std::atomic<int32_t> PlaybackSpeed{10000};

int32_t FrameStep() { return PlaybackSpeed.load(std::memory_order_relaxed) * 10 / 2400; }

int32_t SaturateToInt32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
