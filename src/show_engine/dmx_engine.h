#pragma once
// The show engine: one per process, shared by every show-playing generator.
// It plays a loaded show on a stack of layers (one per cue and per cue list)
// and mixes them into a 512-channel frame: intensity channels highest-takes-
// precedence (or added, for additive layers), the rest latest-takes-
// precedence, undriven channels held, intensity scaled by the grand master.
//
// Locking: the engine has one lock, which only Run takes itself. Its other
// operations and all of its data (the layers, the frame, the show, the layer
// maps and the channel tables) are not public: another thread reaches a
// shared engine only through a LockedEngine (show_engine/locked_engine.h),
// which holds the lock for as long as it lives, so a call or a read without
// the lock does not compile. An OwnedEngine, seen by one thread alone, opens
// them without the lock.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "show_engine/engine_globals.h"
#include "show_engine/engine_layer.h"
#include "show_engine/show.h"

// The channel tables are the part of the engine its layers read.
class DmxEngine : protected ChannelTables {
 public:
  static DmxEngine* GetInstance();
  static void DestroyInstance();

  DmxEngine();
  virtual ~DmxEngine();
  DmxEngine(const DmxEngine&) = delete;
  DmxEngine& operator=(const DmxEngine&) = delete;

  // Computes frames for ever, each under the lock.
  virtual void Run();

 protected:
  friend class LockedEngine;

  // Computes the next frame into outputFrame.
  void CalculateFrame();

  void PushLayer(DmxEngineLayer* layer);
  void RemoveLayer(DmxEngineLayer* layer);
  void MoveLayerToTop(DmxEngineLayer* layer);
  void MoveLayerToBottom(DmxEngineLayer* layer);

  void SetGrandMaster(uint32_t value);
  void SetSpeed(uint32_t speed);
  void ResetOscillatorPhases();
  int32_t GetCueCount() const;
  int32_t GetCuelistCount() const;
  // 1 on success, 0 for an id the show does not have.
  int32_t SetCuelistLevel(int32_t id, uint32_t level);
  int32_t SetCueLevel(int32_t id, uint32_t level);

  void LoadShow(const std::string& text);
  std::string SaveShow();
  void Clear();

  // Playback control; 1 on success, 0 for an id the show does not have.
  int32_t GoCuelist(int32_t id, uint8_t additive, int32_t level);
  int32_t PauseCuelist(int32_t id, uint8_t additive);
  int32_t GoCue(int32_t id, uint8_t additive, int32_t level);
  int32_t ReleaseCue(int32_t id, uint8_t additive, uint8_t immediate);
  void StoreCue(int32_t id, const Cue& cue);
  DmxEngineLayer* CreateCue(int32_t id, const Cue& cue, int32_t fadeIn, int32_t fadeOut);
  DmxEngineLayer* CreateCuelist(int32_t id, const Cuelist& list);
  void UpdateCuelist(int32_t id, const Cuelist& list);

  // What every layer of this engine reads.
  const ChannelTables* Tables() const { return this; }

  using LayerMap = std::map<int32_t, std::unique_ptr<DmxEngineLayer>>;

  std::deque<DmxEngineLayer*> layers;  // bottom first; the maps own the layers
  uint8_t outputFrame[kEngineChannels] = {};
  uint8_t touched[kEngineChannels] = {};
  Show show;
  LayerMap cueLayers;
  LayerMap cuelistLayers;
  std::unique_ptr<LiveOutputLayer> liveOutputLayer;
  int32_t overrideValues[kEngineChannels];
  uint8_t invert[kEngineChannels] = {};

 private:
  using ServeFunction = void (*)(DmxEngine&, DmxEngineLayer*, LayerRequests);
  // The frame computation of CalculateFrame. A function of its own so that
  // it can be built for several vector units: calls from other files then
  // still find one plain symbol. `serve` does what a layer's update asks for,
  // which may be this whole computation once more.
  static void ComputeFrame(DmxEngine& engine, ServeFunction serve);
  // Null for an id the show does not have, or one stored without a layer.
  DmxEngineLayer* FindCueLayer(int32_t id);
  DmxEngineLayer* FindCuelistLayer(int32_t id);
  static DmxEngineLayer* FindLayer(const LayerMap& layerMap, int32_t id);
  // A new layer registered under id and pushed on top of the stack.
  DmxEngineLayer* AddLayer(LayerMap& layerMap, int32_t id);
  // Takes the layer under id off the stack and destroys it.
  void DropLayer(LayerMap& layerMap, int32_t id);
  // Does what a layer operation asked for, the move before the frame.
  void Serve(DmxEngineLayer* layer, LayerRequests requests);

  std::mutex lock_;
};

extern DmxEngine* DmxEngineInstance;
