#include "show_engine/vistro_pro_thread.h"

#include <glog/logging.h>
#include <unistd.h>

#include <algorithm>

#include "config_file.h"
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
  for (uint32_t i = 0; i < VisibleStreamCount(); ++i) {
    const Stream* stream = StreamTable[i];
    if (stream != nullptr && IsShowPlayingStream(*stream)) return stream->generator.engine;
  }
  return nullptr;
}

void PlayShowFrame() {
  bool advanced = false;
  // StreamCount is read afresh at every step: the configuration may still be
  // adding streams while the player runs.
  for (uint32_t i = 0; i < VisibleStreamCount(); ++i) {
    Stream* stream = StreamTable[i];
    if (stream == nullptr || !IsShowPlayingStream(*stream)) continue;
    if (!advanced) {
      stream->CalculateFrame();
      advanced = true;
    } else {
      WriteShowFrame(*stream, false);
    }
  }
}

void* VistroProThread(void* unused) {
  (void)unused;
  for (;;) {
    // Read before the walk, so that the walk saw every stream there will be.
    const bool configured = ConfigFileProcessed.load(std::memory_order_acquire);
    PlayShowFrame();
    // Nothing can start playing later, so a player without a show stops
    // waking: 24 empty walks a second were a third of the idle engine's time.
    if (configured && ShowPlayingEngine() == nullptr) {
      for (;;) pause();
    }
    usleep(kFramePeriodUs);
  }
}
