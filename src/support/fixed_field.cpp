#include "support/fixed_field.h"

#include <cstdlib>
#include <cstring>

long ReadFixedField(std::string_view text, size_t pos, size_t width) {
  char field[32] = {};
  if (width >= sizeof(field)) width = sizeof(field) - 1;
  if (pos < text.size()) {
    size_t n = text.size() - pos;
    if (n > width) n = width;
    std::memcpy(field, text.data() + pos, n);
  }
  return std::strtol(field, nullptr, 10);
}

uint32_t ReadFixedAddress(std::string_view text, size_t pos) {
  uint32_t a = static_cast<uint32_t>(ReadFixedField(text, pos, 3));
  uint32_t b = static_cast<uint32_t>(ReadFixedField(text, pos + 3, 3));
  uint32_t c = static_cast<uint32_t>(ReadFixedField(text, pos + 6, 3));
  uint32_t d = static_cast<uint32_t>(ReadFixedField(text, pos + 9, 3));
  return (a << 24) + (b << 16) + (c << 8) + d;
}

bool IsFixedBroadcast(std::string_view text, size_t pos) {
  for (size_t k = 0; k < 4; ++k) {
    if (ReadFixedField(text, pos + 3 * k, 3) != 255) return false;
  }
  return true;
}

char FixedCharAt(std::string_view text, size_t pos) {
  return pos < text.size() ? text[pos] : '\0';
}
