#pragma once
// The engine's shared UDP sockets. They are opened during start-up, before
// any stream that sends on them is built, and never closed.

// UDP 6454: receives Art-Net and is the send socket of every Art-Net and QSP
// stream and of the Art-Net replies, so those datagrams leave from port 6454.
extern int ArtnetRxSocket;
// Broadcast socket bound to UDP 5000.
extern int ArtnetSendSocket;
// Unbound; multicast loop off, multicast interface the device's address.
extern int SacnSendSocket;

// Opens SacnSendSocket; a failure ends the process.
void CreateSacnSendSocket();
