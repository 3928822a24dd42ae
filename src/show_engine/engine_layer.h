#pragma once
// One playback layer of the show engine: a cue's or a cue list's channel
// values, oscillator offsets, level, level fade and channel fades. The
// engine mixes its layers bottom to top into one frame. A layer never calls
// its engine: what the engine must do in turn (move the layer on top, compute
// the frame again) comes back from the layer's operations as requests.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "dmx_types.h"
#include "show_engine/engine_globals.h"
#include "show_engine/fades.h"
#include "show_engine/oscillators.h"
#include "show_engine/show.h"

constexpr uint32_t kEngineChannels = kDmxChannels;

// The engine's per-channel tables that its layers read.
struct ChannelTables {
  static bool IsIntensity(int32_t type) { return type == 2 || type == 7; }
  bool IsIntensityChannel(uint32_t channel) const { return IsIntensity(channelTypes[channel]); }

  int32_t channelTypes[kEngineChannels] = {};
  int32_t channelSubtypes[kEngineChannels] = {};
  uint8_t startValues[kEngineChannels] = {};
  uint8_t liveValues[kEngineChannels] = {};
};

// What a layer operation asks of its engine, which does it before it goes
// on: the move first, then the frame.
enum LayerRequest : uint8_t {
  kLayerToTop = 1,           // a cue was applied
  kLayerRecomputeFrame = 2,  // the layer stopped or took a reloaded list
};
// LayerRequest flags; 0 asks for nothing.
using LayerRequests = uint8_t;

enum LayerState : int32_t {
  kLayerStopped = 0,
  kLayerRunning = 1,
  kLayerHalted = 4,
  kLayerPaused = 5,
};

class DmxEngineLayer {
 public:
  explicit DmxEngineLayer(const ChannelTables* channelTables);
  virtual ~DmxEngineLayer();
  DmxEngineLayer(const DmxEngineLayer&) = delete;
  DmxEngineLayer& operator=(const DmxEngineLayer&) = delete;

  // One layer's reading of a channel. Channels are below 512.
  virtual int32_t HasChannel(uint32_t channel);
  virtual int32_t GetValue(uint32_t channel);
  virtual int32_t GetOutputValue(uint32_t channel);

  // Universe-addressed forms; anything beyond the one frame reads as 0.
  int32_t HasChannelAt(uint32_t universe, uint32_t channel);
  int32_t GetValueAt(uint32_t universe, uint32_t channel);
  int32_t GetOutputValueAt(uint32_t universe, uint32_t channel);

  // Values, channel list and oscillators; level, fades, state and flags stay.
  void Clear();
  void AddChannel(uint32_t channel);
  void SetChannelValue(uint32_t channel, uint8_t value, bool onlyIfAbsent);

  void SetLevel(int32_t target, int32_t time);
  void FadeOut(int32_t time);
  // all false spares fades that have been falling for more than 250 ms.
  void SetFadesPaused(bool pause, bool all);
  void AddChannelFade(uint16_t channel, uint8_t value, int32_t rise, int32_t hold, int32_t fall);
  void AddChannelFade(uint16_t channel, uint16_t fineChannel, uint8_t coarse, uint8_t fine,
                      int32_t rise, int32_t hold, int32_t fall);
  // Null when the channel lies outside the frame.
  Oscillator* AddOscillator(uint32_t universe, uint32_t channel, int32_t waveform, uint32_t period,
                            uint16_t phase, uint16_t amplitude, uint16_t width);
  Oscillator* AddOscillator(uint32_t universe, uint32_t channel, uint32_t fineChannel,
                            int32_t waveform, uint32_t period, uint16_t phase, uint16_t amplitude,
                            uint16_t width);
  void ResetOscillatorPhases();
  void UpdateOscillatorSteps();
  // With timings the values fade per channel type and the level is left
  // alone; without, the values are set at once and the level comes up over
  // fadeTime. The layer asks to go on top of the stack.
  [[nodiscard]] LayerRequests ApplyCue(const Cue& cue, bool clear,
                                       const std::vector<CueTiming>& timings, uint32_t fadeTime);
  void SnapshotCue(Cue& cue) const;

  // What the mix reads: GetOutputValue of every channel at once, with
  // `intensity` marking the intensity channels, and which channels the layer
  // drives (1) or not (0).
  void OutputValues(const uint8_t* intensity, uint8_t* out) const;
  // GetOutputValue at full level, or of a channel that is not intensity:
  // value plus offset, limited to a byte. An offset beyond +-256 saturates
  // either way; bounding it first keeps the sum in 16 bits, twice the
  // channels per step of 32.
  static uint8_t OffsetValue(uint8_t value, int16_t offset) {
    offset = offset < -256 ? -256 : offset;
    offset = offset > 256 ? 256 : offset;
    auto sum = static_cast<int16_t>(value + offset);
    sum = sum < 0 ? 0 : sum;
    sum = sum > 255 ? 255 : sum;
    return static_cast<uint8_t>(sum);
  }
  const uint8_t* DrivenChannels() const { return inChannelList_; }

  // One frame of playback.
  [[nodiscard]] LayerRequests Update();
  void LoadCuelist(const Cuelist& list);
  // Takes a new copy of the list but keeps playing at the present clock, and
  // asks for the frame to be computed again.
  [[nodiscard]] LayerRequests ReloadCuelist(const Cuelist& list);
  [[nodiscard]] LayerRequests Pause();
  // Asks for the frame to be computed again, so the channels fall back at
  // once.
  [[nodiscard]] LayerRequests Stop();

  uint8_t values[kEngineChannels] = {};
  int16_t offsets[kEngineChannels] = {};
  std::vector<uint16_t> channelList;
  Cuelist cuelist;
  OscillatorMap oscillators;
  std::optional<LevelFade> levelFade;
  ChannelFadeSet channelFades;
  int32_t level = kFullLevel;
  int32_t state = kLayerStopped;
  int32_t currentEntry = 0;
  int32_t nextEntry = 0;
  int32_t clock = 0;
  int32_t countdown = 9999999;
  uint8_t inactive = 1;
  uint8_t muted = 0;
  uint8_t additive = 0;
  const ChannelTables* tables;

 private:
  int32_t ScaledValue(uint32_t channel, int32_t offset) const;
  [[nodiscard]] LayerRequests CueStep();
  void UpdateOscillators();
  void UpdateLevelFade();
  void UpdateChannelFades();
  void DeleteChannelFades();
  // Forms the coarse/fine pairs of a cue applied with timings.
  void StagePairs(const Cue& cue, const std::vector<CueTiming>& timings);

  // Mirrors channelList so that the per-frame AddChannel calls stay cheap.
  uint8_t inChannelList_[kEngineChannels] = {};
  // Fades added from outside a cue application, or a channel list cleared
  // under running fades: their channels join the list on the next update.
  bool fadeChannelsPending_ = false;
  // Room a cue application works in, kept so that cue steps allocate nothing.
  std::vector<uint8_t> paired_;
  std::vector<std::pair<uint16_t, uint16_t>> pairs_;
};

// A layer view of the engine's live values; kept off the stack.
class LiveOutputLayer : public DmxEngineLayer {
 public:
  explicit LiveOutputLayer(const ChannelTables* channelTables);
  int32_t HasChannel(uint32_t channel) override;
  int32_t GetValue(uint32_t channel) override;
  int32_t GetOutputValue(uint32_t channel) override;
};
