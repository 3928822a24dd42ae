#pragma once
// A fresh engine per test (speed and grand master are reset around every
// test with the rest of the process state).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "show_engine/locked_engine.h"

class EngineTest : public ::testing::Test {
 protected:
  // One show text; the tables give channel types where a test needs them.
  void Load(const std::string& cues, const std::string& cuelists,
            const std::string& tables = "DefVals 0 ChTypes 0 ChSubtypes 0") {
    engine.LoadShow("ENDP 1 " + cues + " " + cuelists + " " + tables);
  }

  // A hand-made layer on top of the stack, active, owned by the test.
  DmxEngineLayer* ActiveLayer() {
    owned.push_back(std::make_unique<DmxEngineLayer>(engine.Tables()));
    DmxEngineLayer* layer = owned.back().get();
    layer->inactive = 0;
    engine.PushLayer(layer);
    return layer;
  }

  OwnedEngine engine;
  std::vector<std::unique_ptr<DmxEngineLayer>> owned;
};
