#pragma once
// One thread per serial or LED port, the only caller of its device's write
// or read. The argument is the stream's index in StreamTable.

void* DmxTxThread(void* index);
void* DmxRxThread(void* index);
void* LedrunnerTxThread(void* index);

// Receive step of an input port: hands a frame read from the device to its
// stream. Returns true when the frame was DMX (start code 0).
class Stream;
bool HandleReceivedDmxFrame(Stream* stream, const unsigned char* frame, int count);
