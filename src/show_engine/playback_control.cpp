// The engine's operations that start, pause, release and edit cues and cue
// lists.
#include "show_engine/dmx_engine.h"

int32_t DmxEngine::GoCuelist(int32_t id, uint8_t additiveFlag, int32_t newLevel) {
  DmxEngineLayer* layer = FindCuelistLayer(id);
  if (!layer) return 0;
  layer->inactive = 0;
  if (layer->state == kLayerStopped || layer->state == kLayerPaused) {
    layer->additive = additiveFlag;
    const Cuelist& list = show.cuelists.at(id);
    layer->LoadCuelist(list);
    layer->state = list.entries.empty() ? kLayerStopped : kLayerRunning;
  }
  layer->level = newLevel;
  MoveLayerToTop(layer);
  return 1;
}

int32_t DmxEngine::PauseCuelist(int32_t id, uint8_t additiveFlag) {
  DmxEngineLayer* layer = FindCuelistLayer(id);
  if (!layer) return 0;
  layer->additive = additiveFlag;
  Serve(layer, layer->Pause());
  return 1;
}

namespace {

void SettleLevelFade(DmxEngineLayer& layer) {
  if (!layer.levelFade) return;
  layer.level = layer.levelFade->GetValue();
  layer.levelFade.reset();
}

}  // namespace

int32_t DmxEngine::GoCue(int32_t id, uint8_t additiveFlag, int32_t newLevel) {
  DmxEngineLayer* layer = FindCueLayer(id);
  if (!layer) return 0;
  if (layer->inactive || layer->muted) layer->ResetOscillatorPhases();
  layer->additive = additiveFlag;
  const int32_t time = FadeTimeOf(show.fadeIn, id);
  SettleLevelFade(*layer);
  if (newLevel != layer->level) {
    layer->levelFade.emplace(layer->level, newLevel, time, 0);
  }
  layer->inactive = 0;
  MoveLayerToTop(layer);
  return 1;
}

int32_t DmxEngine::ReleaseCue(int32_t id, uint8_t additiveFlag, uint8_t immediate) {
  DmxEngineLayer* layer = FindCueLayer(id);
  if (!layer) return 0;
  layer->additive = additiveFlag;
  const int32_t time = immediate ? 0 : FadeTimeOf(show.fadeOut, id);
  SettleLevelFade(*layer);
  if (layer->level != 0) layer->levelFade.emplace(layer->level, 0, time, 0);
  return 1;
}

void DmxEngine::StoreCue(int32_t id, const Cue& cue) {
  show.cues[id] = cue;
  if (DmxEngineLayer* layer = FindLayer(cueLayers, id)) {
    Serve(layer, layer->ApplyCue(show.cues[id], false, {},
                                 static_cast<uint32_t>(FadeTimeOf(show.fadeIn, id))));
  }
}

DmxEngineLayer* DmxEngine::CreateCue(int32_t id, const Cue& cue, int32_t fadeIn, int32_t fadeOut) {
  DropLayer(cueLayers, id);
  show.cues[id] = cue;
  show.fadeIn[id] = fadeIn;
  show.fadeOut[id] = fadeOut;
  DmxEngineLayer* layer = AddLayer(cueLayers, id);
  Serve(layer, layer->ApplyCue(show.cues[id], false, {}, static_cast<uint32_t>(fadeIn)));
  layer->inactive = 1;
  return layer;
}

DmxEngineLayer* DmxEngine::CreateCuelist(int32_t id, const Cuelist& list) {
  DropLayer(cuelistLayers, id);
  show.cuelists[id] = list;
  return AddLayer(cuelistLayers, id);
}

void DmxEngine::UpdateCuelist(int32_t id, const Cuelist& list) {
  show.cuelists[id] = list;
  if (DmxEngineLayer* layer = FindLayer(cuelistLayers, id)) {
    Serve(layer, layer->ReloadCuelist(show.cuelists[id]));
  }
}
