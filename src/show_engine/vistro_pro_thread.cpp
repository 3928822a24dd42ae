#include "show_engine/vistro_pro_thread.h"

#include <glog/logging.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "show_engine/locked_engine.h"
#include "stream.h"
#include "stream_table.h"

namespace {

constexpr useconds_t kFramePeriodUs = 41666;

}  // namespace

// The frame is copied out under the engine lock and written after it is
// released, so the stream's own mutex is never held together with it.
void WriteShowFrame(Stream& stream, bool advance) {
  DmxEngine* engine = stream.generator.engine;
  if (engine == nullptr) return;
  uint8_t frame[kEngineChannels];
  {
    LockedEngine locked(*engine);
    if (advance) locked.CalculateFrame();
    locked.CopyOutputFrame(frame);
  }
  stream.Write(frame, kDmxChannels, 0);
  VLOG(4) << "V-pro [1]:" << static_cast<char>(stream.data[0])
          << "[2]:" << static_cast<char>(stream.data[1])
          << "[3]:" << static_cast<char>(stream.data[2])
          << "[4]:" << static_cast<char>(stream.data[3]);
}

bool IsShowPlayingStream(const Stream& stream) {
  return stream.kind == kStreamGenerator && stream.generator.type == kGeneratorShowPlayer;
}

bool IsOscDrivenStream(const Stream& stream) {
  return stream.kind == kStreamGenerator && stream.generator.type == kGeneratorOsc;
}

DmxEngine* ShowPlayingEngine() {
  const Stream* s = FindStream([](uint32_t, const Stream& t) { return IsShowPlayingStream(t); });
  return s != nullptr ? s->generator.engine : nullptr;
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
      WriteShowFrame(s, false);
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
    // waking: 24 empty walks a second were a third of the idle engine's time.
    if (configured && ShowPlayingEngine() == nullptr) {
      for (;;) pause();
    }
    usleep(kFramePeriodUs);
  }
}
