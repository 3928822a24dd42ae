#include "osc_control/osc_datagram.h"

#include <cstdint>
#include <cstring>

#include "protocols/byte_order.h"

namespace {

// "#bundle" with its NUL, then the 8-byte time tag.
constexpr size_t kBundleHeaderSize = 16;
constexpr size_t kSizeField = 4;

int32_t ReadSize(const char* p) {
  return static_cast<int32_t>(GetU32Be(reinterpret_cast<const uint8_t*>(p)));
}

// Where the library resumes after a string starting at `at`, or 0 when it
// would search past `end`. The library looks for the NUL only at the last
// byte of each 4-byte block (or at the first, for an empty string), so a
// string is taken exactly as it would take it. `at` and `end` are
// multiples of 4 from the element's start.
size_t StringEnd(const char* element, size_t at, size_t end) {
  if (at >= end) return 0;
  if (element[at] == '\0') return at + 4;
  for (size_t p = at + 3; p < end; p += 4) {
    if (element[p] == '\0') return p + 1;
  }
  return 0;
}

// Bytes each fixed-size argument takes; -1 for a string, -2 for a blob, 0
// for the tags that carry no data, and -3 for a tag the library does not
// know.
int ArgumentWidth(char tag) {
  switch (tag) {
    case 'T': case 'F': case 'N': case 'I': case '[': case ']':
      return 0;
    case 'i': case 'f': case 'c': case 'r': case 'm':
      return 4;
    case 'h': case 't': case 'd':
      return 8;
    case 's': case 'S':
      return -1;
    case 'b':
      return -2;
    default:
      return -3;
  }
}

const char* MessageFault(const char* data, size_t size) {
  if (size == 0) return "empty message";
  if (size % 4 != 0) return "message size not a multiple of 4";
  const size_t tags = StringEnd(data, 0, size);
  if (tags == 0) return "address not terminated";
  // No type tags at all, or an empty list: no arguments.
  if (tags == size) return nullptr;
  if (data[tags] != ',') return "type tags without ','";
  if (data[tags + 1] == '\0') return nullptr;
  size_t argument = StringEnd(data, tags, size);
  if (argument == 0) return "type tags not terminated";
  for (size_t t = tags + 1; data[t] != '\0'; ++t) {
    const int width = ArgumentWidth(data[t]);
    if (width == -3) return "unknown type tag";
    if (width > 0) {
      if (static_cast<size_t>(width) > size - argument) return "argument beyond the message";
      argument += static_cast<size_t>(width);
    } else if (width == -1) {
      argument = StringEnd(data, argument, size);
      if (argument == 0) return "string argument not terminated";
    } else if (width == -2) {
      if (kSizeField > size - argument) return "blob size beyond the message";
      // Read as the library reads it, unsigned, then rounded up to 4.
      const uint64_t blob = GetU32Be(reinterpret_cast<const uint8_t*>(data + argument));
      argument += kSizeField;
      if ((blob + 3) / 4 * 4 > size - argument) return "blob beyond the message";
      argument += static_cast<size_t>((blob + 3) / 4 * 4);
    }
  }
  return nullptr;
}

const char* ElementFault(const char* data, size_t size);

const char* BundleFault(const char* data, size_t size) {
  if (size % 4 != 0) return "bundle size not a multiple of 4";
  if (size < kBundleHeaderSize) return "bundle shorter than its header";
  if (std::memcmp(data, "#bundle", 8) != 0) return "not \"#bundle\"";
  size_t at = kBundleHeaderSize;
  // Sizes are multiples of 4 from here on, so a size field never straddles
  // the end.
  while (at < size) {
    const int32_t elementSize = ReadSize(data + at);
    at += kSizeField;
    if (elementSize <= 0) return "element size not positive";
    if (elementSize % 4 != 0) return "element size not a multiple of 4";
    if (static_cast<size_t>(elementSize) > size - at) return "element beyond its bundle";
    // Nesting costs at least 20 bytes a level, so the depth stays bounded by
    // the datagram.
    if (const char* fault = ElementFault(data + at, static_cast<size_t>(elementSize))) return fault;
    at += static_cast<size_t>(elementSize);
  }
  return nullptr;
}

const char* ElementFault(const char* data, size_t size) {
  if (size > 0 && data[0] == '#') return BundleFault(data, size);
  return MessageFault(data, size);
}

}  // namespace

const char* OscStructureFault(const char* data, size_t size) { return ElementFault(data, size); }
