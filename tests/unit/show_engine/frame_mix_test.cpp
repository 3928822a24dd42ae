#include <gtest/gtest.h>

#include "show_engine/engine_fixture.h"

namespace {

using FrameMix = EngineTest;

TEST_F(FrameMix, LevelOffsetsInvertAndOverride) {
  DmxEngineLayer* layer = ActiveLayer();
  layer->SetChannelValue(0, 255, false);
  layer->values[1] = 5;
  layer->offsets[1] = -12;
  EXPECT_EQ(layer->GetOutputValue(1), 0);
  layer->values[1] = 250;
  layer->offsets[1] = 12;
  EXPECT_EQ(layer->GetOutputValue(1), 255);
  // A level stored unchecked from a caller never overflows the product.
  layer->level = 0x7FFFFFFF;
  EXPECT_EQ(layer->GetValue(0), 255);
  EXPECT_EQ(layer->GetValueAt(1, 0), 0);
  EXPECT_EQ(layer->GetOutputValueAt(0, 600), 0);
  EXPECT_EQ(layer->HasChannelAt(0, 0), 1);
  EXPECT_EQ(layer->HasChannelAt(1, 0), 0);

  DmxEngineLayer* other = ActiveLayer();
  other->SetChannelValue(2, 55, false);
  engine.invert[2] = 1;
  engine.overrideValues[3] = 0x1AB;
  engine.CalculateFrame();
  EXPECT_EQ(engine.outputFrame[2], 200);
  EXPECT_EQ(engine.outputFrame[3], 0xAB);
}

TEST_F(FrameMix, NothingOutsideTheStackOrTheFrameIsTaken) {
  DmxEngineLayer* layer = ActiveLayer();
  DmxEngineLayer stranger(engine.Tables());
  engine.MoveLayerToTop(&stranger);
  EXPECT_EQ(engine.layers, (std::deque<DmxEngineLayer*>{layer}));
  layer->SetChannelValue(4, 9, false);
  layer->SetChannelValue(512, 10, false);
  layer->AddChannel(70000);
  EXPECT_EQ(layer->values[4], 9);
  EXPECT_EQ(layer->channelList, std::vector<uint16_t>{4});
  // A list created again replaces its layer in the stack, not beside it.
  engine.CreateCuelist(0, Cuelist{});
  EXPECT_EQ(engine.CreateCuelist(0, Cuelist{}), engine.layers.back());
  EXPECT_EQ(engine.layers.size(), 2u);
}

TEST_F(FrameMix, CueAndListCallsRefuseBadIds) {
  Load("Cues 1 Cue 0 0 Vals 0 Oscs 0", "Cuelists 1 Cues 0");
  EXPECT_EQ(engine.SetCuelistLevel(-1, 100), 0);
  EXPECT_EQ(engine.GoCue(1, 0, 65535), 0);
  // A list stored without a layer passes the id tests but is still refused.
  engine.UpdateCuelist(1, Cuelist{});
  ASSERT_EQ(engine.GetCuelistCount(), 2);
  EXPECT_EQ(engine.SetCuelistLevel(1, 100), 0);
  EXPECT_EQ(engine.GoCuelist(1, 0, 65535), 0);
  EXPECT_EQ(engine.PauseCuelist(1, 0), 0);
  // Ids are positions: a list created beyond the count is not one.
  engine.CreateCuelist(5, Cuelist{});
  EXPECT_EQ(engine.GoCuelist(5, 0, 65535), 0);
}

}  // namespace
