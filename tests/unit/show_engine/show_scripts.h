#pragma once
// Shows played frame by frame through the engine's public calls, with
// commands at chosen frames. The golden-frame test replays them against
// frames recorded earlier; the show benchmark plays them too. Generated shows
// are made here; hand-made ones are read from show_scripts.txt (under
// CORVANTA_TEST_DATA, which every user of this header defines).
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "show_engine/locked_engine.h"

namespace show_scripts {

enum class Call {
  kGoCuelist,        // id, a = additive, b = level
  kPauseCuelist,     // id, a = additive
  kSetCuelistLevel,  // id, b = level
  kGoCue,            // id, a = additive, b = level
  kReleaseCue,       // id, a = additive, b = immediate
  kSetCueLevel,      // id, b = level
  kGrandMaster,      // b = value
  kSpeed,            // b = speed
  kResetPhases,
  kUpdateCuelist,  // id, a = the list whose copy it gets
  kStoreCue,       // id, a = the cue whose copy it gets
  kCreateCue,      // id, a = the cue whose copy it gets, b = fade-in and fade-out
  kCreateCuelist,  // id, a = the list whose copy it gets
  kReload,         // the same show text again
  // Layer calls on a cue list's layer that nothing in the engine makes
  // itself, but that work on the same fades and oscillators.
  kLayerFadesPaused,  // id, a = pause, b = all
  kLayerLevel,        // id, b = target level
  kLayerChannelFade,  // id, a = channel, b = value; odd values pair with a + 1
  kLayerOscillator,   // id, a = channel, b = shape seed; odd seeds pair with a + 1
};
// The calls' names in show_scripts.txt, in the order above.
constexpr const char* kCallNames[] = {
    "go-cuelist", "pause-cuelist", "cuelist-level", "go-cue", "release-cue", "cue-level",
    "grand-master", "speed", "reset-phases", "update-cuelist", "store-cue", "create-cue",
    "create-cuelist", "reload", "layer-fades-paused", "layer-level", "layer-channel-fade",
    "layer-oscillator"};

struct Command {
  int frame;
  Call call;
  int32_t id = 0;
  int32_t a = 0;
  int64_t b = 0;
};

// A value a channel must have in the output of a frame.
struct Expect {
  int frame;
  uint32_t channel;
  int value;
};

struct Script {
  std::string name;
  std::string text;
  int frames;
  std::vector<Command> commands;
  std::vector<Expect> expects = {};
};

// Small, deterministic and the same on every standard library (the
// distributions of <random> are not).
class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // lo..hi, both included.
  int64_t In(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
  bool OneIn(int n) { return In(1, n) == 1; }
  template <typename T, size_t N>
  T Pick(const T (&choices)[N]) {
    return choices[In(0, N - 1)];
  }

 private:
  uint64_t state_;
};

inline void ApplyToLayer(OwnedEngine& engine, const Command& c) {
  const auto found = engine.cuelistLayers.find(c.id);
  if (found == engine.cuelistLayers.end()) return;
  DmxEngineLayer& layer = *found->second;
  const auto channel = static_cast<uint16_t>(c.a);
  const bool paired = c.b % 2 == 1;
  switch (c.call) {
    case Call::kLayerFadesPaused: layer.SetFadesPaused(c.a != 0, c.b != 0); break;
    case Call::kLayerLevel:
      if (c.b == 0) {
        layer.FadeOut(500);
      } else {
        layer.SetLevel(static_cast<int32_t>(c.b), 700);
      }
      break;
    case Call::kLayerChannelFade:
      if (paired) {
        layer.AddChannelFade(channel, static_cast<uint16_t>(channel + 1), static_cast<uint8_t>(c.b),
                             static_cast<uint8_t>(c.b * 7), 600, 300, 900);
      } else {
        layer.AddChannelFade(channel, static_cast<uint8_t>(c.b), 400, 200, c.b % 4 == 0 ? -1 : 700);
      }
      break;
    case Call::kLayerOscillator: {
      const auto seed = static_cast<uint32_t>(c.b);
      const auto phase = static_cast<uint16_t>(seed * 97);
      const auto width = static_cast<uint16_t>(seed % 120);
      if (paired) {
        layer.AddOscillator(0, c.a, c.a + 1u, static_cast<int32_t>(seed % 6), 700, phase, 800,
                            width);
      } else {
        layer.AddOscillator(0, c.a, static_cast<int32_t>(seed % 6), seed % 3 == 0 ? 0 : 1300, phase,
                            1000, width);
      }
      break;
    }
    default: break;
  }
}

inline void Apply(OwnedEngine& engine, const std::string& text, const Command& c) {
  const auto level = static_cast<uint32_t>(c.b);
  const auto additive = static_cast<uint8_t>(c.a);
  switch (c.call) {
    case Call::kGoCuelist: engine.GoCuelist(c.id, additive, static_cast<int32_t>(c.b)); break;
    case Call::kPauseCuelist: engine.PauseCuelist(c.id, additive); break;
    case Call::kSetCuelistLevel: engine.SetCuelistLevel(c.id, level); break;
    case Call::kGoCue: engine.GoCue(c.id, additive, static_cast<int32_t>(c.b)); break;
    case Call::kReleaseCue: engine.ReleaseCue(c.id, additive, static_cast<uint8_t>(c.b)); break;
    case Call::kSetCueLevel: engine.SetCueLevel(c.id, level); break;
    case Call::kGrandMaster: engine.SetGrandMaster(level); break;
    case Call::kSpeed: engine.SetSpeed(level); break;
    case Call::kResetPhases: engine.ResetOscillatorPhases(); break;
    case Call::kUpdateCuelist:
      if (engine.show.cuelists.count(c.a)) engine.UpdateCuelist(c.id, engine.show.cuelists[c.a]);
      break;
    case Call::kStoreCue:
      if (engine.show.cues.count(c.a)) engine.StoreCue(c.id, engine.show.cues[c.a]);
      break;
    case Call::kCreateCue:
      if (engine.show.cues.count(c.a)) {
        const Cue copy = engine.show.cues[c.a];
        engine.CreateCue(c.id, copy, static_cast<int32_t>(c.b), static_cast<int32_t>(c.b / 2));
      }
      break;
    case Call::kCreateCuelist:
      if (engine.show.cuelists.count(c.a)) {
        const Cuelist copy = engine.show.cuelists[c.a];
        engine.CreateCuelist(c.id, copy);
      }
      break;
    case Call::kReload: engine.LoadShow(text); break;
    default: ApplyToLayer(engine, c); break;
  }
}

// Plays a script on a fresh engine, from the default grand master and
// speed, and hands over the output of every frame.
inline void Play(const Script& script, const std::function<void(int, const uint8_t*)>& frame) {
  GrandMaster = 255;
  PlaybackSpeed = 10000;
  OwnedEngine engine;
  engine.LoadShow(script.text);
  size_t next = 0;
  for (int f = 0; f < script.frames; ++f) {
    while (next < script.commands.size() && script.commands[next].frame == f) {
      Apply(engine, script.text, script.commands[next++]);
    }
    engine.CalculateFrame();
    frame(f, engine.outputFrame);
  }
  GrandMaster = 255;
  PlaybackSpeed = 10000;
}

// 64 cue lists each fading all 512 channels through two entries, with 16
// oscillators of every shape; every third list additive.
inline std::string LargeShow(int lists, int oscillatorsPerEntry) {
  std::string text = "ENDP 1\nCues 0\nCuelists " + std::to_string(lists) + "\n";
  for (int list = 0; list < lists; ++list) {
    text += "Cues 2\n";
    for (int entry = 0; entry < 2; ++entry) {
      text += "Cue 0\nVals 512\n";
      for (int ch = 0; ch < 512; ++ch) {
        text += std::to_string(ch) + " " +
                std::to_string((ch * 7 + list * 13 + entry * 101) % 256) + "\n";
      }
      text += "Oscs " + std::to_string(oscillatorsPerEntry) + "\n";
      for (int k = 0; k < oscillatorsPerEntry; ++k) {
        const int ch = (list * 8 + k * 61) % 512;
        text += std::to_string(ch) + " -1 " + std::to_string(k % 5) + " " +
                std::to_string(500 + 250 * k) + " " + std::to_string(k * 8192) + " 500 50\n";
      }
      text += "Timing 3\n0 0 1500 2000 1000\n0 0 1500 2000 1000\n0 0 800 -1 400\n";
    }
  }
  text += "DefVals 0\n\nChTypes 512\n";
  for (int ch = 0; ch < 512; ++ch) text += ch % 4 == 0 ? "0 " : "2 ";
  text += "\nChSubtypes 0\n\n";
  return text;
}

constexpr int kLargeShowLists = 64;

inline Script LargeShowScript(int frames) {
  Script script{"large", LargeShow(kLargeShowLists, 16), frames, {}};
  for (int id = 0; id < kLargeShowLists; ++id) {
    script.commands.push_back({0, Call::kGoCuelist, id, id % 3 == 0 ? 1 : 0, 65535});
  }
  return script;
}

// A cue body over `channels` channels; now and then one beyond the frame.
inline std::string RandomCueBody(Dice& dice, int channels) {
  std::string text;
  const int values = static_cast<int>(dice.In(0, 14));
  text += "Vals " + std::to_string(values) + "\n";
  for (int v = 0; v < values; ++v) {
    const int64_t channel = dice.OneIn(40) ? dice.In(512, 700) : dice.In(0, channels - 1);
    const int64_t value = dice.OneIn(20) ? dice.In(-300, 600) : dice.In(0, 255);
    text += std::to_string(channel) + " " + std::to_string(value) + "\n";
  }
  const int oscillators = static_cast<int>(dice.Pick({0, 0, 1, 1, 2, 3}));
  text += "Oscs " + std::to_string(oscillators) + "\n";
  for (int o = 0; o < oscillators; ++o) {
    const int64_t channel = dice.OneIn(30) ? dice.In(510, 600) : dice.In(0, channels - 1);
    const int64_t fine = dice.OneIn(2) ? -1 : dice.OneIn(30) ? 9999 : dice.In(0, channels - 1);
    const int64_t period = dice.Pick({0, 50, 333, 1000, 2500, 7000});
    const int64_t amplitude = dice.Pick({0, 100, 500, 1000, 1200, 65535});
    // Drawn one statement each, in the order the frames were recorded with
    // (the operands of one + may be evaluated in any order).
    const int64_t width = dice.Pick({0, 1, 20, 50, 99, 150});
    const int64_t phase = dice.In(0, 65535);
    const int64_t shape = dice.In(0, 6);
    text += std::to_string(channel) + " " + std::to_string(fine) + " " + std::to_string(shape) +
            " " + std::to_string(period) + " " + std::to_string(phase) + " " +
            std::to_string(amplitude) + " " + std::to_string(width) + "\n";
  }
  return text;
}

inline std::string RandomTiming(Dice& dice) {
  const int64_t rise = dice.Pick({0, 0, 41, 100, 500, 1000, 1700, 3000});
  const int64_t hold = dice.Pick({0, 0, 82, 400, 1000, 2500});
  const int64_t fall = dice.Pick({-1, -1, 0, 41, 300, 1000, 2200});
  const int64_t tag2 = dice.In(0, 3);  // before the first, as recorded
  const int64_t tag1 = dice.In(0, 9);
  return std::to_string(tag1) + " " + std::to_string(tag2) + " " + std::to_string(rise) + " " +
         std::to_string(fall) + " " + std::to_string(hold) + "\n";
}

// A show of a few cues and cue lists over a handful of channels, with
// channel types that pair channels into 16-bit fades and make intensity
// channels, and commands at random frames.
inline Script RandomScript(uint64_t seed, int frames) {
  Dice dice(seed);
  const int channels = static_cast<int>(dice.Pick({12, 24, 40}));
  const int cues = static_cast<int>(dice.In(0, 4));
  const int lists = static_cast<int>(dice.In(1, 5));
  std::string text = "ENDP 1\nCues " + std::to_string(cues) + "\n";
  for (int c = 0; c < cues; ++c) {
    const std::string body = RandomCueBody(dice, channels);  // first, as recorded
    const int64_t fadeOut = dice.Pick({0, 200, 1000, 3000});
    const int64_t fadeIn = dice.Pick({0, 0, 300, 1000, 2500});
    text += "Cue " + std::to_string(fadeIn) + " " + std::to_string(fadeOut) + "\n" + body;
  }
  text += "Cuelists " + std::to_string(lists) + "\n";
  for (int l = 0; l < lists; ++l) {
    const int entries = static_cast<int>(dice.In(0, 5));
    text += "Cues " + std::to_string(entries) + "\n";
    for (int e = 0; e < entries; ++e) {
      text += "Cue " + std::to_string(dice.OneIn(6) ? 1 : dice.In(0, 3) * 2) + "\n";
      text += RandomCueBody(dice, channels);
      const int timings = static_cast<int>(dice.OneIn(8) ? 0 : dice.In(1, 9));
      text += "Timing " + std::to_string(timings) + "\n";
      for (int t = 0; t < timings; ++t) text += RandomTiming(dice);
    }
  }
  text += "DefVals " + std::to_string(channels) + "\n";
  for (int ch = 0; ch < channels; ++ch) text += std::to_string(dice.In(0, 255)) + " ";
  text += "\nChTypes " + std::to_string(channels) + "\n";
  for (int ch = 0; ch < channels; ++ch)
    text += std::to_string(dice.Pick({0, 1, 1, 2, 2, 7, 7, 3, 8})) + " ";
  text += "\nChSubtypes " + std::to_string(channels) + "\n";
  for (int ch = 0; ch < channels; ++ch) text += std::to_string(dice.In(0, 4)) + " ";
  text += "\n";

  Script script{"random-" + std::to_string(seed), text, frames, {}};
  // Ids one past the end and negative ones are refused and change nothing.
  auto in = [&](int64_t lo, int64_t hi) { return static_cast<int32_t>(dice.In(lo, hi)); };
  auto listId = [&] { return in(-1, lists); };
  auto cueId = [&] { return in(-1, cues); };
  auto level = [&] {
    return dice.Pick(
        {int64_t{65535}, int64_t{65535}, int64_t{0}, int64_t{20000}, dice.In(0, 70000)});
  };
  for (int l = 0; l < lists; ++l) {
    if (!dice.OneIn(3))
      script.commands.push_back({0, Call::kGoCuelist, l, dice.OneIn(3) ? 1 : 0, 65535});
  }
  for (int f = 1; f < frames; ++f) {
    if (!dice.OneIn(7)) continue;
    const auto call = static_cast<Call>(dice.In(0, static_cast<int64_t>(Call::kLayerOscillator)));
    // A brace list draws its dice left to right: the order they were drawn
    // in when the frames were recorded.
    Command c{f, call};
    switch (call) {
      case Call::kGoCuelist: c = {f, call, listId(), dice.OneIn(3), level()}; break;
      case Call::kPauseCuelist: c = {f, call, listId(), dice.OneIn(4)}; break;
      case Call::kSetCuelistLevel: c = {f, call, listId(), 0, level()}; break;
      case Call::kGoCue: c = {f, call, cueId(), dice.OneIn(3), level()}; break;
      case Call::kReleaseCue: c = {f, call, cueId(), dice.OneIn(3), dice.OneIn(3)}; break;
      case Call::kSetCueLevel: c = {f, call, cueId(), 0, level()}; break;
      case Call::kGrandMaster: c.b = dice.Pick({0, 40, 128, 255, 300}); break;
      case Call::kSpeed: c.b = dice.Pick({500, 5000, 10000, 10000, 17500, 40000, 90000}); break;
      case Call::kResetPhases: break;
      case Call::kUpdateCuelist:
      case Call::kCreateCuelist: c = {f, call, listId(), in(0, lists - 1)}; break;
      case Call::kStoreCue: c = {f, call, cueId(), in(0, cues)}; break;
      case Call::kCreateCue: c = {f, call, cueId(), in(0, cues), dice.Pick({0, 500, 2000})}; break;
      case Call::kReload:
        if (!dice.OneIn(4)) continue;  // rare: it drops every running fade
        break;
      case Call::kLayerFadesPaused: c = {f, call, listId(), !dice.OneIn(3), dice.OneIn(2)}; break;
      case Call::kLayerLevel: c = {f, call, listId(), 0, dice.Pick({0, 1000, 65535})}; break;
      case Call::kLayerChannelFade:
      case Call::kLayerOscillator:
        c = {f, call, listId(), dice.OneIn(20) ? 600 : in(0, channels - 1), in(0, 255)};
        break;
    }
    script.commands.push_back(c);
  }
  return script;
}

// Scripts written out by hand in show_scripts.txt and playback_cases.txt
// (their heads say how).
inline std::vector<Script> ReadScripts(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Script> scripts;
  std::string line, word;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    if (!(words >> word) || word[0] == '#') continue;
    if (word == "script") {
      Script& script = scripts.emplace_back();
      words >> script.name >> script.frames;
      while (std::getline(in, line) && line != "end") {
        if (line.rfind('#', 0) != 0) script.text += line + "\n";
      }
      continue;
    }
    Command c{std::stoi(word), Call::kGoCuelist};
    words >> word;
    if (word == "expect" && !scripts.empty()) {
      uint32_t channel = 0;
      words >> channel;
      for (int value; words >> value;)
        scripts.back().expects.push_back({c.frame, channel++, value});
      continue;
    }
    words >> c.id >> c.a >> c.b;
    const auto name = std::find(std::begin(kCallNames), std::end(kCallNames), word);
    if (!words || name == std::end(kCallNames) || scripts.empty()) {
      throw std::runtime_error(path + ": bad command line: " + line);
    }
    c.call = static_cast<Call>(name - std::begin(kCallNames));
    scripts.back().commands.push_back(c);
  }
  return scripts;
}

// The hand-made scripts and the random ones: small shows full of cue steps,
// commands and edge cases.
inline std::vector<Script> SmallScripts() {
  std::vector<Script> scripts =
      ReadScripts(std::string(CORVANTA_TEST_DATA) + "/show_engine/show_scripts.txt");
  for (uint64_t seed = 1; seed <= 12; ++seed) scripts.push_back(RandomScript(seed, 180));
  return scripts;
}

}  // namespace show_scripts
