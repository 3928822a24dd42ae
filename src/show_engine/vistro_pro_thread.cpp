#include "show_engine/vistro_pro_thread.h"

#include <glog/logging.h>
#include <unistd.h>

#include <atomic>

#include "dmx_generator.h"
#include "stream.h"
#include "streams/stream_table.h"

namespace {

constexpr useconds_t kFramePeriodUs = 41666;

bool IsGeneratorOfType(const Stream& stream, uint32_t type) {
  const DmxGenerator* generator = stream.As<DmxGenerator>();
  return generator != nullptr && generator->type == type;
}

}  // namespace

bool IsShowPlayingStream(const Stream& stream) {
  return IsGeneratorOfType(stream, kGeneratorShowPlayer);
}

bool IsOscDrivenStream(const Stream& stream) { return IsGeneratorOfType(stream, kGeneratorOsc); }

DmxEngine* ShowPlayingEngine() {
  const Stream* s = FindStream([](uint32_t, const Stream& t) { return IsShowPlayingStream(t); });
  return s != nullptr ? s->As<DmxGenerator>()->engine : nullptr;
}

void PlayShowFrame() {
  bool advanced = false;
  // StreamCount is read afresh at every step: the configuration may still be
  // adding streams while the player runs.
  ForEachStream([&advanced](uint32_t, Stream& s) {
    if (!IsShowPlayingStream(s)) return;
    if (!advanced) {
      s.CalculateFrame();
      advanced = true;
    } else {
      s.As<DmxGenerator>()->WriteShowFrame(s, false);
    }
  });
}

void* VistroProThread(void* configurationRead) {
  const auto* done = static_cast<const std::atomic<bool>*>(configurationRead);
  for (;;) {
    // Read before the walk, so that the walk saw every stream there will be.
    const bool configured = done->load(std::memory_order_acquire);
    PlayShowFrame();
    // Nothing can start playing later, so a player without a show stops
    // waking: 24 empty walks a second would be a third of the idle engine's time.
    if (configured && ShowPlayingEngine() == nullptr) {
      for (;;) pause();
    }
    usleep(kFramePeriodUs);
  }
}
