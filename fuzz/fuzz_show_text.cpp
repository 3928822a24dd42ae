// Show text from a file, read and then played for a few frames: the reader
// must keep only sound records and playback must never index outside its
// tables, whatever the counts, channels, times and phases say. A saved show
// must read back into the same records.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "show_engine/locked_engine.h"
#include "show_engine/show_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GrandMaster = 255;
  PlaybackSpeed = 10000;
  OwnedEngine engine;
  engine.LoadShow(std::string(reinterpret_cast<const char*>(data), size));

  for (int32_t id = 0; id < engine.GetCuelistCount() && id < 8; ++id) {
    engine.GoCuelist(id, static_cast<uint8_t>(id & 1), kFullLevel);
  }
  for (int32_t id = 0; id < engine.GetCueCount() && id < 8; ++id) {
    engine.GoCue(id, static_cast<uint8_t>(id & 1), kFullLevel);
  }
  for (int frame = 0; frame < 40; ++frame) engine.CalculateFrame();
  engine.SetSpeed(size > 0 ? data[0] * 200u : 40000u);
  engine.SetGrandMaster(size > 1 ? data[1] : 0);
  for (int32_t id = 0; id < engine.GetCuelistCount() && id < 8; id += 2) {
    engine.PauseCuelist(id, 0);
  }
  for (int32_t id = 0; id < engine.GetCueCount() && id < 8; ++id) engine.ReleaseCue(id, 0, id & 1);
  for (int frame = 0; frame < 20; ++frame) engine.CalculateFrame();

  const std::string saved = engine.SaveShow();
  std::istringstream in(saved);
  Show reread;
  if (!ReadShow(in, reread) || !(reread == engine.show)) __builtin_trap();
  return 0;
}
