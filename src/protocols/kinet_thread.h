#pragma once
// The KiNet endpoint on UDP 6038.

// Receives every KiNet packet and sends both discovery replies.
extern int KinetSocket;

// Thread body: opens KinetSocket, then serves it for ever.
void* KinetThread(void* unused);
