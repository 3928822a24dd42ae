// Identity and configuration texts: whatever the front end leaves in /tmp
// must parse without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "any_device.h"
#include "config_file.h"
#include "device_identity.h"
#include "fixed_field.h"
#include "stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  fuzz_device::AcceptEveryDeviceCall();
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  DeviceIdentityRecord identity;
  ParseSerialText(text, &identity);

  // Every stream line builds its stream, as the configuration reader would,
  // without storing it or starting a port thread.
  const StartupFile<ConfigRecord> file = ParseConfigText(text);
  size_t built = 0;
  for (const ConfigRecord& record : file.records) {
    if (built++ == 16) break;
    // A show player opens its show file, and a missing one is fatal.
    if (record.kind == kStreamGenerator &&
        ReadFixedField(record.text, 0, 3) == kGeneratorShowPlayer) {
      continue;
    }
    std::unique_ptr<Stream> stream(NewConfiguredStream(record));
  }
  return 0;
}
