#pragma once
// The few DMX512 and RDM facts that every layer shares, wire code included:
// nothing here may pull in streams, ports, sockets or threads.
#include <cstdint>

// Channel bytes of one universe; channel 1 sits at index 0.
constexpr uint32_t kDmxChannels = 512;
// Slots of one frame on the serial line: the start code, then the channels.
constexpr uint32_t kDmxFrameSlots = kDmxChannels + 1;

// An RDM device id: 16-bit manufacturer id, then 32-bit device id, both
// big-endian, as it stands on the wire.
struct RdmUid {
  uint8_t bytes[6];
};
