#pragma once
// One thread per serial or LED port, the only caller of its device's write
// or read. The argument is the stream's index in StreamTable.
#include <cstdint>

// Transmit threads of a DMX output port and of a Ledrunner port: one loop.
void* DmxTxThread(void* index);
void* LedrunnerTxThread(void* index);
void* DmxRxThread(void* index);

// One turn of each loop, the stream looked up afresh by its index.
// Transmit: one wait on the port's semaphore, then one write of the frame.
void PortTxStep(uint32_t index);
// Receive: one read into `frame` (513 bytes); true when it was a DMX frame
// and the next read follows at once.
bool DmxRxStep(uint32_t index, uint8_t* frame);

// Receive step of an input port: hands a frame read from the device to its
// stream. Returns true when the frame was DMX (start code 0).
class Stream;
bool HandleReceivedDmxFrame(Stream* stream, const unsigned char* frame, int count);
