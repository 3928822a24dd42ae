#include "dmx_generator.h"

#include <glog/logging.h>

#include <string>

#include "fixed_field.h"

DmxGenerator::DmxGenerator(std::string_view text) {
  long typeNumber = ReadFixedField(text, 0, 3);
  input = 0;
  switch (typeNumber) {
    case kGeneratorFixed:
      // A line that ends before its 512th group leaves the rest at 0.
      for (size_t k = 0; k < 512; ++k) {
        values[k] = static_cast<uint8_t>(ReadFixedField(text, 3 + 3 * k, 3));
      }
      type = kGeneratorFixed;
      VLOG(2) << "Created DMX Generator Type 0 with values: " << static_cast<int>(values[0]) << " "
              << static_cast<int>(values[1]) << " " << static_cast<int>(values[2]) << " ...";
      break;
    case kGeneratorOsc:
      type = kGeneratorOsc;
      VLOG(2) << "Created DMX Generator Type 2 with src address "
              << (text.size() > 3 ? std::string(text.substr(3)) : std::string());
      break;
    default:
      // Any other type carries zeros and is neither played nor OSC-driven.
      break;
  }
}
