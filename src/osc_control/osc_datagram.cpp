#include "osc_control/osc_datagram.h"

#include <cstdint>
#include <cstring>

namespace {

// "#bundle" with its NUL, then the 8-byte time tag.
constexpr size_t kBundleHeaderSize = 16;
constexpr size_t kElementSizeField = 4;

int32_t ReadSize(const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                              static_cast<uint32_t>(b[2]) << 8 | b[3]);
}

const char* BundleFault(const char* data, size_t size) {
  if (size % 4 != 0) return "bundle size not a multiple of 4";
  if (size < kBundleHeaderSize) return "bundle shorter than its header";
  if (std::memcmp(data, "#bundle", 8) != 0) return "not \"#bundle\"";
  size_t at = kBundleHeaderSize;
  // Sizes are multiples of 4 from here on, so a size field never straddles
  // the end.
  while (at < size) {
    const int32_t elementSize = ReadSize(data + at);
    at += kElementSizeField;
    if (elementSize <= 0) return "element size not positive";
    if (elementSize % 4 != 0) return "element size not a multiple of 4";
    if (static_cast<size_t>(elementSize) > size - at) return "element beyond its bundle";
    const char* element = data + at;
    // Nesting costs at least 20 bytes a level, so the depth stays bounded by
    // the datagram.
    if (element[0] == '#') {
      if (const char* fault = BundleFault(element, static_cast<size_t>(elementSize))) return fault;
    }
    at += static_cast<size_t>(elementSize);
  }
  return nullptr;
}

}  // namespace

const char* OscStructureFault(const char* data, size_t size) {
  if (size == 0 || data[0] != '#') return nullptr;
  return BundleFault(data, size);
}
