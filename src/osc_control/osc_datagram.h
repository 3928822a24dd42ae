#pragma once
// The structure of an OSC datagram, checked before the OSC library walks
// it. The library's bundle reader steps from element to element by the
// sizes it reads; a size of -4 steps back onto itself and the reader never
// returns, which would end OSC control for the life of the process.
#include <cstddef>

// Why the datagram cannot be walked safely, or nullptr when it can. A
// datagram whose first byte is '#' is a bundle (the library reads it as
// one): it must be "#bundle", a time tag and elements, each a positive
// size, a multiple of 4, that fits in what remains of its bundle; nested
// bundles alike. Messages are left to the library, which reports their
// faults by throwing.
const char* OscStructureFault(const char* data, size_t size);
