#pragma once
// /tmp/config.dat: one stream per line, built into StreamTable at start-up,
// with one device thread per serial or LED port line.
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <string_view>

// Posted once when every stream and rule exists; the Art-Net receiver waits
// on it before it reads a packet.
extern sem_t ConfigSemaphore;

constexpr uint32_t kMaxPorts = 32;
extern pthread_t PortThreads[kMaxPorts];
extern int32_t PortStreams[kMaxPorts];  // stream index, -1 for a receive thread
extern uint32_t PortCount;

// Reads /tmp/config.dat; every failure ends the process.
void ProcessConfigFile();
// Raised when ProcessConfigFile has built every stream: none is added later.
extern std::atomic<bool> ConfigFileProcessed;

// Builds the streams of a whole configuration text (the file's contents).
void ProcessConfigText(std::string_view text);

// Builds the stream of one line (newline included) at StreamTable[StreamCount]
// and starts its port thread.
void ProcessConfigLine(std::string_view line);
