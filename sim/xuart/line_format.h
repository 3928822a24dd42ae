#pragma once
// The pure parts of the simulated driver: the hex of its text files, the
// device paths it answers, and how long a frame takes on the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dmx_types.h"
#include "xuart/xuart.h"

namespace xuart_sim {

// Largest frame a read hands back: start code and 512 slots.
constexpr size_t kMaxReadFrame = kDmxFrameSlots;

// Line parameters of a port that nobody has set up yet: the shortest legal
// break and mark after break, no idle time between slots, sending
// continuously.
constexpr DmxPortParams kPowerOnParams = {22, 2, 0, {0, 0, 0}, 1};

// Lower-case hex without separators, as the log writes it.
std::string ToHex(const uint8_t* bytes, size_t length);

// One line of an rx file: hex digits in either case, two to a byte; blanks
// and the line end anywhere are skipped. False (out untouched) for any other
// character, an odd number of digits or no digits at all.
bool ParseHexLine(std::string_view line, std::vector<uint8_t>* out);

// N of "/dev/xuartN" (decimal digits only), or -1 for every other path.
int DevicePort(const char* path);

// Microseconds one written frame of `slots` slots occupies the line: break,
// mark after break, then per slot eleven 4 us bits and interSlot idle units
// of 4 us.
uint64_t FrameLineMicros(const DmxPortParams& params, size_t slots);

}  // namespace xuart_sim
