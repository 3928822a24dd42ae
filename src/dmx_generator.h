#pragma once
// The local source of a DMX Generator stream: fixed values, a show player or
// channels set by OSC.
#include <cstdint>
#include <string>
#include <string_view>

#include "dmx_types.h"
#include "stream.h"

class DmxEngine;

enum DmxGeneratorType : uint32_t {
  kGeneratorFixed = 0,
  kGeneratorShowPlayer = 1,
  kGeneratorOsc = 2,
};

class DmxGenerator : public StreamEndpoint {
 public:
  static constexpr uint32_t kKind = kStreamGenerator;
  // Builds the generator from the text after the "C" of a configuration
  // line. A show player reads its show only at Init.
  explicit DmxGenerator(std::string_view text);

  void Fill(uint8_t* data) const override;
  // A show player loads its show into the shared engine and auto-starts; a
  // show that cannot be read ends the process.
  void Init() override;
  void LogStarted(const std::string& text) const override;
  bool IsInput() const override { return input == 1; }
  void CalculateFrame(Stream& stream) override;

  // Writes the engine's frame into the stream, after computing the next one
  // when `advance`.
  void WriteShowFrame(Stream& stream, bool advance);

  // Where a show player reads its show; the engine's is the whole file.
  // Returns false, having said why, when it cannot.
  static bool (*readShow)(const std::string& path, std::string* text);

  uint8_t values[kDmxChannels] = {};
  uint32_t cueList = 0;
  uint32_t type = 0xFFFFFFFFu;  // none until built from a line
  uint32_t input = 0;
  DmxEngine* engine = nullptr;
  std::string showPath;
};
