// Raw UDP datagrams through the OSC library's parser and the engine's
// listener, then one frame of the show player: no address, argument or
// bundle may crash the listener, write outside a stream or leave the show
// engine in a state a frame cannot be computed from.
#include <cstddef>
#include <cstdint>

#include "osc_control/osc_listener.h"
#include "show_engine/locked_engine.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"

namespace {

const char kShow[] =
    "ENDP 1 Cues 0 Cuelists 2 Cues 1 Cue 0 Vals 1 0 255 Oscs 1 0 -1 0 1000 0 500 50 "
    "Timing 3 0 0 1000 500 0 0 0 0 0 0 0 0 500 0 0 Cues 1 Cue 1 Vals 1 3 77 Oscs 0 "
    "Timing 3 0 0 0 -1 100 0 0 0 -1 100 0 0 0 -1 100 DefVals 0 ChTypes 4 2 0 7 0 ChSubtypes 0";

// Streams: a show player (its file stands in for the engine's own load), an
// OSC-driven stream, fixed values.
void BuildStreams() {
  const char* lines[] = {"002\n", "002\n", "000255255\n"};
  for (uint32_t i = 0; i < 3; ++i) StreamTable[i] = new Stream(i, kStreamGenerator, lines[i]);
  StreamTable[0]->generator.type = kGeneratorShowPlayer;
  StreamTable[0]->generator.engine = DmxEngine::GetInstance();
  StreamCount = 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ExamplePacketListener listener;
  static const bool built = (BuildStreams(), true);
  (void)built;
  {
    LockedEngine engine(*DmxEngine::GetInstance());
    engine.LoadShow(kShow);
    engine.GoCuelist(0, 0, kFullLevel);
  }
  GrandMaster = 255;
  listener.ProcessPacket(reinterpret_cast<const char*>(data), static_cast<int>(size),
                         IpEndpointName());
  PlayShowFrame();
  PlayShowFrame();
  return 0;
}
