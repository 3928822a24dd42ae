#pragma once
// Jumbo frames on UDP 3332: several Art-Net packets in one datagram.

extern int JumboSocket;

// Thread body: opens JumboSocket and serves it for ever. It starts before
// the configuration is read and does not wait for it.
void* JumboThread(void* unused);
