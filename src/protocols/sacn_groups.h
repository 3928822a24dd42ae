#pragma once
// The multicast side of the sACN receiving socket.

// Turns multicast loop off on the bound socket `fd` and joins the group of
// every sACN input universe of the stream table, once per universe. Each
// failure ends the process.
void JoinSacnInputGroups(int fd);
