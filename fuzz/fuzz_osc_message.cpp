// Raw UDP datagrams through the OSC library's parser and the engine's
// listener, then one frame of the show player: no address, argument or
// bundle may crash the listener, write outside a stream or leave the show
// engine in a state a frame cannot be computed from. The listener reads
// floats only, so every datagram the structure check lets through is also
// walked here argument by argument, with the library's reader for each
// type: the check must keep every one of them inside the datagram.
#include <oscpack/osc/OscReceivedElements.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "startup/config_file.h"
#include "dmx_generator.h"
#include "osc_control/osc_datagram.h"
#include "osc_control/osc_listener.h"
#include "show_engine/locked_engine.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"

namespace {

const char kShow[] =
    "ENDP 1 Cues 0 Cuelists 2 Cues 1 Cue 0 Vals 1 0 255 Oscs 1 0 -1 0 1000 0 500 50 "
    "Timing 3 0 0 1000 500 0 0 0 0 0 0 0 0 500 0 0 Cues 1 Cue 1 Vals 1 3 77 Oscs 0 "
    "Timing 3 0 0 0 -1 100 0 0 0 -1 100 0 0 0 -1 100 DefVals 0 ChTypes 4 2 0 7 0 ChSubtypes 0";

// Streams: a show player (the show above stands in for its file), an
// OSC-driven stream, fixed values.
void BuildStreams() {
  DmxGenerator::readShow = [](const std::string&, std::string* text) {
    *text = kShow;
    return true;
  };
  ProcessConfigText("C001000show\nC002\nC000255255\n");
}

void WalkArguments(const osc::ReceivedMessage& message) {
  volatile size_t sink = 0;
  for (auto a = message.ArgumentsBegin(); a != message.ArgumentsEnd(); ++a) {
    switch (a->TypeTag()) {
      case osc::TRUE_TYPE_TAG: case osc::FALSE_TYPE_TAG: sink += a->AsBool(); break;
      case osc::INT32_TYPE_TAG: sink += static_cast<size_t>(a->AsInt32()); break;
      case osc::FLOAT_TYPE_TAG: sink += static_cast<size_t>(a->AsFloat() != 0); break;
      case osc::CHAR_TYPE_TAG: sink += static_cast<size_t>(a->AsChar()); break;
      case osc::RGBA_COLOR_TYPE_TAG: sink += a->AsRgbaColor(); break;
      case osc::MIDI_MESSAGE_TYPE_TAG: sink += a->AsMidiMessage(); break;
      case osc::INT64_TYPE_TAG: sink += static_cast<size_t>(a->AsInt64()); break;
      case osc::TIME_TAG_TYPE_TAG: sink += a->AsTimeTag(); break;
      case osc::DOUBLE_TYPE_TAG: sink += static_cast<size_t>(a->AsDouble() != 0); break;
      case osc::STRING_TYPE_TAG: sink += std::strlen(a->AsString()); break;
      case osc::SYMBOL_TYPE_TAG: sink += std::strlen(a->AsSymbol()); break;
      case osc::BLOB_TYPE_TAG: {
        const void* blob;
        osc::osc_bundle_element_size_t size;
        a->AsBlob(blob, size);
        if (size > 0) sink += static_cast<const uint8_t*>(blob)[size - 1];
        break;
      }
      case osc::ARRAY_BEGIN_TYPE_TAG: sink += a->ComputeArrayItemCount(); break;
      default: break;
    }
  }
  (void)sink;
}

void WalkBundle(const osc::ReceivedBundle& bundle) {
  for (auto e = bundle.ElementsBegin(); e != bundle.ElementsEnd(); ++e) {
    if (e->IsBundle()) {
      WalkBundle(osc::ReceivedBundle(*e));
    } else {
      WalkArguments(osc::ReceivedMessage(*e));
    }
  }
}

void Walk(const char* data, size_t size) {
  if (OscStructureFault(data, size) != nullptr) return;
  try {
    osc::ReceivedPacket packet(data, static_cast<osc::osc_bundle_element_size_t>(size));
    if (packet.IsBundle()) {
      WalkBundle(osc::ReceivedBundle(packet));
    } else {
      WalkArguments(osc::ReceivedMessage(packet));
    }
  } catch (const osc::Exception&) {
    // Refused by the library itself, before it read past anything.
  }
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
  Walk(reinterpret_cast<const char*>(data), size);
  return 0;
}
