#include <gtest/gtest.h>

#include "show_engine/engine_fixture.h"

namespace {

using FrameMix = EngineTest;

TEST_F(FrameMix, IdleFrameIsLiveValuesUnderGrandMaster) {
  Load("Cues 0", "Cuelists 0", "DefVals 3 100 200 255 ChTypes 3 2 0 7 ChSubtypes 0");
  engine.SetGrandMaster(128);
  engine.CalculateFrame();
  EXPECT_EQ(Output(0, 3), (std::vector<int>{50, 200, 128}));
  engine.SetGrandMaster(300);
  EXPECT_EQ(Frames(1, 0), 100);
}

// The result is the larger of the additive sum and the highest HTP value.
TEST_F(FrameMix, AdditiveLayersSumAgainstHtp) {
  engine.channelTypes[0] = 2;
  DmxEngineLayer* lower = ActiveLayer();
  DmxEngineLayer* upper = ActiveLayer();
  struct Row {
    uint8_t additive1, value1, additive2, value2, expected;
  };
  const Row rows[] = {{1, 150, 1, 150, 255}, {1, 100, 0, 120, 120}, {1, 150, 0, 120, 150}};
  for (const Row& r : rows) {
    lower->additive = r.additive1;
    lower->SetChannelValue(0, r.value1, false);
    upper->additive = r.additive2;
    upper->SetChannelValue(0, r.value2, false);
    EXPECT_EQ(Frames(1, 0), r.expected) << int(r.value1) << "+" << int(r.value2);
  }
}

TEST_F(FrameMix, LevelOffsetsInvertOverrideAndGrandMaster) {
  engine.channelTypes[0] = 7;
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

  layer->level = 65535;
  GrandMaster = 0;
  EXPECT_EQ(Frames(1, 0), 0);
  EXPECT_EQ(engine.liveValues[0], 255);  // kept before the grand master
  EXPECT_EQ(engine.liveOutputLayer->GetOutputValue(0), 0);
  GrandMaster = 128;
  EXPECT_EQ(Frames(1, 0), 128);

  // A channel no layer drives any more holds its last mixed value.
  layer->level = 0;
  layer->SetChannelValue(1, 77, false);
  EXPECT_EQ(Frames(1, 1), 77);
  layer->SetChannelValue(1, 10, false);
  EXPECT_EQ(Frames(3, 1), 77);

  DmxEngineLayer* other = ActiveLayer();
  other->SetChannelValue(2, 55, false);
  engine.invert[2] = 1;
  engine.overrideValues[3] = 0x1AB;
  engine.CalculateFrame();
  EXPECT_EQ(Output(2, 2), (std::vector<int>{200, 0xAB}));
}

TEST_F(FrameMix, NothingOutsideTheStackOrTheFrameIsTaken) {
  DmxEngineLayer* layer = ActiveLayer();
  DmxEngineLayer stranger(&engine);
  engine.MoveLayerToTop(&stranger);
  EXPECT_EQ(engine.layers, (std::deque<DmxEngineLayer*>{layer}));
  layer->SetChannelValue(4, 9, false);
  layer->SetChannelValue(4, 10, true);  // only if absent
  layer->SetChannelValue(512, 10, false);
  layer->AddChannel(70000);
  EXPECT_EQ(layer->values[4], 9);
  EXPECT_EQ(layer->channelList, std::vector<uint16_t>{4});
}

// L1 makes a cue step in the first pass and moves to the top: L2 slides
// into the visited position and misses this frame's update, L1 is met again.
TEST_F(FrameMix, CueStepReordersTheStackWithinTheFrame) {
  Load("Cues 0",
       "Cuelists 3 Cues 1 Cue 0 Vals 1 0 10 Oscs 0 Timing 1 0 0 0 -1 1000 "
       "Cues 1 Cue 0 Vals 1 0 20 Oscs 0 Timing 1 0 0 0 -1 1000 "
       "Cues 1 Cue 0 Vals 1 0 30 Oscs 0 Timing 1 0 0 0 -1 1000");
  DmxEngineLayer* l1 = engine.cuelistLayers.at(0).get();
  DmxEngineLayer* l2 = engine.cuelistLayers.at(1).get();
  DmxEngineLayer* l3 = engine.cuelistLayers.at(2).get();
  for (int id : {1, 2, 0}) engine.GoCuelist(id, 0, 65535);
  engine.MoveLayerToBottom(l1);
  l2->countdown = 500;  // L2 and L3 run on without stepping
  l3->countdown = 500;
  engine.CalculateFrame();
  EXPECT_EQ(engine.layers, (std::deque<DmxEngineLayer*>{l2, l3, l1}));
  EXPECT_EQ(l1->clock, 82);  // stepped (clock from 0), then updated again on top
  EXPECT_EQ(l2->clock, 0);
  EXPECT_EQ(l3->clock, 41);
  EXPECT_EQ(engine.outputFrame[0], 10);
}

TEST_F(FrameMix, CueAndListCallsRefuseBadIds) {
  Load("Cues 1 Cue 0 0 Vals 0 Oscs 0", "Cuelists 1 Cues 0");
  EXPECT_EQ(engine.SetCuelistLevel(-1, 100), 0);
  EXPECT_EQ(engine.SetCueLevel(1, 7), 0);
  // A list stored without a layer passes the id tests but is still refused.
  engine.UpdateCuelist(1, Cuelist{});
  ASSERT_EQ(engine.GetCuelistCount(), 2);
  EXPECT_EQ(engine.SetCuelistLevel(1, 100), 0);
  EXPECT_EQ(engine.GoCuelist(1, 0, 65535), 0);
  EXPECT_EQ(engine.PauseCuelist(1, 0), 0);
}

}  // namespace
