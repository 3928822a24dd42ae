// Identity and configuration texts: whatever the front end leaves in /tmp
// must parse without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "config_file.h"
#include "device_identity.h"
#include "fixed_field.h"
#include "stream.h"
#include "xuart_device.h"

namespace {

// Port lines open their devices: here every device opens and takes any call.
int AnyOpen(const char*, int) { return 3; }
ssize_t AnyWrite(int, const void*, size_t length) { return static_cast<ssize_t>(length); }
ssize_t NothingRead(int, void*, size_t) { return 0; }
int AnyIoctl(int, unsigned long, void*) { return 0; }
const XuartBackend kAnyDevice = {AnyOpen, AnyWrite, NothingRead, AnyIoctl};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  SetXuartBackendForTesting(&kAnyDevice);
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
