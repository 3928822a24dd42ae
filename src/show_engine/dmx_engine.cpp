#include "show_engine/dmx_engine.h"

#include <algorithm>

#include "show_engine/oscillators.h"

DmxEngine* DmxEngineInstance = nullptr;

namespace {
std::mutex instanceLock;
}  // namespace

DmxEngine* DmxEngine::GetInstance() {
  std::lock_guard<std::mutex> guard(instanceLock);
  if (!DmxEngineInstance) DmxEngineInstance = new DmxEngine();
  return DmxEngineInstance;
}

void DmxEngine::DestroyInstance() {
  std::lock_guard<std::mutex> guard(instanceLock);
  delete DmxEngineInstance;
  DmxEngineInstance = nullptr;
}

DmxEngine::DmxEngine() : liveOutputLayer(std::make_unique<LiveOutputLayer>(Tables())) {
  BuildWaveTables();
  std::fill(std::begin(overrideValues), std::end(overrideValues), -1);
}

DmxEngine::~DmxEngine() = default;

SHOW_FRAME_LOOPS void DmxEngine::ComputeFrame(DmxEngine& engine, ServeFunction serve) {
  uint8_t(&outputFrame)[kEngineChannels] = engine.outputFrame;
  uint8_t(&touched)[kEngineChannels] = engine.touched;
  uint8_t(&liveValues)[kEngineChannels] = engine.liveValues;
  const std::deque<DmxEngineLayer*>& layers = engine.layers;
  std::fill(std::begin(outputFrame), std::end(outputFrame), 0);
  std::fill(std::begin(touched), std::end(touched), 0);
  uint8_t intensity[kEngineChannels];
  for (uint32_t channel = 0; channel < kEngineChannels; ++channel) {
    intensity[channel] = engine.IsIntensityChannel(channel) ? 1 : 0;
  }
  // Each layer's contribution is worked out for all 512 channels and masked
  // by the channels it drives: plain byte arrays, no call per channel. A
  // layer drives each channel at most once, so this is the same as walking
  // its channel list. At full level the values are worked out in the loop.
  uint8_t scaled[kEngineChannels];
  auto mix = [&](const DmxEngineLayer& layer, auto step) {
    const uint8_t* driven = layer.DrivenChannels();
    if (layer.level == kFullLevel) {
      const uint8_t* values = layer.values;
      const int16_t* offsets = layer.offsets;
      for (uint32_t c = 0; c < kEngineChannels; ++c) {
        step(c, driven[c], DmxEngineLayer::OffsetValue(values[c], offsets[c]));
      }
    } else {
      layer.OutputValues(intensity, scaled);
      for (uint32_t c = 0; c < kEngineChannels; ++c) step(c, driven[c], scaled[c]);
    }
  };
  auto add = [&](uint32_t c, uint8_t driven, uint8_t value) {
    const uint8_t take = driven & intensity[c];
    const uint32_t sum = std::min<uint32_t>(outputFrame[c] + value, 255);
    outputFrame[c] = take ? static_cast<uint8_t>(sum) : outputFrame[c];
    touched[c] |= take;
  };

  // Both passes walk by position and read the size afresh: a cue step moves
  // its layer to the top mid-walk, and shows are timed on the resulting
  // order (the moved layer is met again on top, the one after it is not
  // updated this frame). Iterators would be invalidated by the move. A list
  // that stops has the whole frame computed there and then, inside this one,
  // so every layer is updated once more: shows are timed on that too.
  for (size_t position = 0; position < layers.size(); ++position) {
    DmxEngineLayer* layer = layers[position];
    if (const LayerRequests requests = layer->Update()) serve(engine, layer, requests);
    if (!layer->additive || layer->inactive || layer->muted) continue;
    mix(*layer, add);
  }

  for (size_t position = 0; position < layers.size(); ++position) {
    DmxEngineLayer* layer = layers[position];
    if (!layer->inactive && !layer->muted && !layer->channelList.empty()) {
      const uint8_t highestTakes = layer->additive ? 0 : 1;
      // Latest takes precedence, or for intensity the highest (an equal
      // value marks the channel too); additive intensity was added above.
      mix(*layer, [&](uint32_t c, uint8_t driven, uint8_t value) {
        const uint8_t higher = outputFrame[c] <= value ? highestTakes : 0;
        const uint8_t take = driven & (intensity[c] ? higher : 1);
        outputFrame[c] = take ? value : outputFrame[c];
        touched[c] |= take;
      });
    }
    if (!layer->levelFade && layer->level == 0) layer->inactive = 1;
  }

  const uint32_t grandMaster = GrandMaster.load(std::memory_order_relaxed);
  for (uint32_t channel = 0; channel < kEngineChannels; ++channel) {
    uint32_t value = outputFrame[channel];
    if (engine.invert[channel]) value = 255 - value;
    // Live values are kept before the grand master so that raising it again
    // brings held channels back.
    if (touched[channel]) {
      liveValues[channel] = static_cast<uint8_t>(value);
    } else {
      value = liveValues[channel];
    }
    if (engine.IsIntensityChannel(channel)) value = value * grandMaster / 255;
    if (engine.overrideValues[channel] >= 0)
      value = static_cast<uint32_t>(engine.overrideValues[channel]);
    outputFrame[channel] = static_cast<uint8_t>(value);
  }
}

void DmxEngine::CalculateFrame() {
  ComputeFrame(*this, [](DmxEngine& engine, DmxEngineLayer* layer, LayerRequests requests) {
    engine.Serve(layer, requests);
  });
}

void DmxEngine::Serve(DmxEngineLayer* layer, LayerRequests requests) {
  if (requests & kLayerToTop) MoveLayerToTop(layer);
  if (requests & kLayerRecomputeFrame) CalculateFrame();
}

void DmxEngine::Run() {
  uint8_t frame[kEngineChannels];
  for (;;) {
    std::lock_guard<std::mutex> guard(lock_);
    CalculateFrame();
    std::copy(std::begin(outputFrame), std::end(outputFrame), frame);
  }
}

void DmxEngine::PushLayer(DmxEngineLayer* layer) { layers.push_back(layer); }

void DmxEngine::RemoveLayer(DmxEngineLayer* layer) {
  const auto found = std::find(layers.begin(), layers.end(), layer);
  if (found != layers.end()) layers.erase(found);
}

void DmxEngine::MoveLayerToTop(DmxEngineLayer* layer) {
  layers.push_back(layer);
  RemoveLayer(layer);
}

void DmxEngine::MoveLayerToBottom(DmxEngineLayer* layer) {
  RemoveLayer(layer);
  layers.push_front(layer);
}

void DmxEngine::SetGrandMaster(uint32_t value) { GrandMaster = value > 255 ? 255 : value; }

void DmxEngine::SetSpeed(uint32_t speed) {
  PlaybackSpeed = static_cast<int32_t>(std::clamp<uint32_t>(speed, 1000, 40000));
  for (size_t position = 0; position < layers.size(); ++position) {
    layers[position]->UpdateOscillatorSteps();
  }
}

void DmxEngine::ResetOscillatorPhases() {
  for (size_t position = 0; position < layers.size(); ++position) {
    layers[position]->ResetOscillatorPhases();
  }
}

int32_t DmxEngine::GetCueCount() const { return static_cast<int32_t>(show.cues.size()); }

int32_t DmxEngine::GetCuelistCount() const { return static_cast<int32_t>(show.cuelists.size()); }

DmxEngineLayer* DmxEngine::FindLayer(const LayerMap& layerMap, int32_t id) {
  const auto found = layerMap.find(id);
  return found == layerMap.end() ? nullptr : found->second.get();
}

DmxEngineLayer* DmxEngine::FindCueLayer(int32_t id) {
  if (id < 0 || id >= GetCueCount() || show.cues.count(id) == 0) return nullptr;
  return FindLayer(cueLayers, id);
}

DmxEngineLayer* DmxEngine::FindCuelistLayer(int32_t id) {
  if (id < 0 || id >= GetCuelistCount() || show.cuelists.count(id) == 0) return nullptr;
  return FindLayer(cuelistLayers, id);
}

DmxEngineLayer* DmxEngine::AddLayer(LayerMap& layerMap, int32_t id) {
  auto layer = std::make_unique<DmxEngineLayer>(Tables());
  DmxEngineLayer* added = layer.get();
  layerMap[id] = std::move(layer);
  PushLayer(added);
  return added;
}

void DmxEngine::DropLayer(LayerMap& layerMap, int32_t id) {
  const auto found = layerMap.find(id);
  if (found == layerMap.end()) return;
  RemoveLayer(found->second.get());
  layerMap.erase(found);
}

int32_t DmxEngine::SetCuelistLevel(int32_t id, uint32_t level) {
  DmxEngineLayer* layer = FindCuelistLayer(id);
  if (!layer) return 0;
  layer->level = static_cast<int32_t>(level);
  return 1;
}

int32_t DmxEngine::SetCueLevel(int32_t id, uint32_t level) {
  DmxEngineLayer* layer = FindCueLayer(id);
  if (!layer) return 0;
  layer->level = static_cast<int32_t>(level);
  return 1;
}
