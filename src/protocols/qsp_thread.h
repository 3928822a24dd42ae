#pragma once
// The QSP endpoint on UDP 3333.

// Receives every QSP packet and sends every QSP reply.
extern int QspSocket;

// Thread body: opens QspSocket, then serves it for ever.
void* QspThread(void* unused);
