#pragma once
// A fresh engine per test with the process-wide playback values reset, so
// that tests do not leak speed or grand master into each other.
#include <gtest/gtest.h>

#include <string>

#include "show_engine/dmx_engine.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetGlobals(); }
  void TearDown() override { ResetGlobals(); }
  static void ResetGlobals() {
    GrandMaster = 255;
    PlaybackSpeed = 10000;
  }

  // Runs frames and returns the output of one channel after the last.
  int Frames(int count, uint32_t channel) {
    for (int i = 0; i < count; ++i) engine.CalculateFrame();
    return engine.outputFrame[channel];
  }

  // A hand-made layer on top of the stack, active, owned by the test.
  DmxEngineLayer* ActiveLayer(std::vector<std::unique_ptr<DmxEngineLayer>>& owner) {
    owner.push_back(std::make_unique<DmxEngineLayer>(&engine));
    DmxEngineLayer* layer = owner.back().get();
    layer->inactive = 0;
    engine.PushLayer(layer);
    return layer;
  }

  DmxEngine engine;
};
