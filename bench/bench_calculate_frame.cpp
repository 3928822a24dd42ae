// Cost of one show frame on a large show: 64 cue lists, each fading all 512
// channels through two entries and running oscillators, mixed together.
#include <chrono>
#include <cstdio>
#include <string>

#include "show_engine/locked_engine.h"

namespace {

std::string LargeShow(int lists, int oscillatorsPerEntry) {
  std::string text = "ENDP 1\nCues 0\nCuelists " + std::to_string(lists) + "\n";
  for (int list = 0; list < lists; ++list) {
    text += "Cues 2\n";
    for (int entry = 0; entry < 2; ++entry) {
      text += "Cue 0\nVals 512\n";
      for (int ch = 0; ch < 512; ++ch) {
        text += std::to_string(ch) + " " + std::to_string((ch * 7 + list * 13 + entry * 101) % 256) +
                "\n";
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

}  // namespace

int main() {
  const int kLists = 64;
  const int kFrames = 2000;
  OwnedEngine engine;
  engine.LoadShow(LargeShow(kLists, 16));
  for (int id = 0; id < kLists; ++id) engine.GoCuelist(id, id % 3 == 0 ? 1 : 0, 65535);
  for (int frame = 0; frame < 50; ++frame) engine.CalculateFrame();  // warm up

  const auto start = std::chrono::steady_clock::now();
  unsigned checksum = 0;
  for (int frame = 0; frame < kFrames; ++frame) {
    engine.CalculateFrame();
    checksum += engine.outputFrame[frame % 512];
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const double micros = std::chrono::duration<double, std::micro>(elapsed).count() / kFrames;
  std::printf("CalculateFrame: %d cue lists x 512 channels, 16 oscillators each: %.1f us/frame "
              "(checksum %u)\n",
              kLists, micros, checksum);
  return 0;
}
