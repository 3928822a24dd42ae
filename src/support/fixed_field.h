#pragma once
// Configuration and rule lines carry numbers as fixed runs of characters with
// no separators. A field is copied out and converted with atoi-like rules:
// leading blanks skipped, optional sign, digits up to the first non-digit, no
// digits give 0. A field that lies (partly) past the end of the line reads
// only what is there, so a short line gives 0 rather than stale bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

// Value of the `width` characters at `pos` of `text`.
long ReadFixedField(std::string_view text, size_t pos, size_t width);

// Four 3-digit groups a, b, c, d at `pos`, combined as a*2^24 + b*2^16 +
// c*2^8 + d in 32 bits (a group above 255 carries into the next one).
// Host byte order.
uint32_t ReadFixedAddress(std::string_view text, size_t pos);

// True when the four groups at `pos` all read 255: the configuration's way
// of saying "the device's broadcast address".
bool IsFixedBroadcast(std::string_view text, size_t pos);

// The character at `pos`, or NUL past the end of the line.
char FixedCharAt(std::string_view text, size_t pos);
