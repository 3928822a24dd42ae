#pragma once
// /tmp/config.dat: one stream per line, built into StreamTable at start-up,
// with one device thread per serial or LED port line.
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/startup_error.h"

class Stream;

// Posted once when every stream and rule exists; the Art-Net receiver waits
// on it before it reads a packet.
extern sem_t ConfigSemaphore;

constexpr uint32_t kMaxPorts = 32;
extern pthread_t PortThreads[kMaxPorts];
extern int32_t PortStreams[kMaxPorts];  // stream index, -1 for a receive thread
extern uint32_t PortCount;

// One stream line as the file gives it.
struct ConfigRecord {
  uint32_t line = 0;  // from 1
  uint32_t id = 0;    // the StreamTable index it takes
  uint32_t kind = 0;  // StreamKind its letter selects
  std::string text;   // after the letter, line end included
};

// The stream lines of a configuration text, numbered on from the streams and
// ports already in the tables. Touches no global.
StartupFile<ConfigRecord> ParseConfigText(std::string_view text, uint32_t streamsBefore = 0,
                                          uint32_t portsBefore = 0);

// The stream of one record, built from its text but neither stored nor
// started: no device is opened and no show file read.
Stream* NewConfiguredStream(const ConfigRecord& record);
// Start-up of one record: builds its stream, opens its device or loads its
// show and logs it; the stream is neither stored nor given a port thread.
// Whatever the stream cannot run without ends the process.
Stream* StartConfiguredStream(const ConfigRecord& record);

// Reads /tmp/config.dat; every failure ends the process.
void ProcessConfigFile();
// Raised when ProcessConfigFile has built every stream: none is added later.
extern std::atomic<bool> ConfigFileProcessed;

// Parses a configuration text and appends its streams to StreamTable,
// starting their port threads; a line the engine cannot run with ends the
// process once the lines before it are built.
void ProcessConfigText(std::string_view text);
