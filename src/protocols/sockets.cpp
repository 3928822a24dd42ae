#include "protocols/sockets.h"

int ArtnetRxSocket = -1;
int ArtnetSendSocket = -1;
int SacnSendSocket = -1;
