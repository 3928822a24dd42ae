// Micro-benchmarks of the show engine on Google Benchmark. BM_ShowFrame is
// one frame of the large show: 64 cue lists, each fading all 512 channels
// through two entries with 16 oscillators, every third list additive.
#include <benchmark/benchmark.h>

#include "show_engine/show_scripts.h"

namespace {

void BM_ShowFrame(benchmark::State& state) {
  const show_scripts::Script script = show_scripts::LargeShowScript(0);
  OwnedEngine engine;
  engine.LoadShow(script.text);
  for (const show_scripts::Command& command : script.commands) {
    show_scripts::Apply(engine, script.text, command);
  }
  for (int frame = 0; frame < 50; ++frame) engine.CalculateFrame();  // fades of both entries
  for (auto _ : state) {
    engine.CalculateFrame();
    benchmark::DoNotOptimize(engine.outputFrame);
  }
  state.SetLabel(std::to_string(show_scripts::kLargeShowLists) + " cue lists x 512 channels");
}
BENCHMARK(BM_ShowFrame)->Unit(benchmark::kMicrosecond);

// Every script of the golden-frame test once: small shows, cue steps,
// pauses and reloads rather than one large steady show.
void BM_ShowScripts(benchmark::State& state) {
  const std::vector<show_scripts::Script> scripts = show_scripts::SmallScripts();
  int64_t frames = 0;
  for (auto _ : state) {
    for (const show_scripts::Script& script : scripts) {
      show_scripts::Play(script,
                         [](int, const uint8_t* frame) { benchmark::DoNotOptimize(frame); });
      frames += script.frames;
    }
  }
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ShowScripts)->Unit(benchmark::kMillisecond);

}  // namespace
