// Moving a show between text, records and playback layers.
#include <glog/logging.h>

#include <locale>
#include <sstream>

#include "show_engine/dmx_engine.h"
#include "show_engine/show_text.h"

void DmxEngine::LoadShow(const std::string& text) {
  Clear();
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  if (!ReadShow(in, show)) {
    VLOG(1) << "Vistro show text ends early or holds a bad field; keeping " << show.cues.size()
            << " cues and " << show.cuelists.size() << " cue lists";
  }

  for (const auto& [index, cue] : show.cues) {
    DmxEngineLayer* layer = AddLayer(cueLayers, index);
    Serve(layer, layer->ApplyCue(cue, false, {},
                                 static_cast<uint32_t>(FadeTimeOf(show.fadeIn, index))));
    layer->inactive = 1;
  }
  for (const auto& entry : show.cuelists) AddLayer(cuelistLayers, entry.first);

  // Entries beyond the frame stay in the show (a save writes them back) but
  // have no channel to go to.
  for (size_t ch = 0; ch < kEngineChannels && ch < show.DefVals.size(); ++ch) {
    startValues[ch] = show.DefVals[ch];
    liveValues[ch] = show.DefVals[ch];
  }
  for (size_t ch = 0; ch < kEngineChannels && ch < show.ChTypes.size(); ++ch) {
    channelTypes[ch] = show.ChTypes[ch];
  }
  for (size_t ch = 0; ch < kEngineChannels && ch < show.ChSubtypes.size(); ++ch) {
    channelSubtypes[ch] = show.ChSubtypes[ch];
  }
}

std::string DmxEngine::SaveShow() {
  // The tables are replaced, not appended to: appending would put the old
  // entries first, and a reload applies the first 512 of each.
  show.DefVals.assign(std::begin(startValues), std::end(startValues));
  show.ChTypes.clear();
  show.ChSubtypes.assign(std::begin(channelSubtypes), std::end(channelSubtypes));
  for (int32_t type : channelTypes) show.ChTypes.push_back(static_cast<uint8_t>(type));
  std::ostringstream out;
  out.imbue(std::locale::classic());
  WriteShow(out, show);
  return out.str();
}

void DmxEngine::Clear() {
  show.ENDP = 4294967295u;
  show.cues.clear();
  show.cuelists.clear();
  show.fadeIn.clear();
  show.fadeOut.clear();
  show.DefVals.clear();
  show.ChTypes.clear();
  show.ChSubtypes.clear();
  for (LayerMap* layerMap : {&cueLayers, &cuelistLayers}) {
    for (auto& entry : *layerMap) {
      Serve(entry.second.get(), entry.second->Stop());
      RemoveLayer(entry.second.get());
    }
    layerMap->clear();
  }
}
