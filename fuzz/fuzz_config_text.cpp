// Identity and configuration texts: whatever the front end leaves in /tmp
// must parse without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "any_device.h"
#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "dmx_generator.h"
#include "stream.h"

namespace {

// What every show player loads instead of its file: the show reader has a
// fuzzer of its own, and a file that does not open ends the process.
bool ReadFixedShow(const std::string& path, std::string* text) {
  (void)path;
  *text = "ENDP 1 Cues 0 Cuelists 1 Cues 1 Cue 0 Vals 1 0 255 Oscs 0 Timing 1 0 0 1000 -1 0 "
          "DefVals 0 ChTypes 0 ChSubtypes 0";
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  fuzz_device::AcceptEveryDeviceCall();
  DmxGenerator::readShow = ReadFixedShow;
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  DeviceIdentityRecord identity;
  ParseSerialText(text, &identity);

  // Every stream line starts its stream, as the configuration reader would,
  // without storing it or starting a port thread.
  const StartupFile<ConfigRecord> file = ParseConfigText(text);
  size_t built = 0;
  for (const ConfigRecord& record : file.records) {
    if (built++ == 16) break;
    std::unique_ptr<Stream> stream(StartConfiguredStream(record));
  }
  return 0;
}
