// Identity and configuration texts: whatever the front end leaves in /tmp
// must parse without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device_identity.h"
#include "fixed_field.h"
#include "line_reader.h"
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
  ParseSerialText(text);

  // Every line that is a stream builds one, as the configuration reader
  // would, without starting the port threads.
  LineReader lines(text, 2048);
  std::string_view line;
  int built = 0;
  while (lines.Next(&line) && built < 16) {
    if (line.empty()) continue;
    std::string_view rest = line.substr(1);
    switch (line[0]) {
      case 'S': { Stream s(0, kStreamNetwork, -1, rest); break; }
      case 'V': { Stream s(0, kStreamVirtual, rest); break; }
      case 'D': { Stream s(0, kStreamNxb, rest); break; }
      case 'C':
        // A show player opens its show file, and a missing one is fatal.
        if (ReadFixedField(rest, 0, 3) != kGeneratorShowPlayer) Stream s(0, kStreamGenerator, rest);
        break;
      case 'L': { Stream s(0, kStreamLedrunnerPort, rest); break; }
      case 'P': { Stream s(0, kStreamPort, rest); break; }
      default: break;
    }
    ++built;
  }
  ResetDeviceIdentity();
  return 0;
}
