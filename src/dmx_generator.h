#pragma once
// The local source of a DMX Generator stream: fixed values, a show player or
// channels set by OSC.
#include <cstdint>
#include <string_view>

#include "dmx_types.h"

class DmxEngine;

enum DmxGeneratorType : uint32_t {
  kGeneratorFixed = 0,
  kGeneratorShowPlayer = 1,
  kGeneratorOsc = 2,
};

class DmxGenerator {
 public:
  DmxGenerator() = default;
  // Builds the generator from the text after the "C" of a configuration line.
  explicit DmxGenerator(std::string_view text);

  uint8_t values[kDmxChannels] = {};
  uint32_t cueList = 0;
  uint32_t type = 0xFFFFFFFFu;  // none until built from a line
  uint32_t input = 0;
  DmxEngine* engine = nullptr;

 private:
  // Type 1: loads the named show into the shared engine and auto-starts.
  void StartShowPlayer(std::string_view text);
};
