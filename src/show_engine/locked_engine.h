#pragma once
// The show engine's way in. The show-player thread, the OSC handler and a
// show load run on different threads against one engine; a LockedEngine holds
// the engine's lock from its construction to its end, and the engine's
// operations and data are reachable through nothing else, so a call or a read
// that forgot the lock does not compile. Keep one short-lived, and take
// nothing else's lock while holding it.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "show_engine/dmx_engine.h"

class LockedEngine {
 public:
  explicit LockedEngine(DmxEngine& engine) : engine_(engine), guard_(engine.lock_) {}
  LockedEngine(const LockedEngine&) = delete;
  LockedEngine& operator=(const LockedEngine&) = delete;

  void CalculateFrame() { engine_.CalculateFrame(); }
  // The last computed frame, copied out so it can be used after the lock.
  void CopyOutputFrame(uint8_t (&frame)[kEngineChannels]) const {
    std::memcpy(frame, engine_.outputFrame, sizeof(frame));
  }

  void LoadShow(const std::string& text) { engine_.LoadShow(text); }
  int32_t GetCueCount() const { return engine_.GetCueCount(); }
  int32_t GetCuelistCount() const { return engine_.GetCuelistCount(); }

  int32_t GoCuelist(int32_t id, uint8_t additive, int32_t level) {
    return engine_.GoCuelist(id, additive, level);
  }
  int32_t PauseCuelist(int32_t id, uint8_t additive) { return engine_.PauseCuelist(id, additive); }
  int32_t SetCuelistLevel(int32_t id, uint32_t level) { return engine_.SetCuelistLevel(id, level); }
  void SetGrandMaster(uint32_t value) { engine_.SetGrandMaster(value); }

  // What a test reads of a shared engine, while this holds the lock.
  const DmxEngine::LayerMap& CuelistLayers() const { return engine_.cuelistLayers; }
  const ChannelTables& Tables() const { return *engine_.Tables(); }

 private:
  DmxEngine& engine_;
  std::lock_guard<std::mutex> guard_;
};

// An engine that one thread owns outright (a test, a fuzzer, a benchmark):
// no other thread can see it, so its operations and data are open without
// the lock.
class OwnedEngine : public DmxEngine {
 public:
  using DmxEngine::CalculateFrame;
  using DmxEngine::Clear;
  using DmxEngine::CreateCue;
  using DmxEngine::CreateCuelist;
  using DmxEngine::GetCueCount;
  using DmxEngine::GetCuelistCount;
  using DmxEngine::GoCue;
  using DmxEngine::GoCuelist;
  using DmxEngine::LoadShow;
  using DmxEngine::MoveLayerToBottom;
  using DmxEngine::MoveLayerToTop;
  using DmxEngine::PauseCuelist;
  using DmxEngine::PushLayer;
  using DmxEngine::ReleaseCue;
  using DmxEngine::RemoveLayer;
  using DmxEngine::ResetOscillatorPhases;
  using DmxEngine::SaveShow;
  using DmxEngine::SetCueLevel;
  using DmxEngine::SetCuelistLevel;
  using DmxEngine::SetGrandMaster;
  using DmxEngine::SetSpeed;
  using DmxEngine::StoreCue;
  using DmxEngine::Tables;
  using DmxEngine::UpdateCuelist;

  using DmxEngine::cueLayers;
  using DmxEngine::cuelistLayers;
  using DmxEngine::invert;
  using DmxEngine::layers;
  using DmxEngine::outputFrame;
  using DmxEngine::overrideValues;
  using DmxEngine::show;
};
