#pragma once
// The structure of an OSC datagram, checked before the OSC library walks
// it. The library trusts what it reads: a bundle element of size -4 steps
// back onto itself and its reader never returns, a blob size it finds too
// large is noted but not refused, and an unterminated string is searched
// past the end. Any of them would end OSC control, or the process.
#include <cstddef>

// Why the datagram cannot be walked safely, or nullptr when it can. A
// datagram whose first byte is '#' is a bundle (the library reads it as
// one): "#bundle", a time tag and elements, each a positive size, a
// multiple of 4, that fits in what remains of its bundle. Every other
// datagram or element is a message: a non-empty multiple of 4 bytes whose
// address and type tags end inside it, and every argument its tags name,
// of every type the library reads, fits in what remains.
const char* OscStructureFault(const char* data, size_t size);
