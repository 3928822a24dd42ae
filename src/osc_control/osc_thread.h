#pragma once
// The OSC receiver on UDP 8000.

constexpr int kOscPort = 8000;

// Thread body: binds UDP 8000 on every address (a failure is fatal) and
// hands every datagram to the OSC listener, for ever.
void* OscThread(void* unused);
