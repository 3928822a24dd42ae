#pragma once
// The Art-Net endpoint on UDP 6454 and the broadcast socket on UDP 5000.

// Opens ArtnetRxSocket. Called by main before the configuration is read:
// every network stream takes the descriptor as its send socket.
void CreateArtnetRxSocket();

// Opens ArtnetSendSocket (broadcast, UDP 5000).
void CreateArtnetSendSocket();

// Thread body: waits once for the configuration, then serves ArtnetRxSocket
// for ever.
void* ArtnetThread(void* unused);
