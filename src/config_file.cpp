#include "config_file.h"

#include <glog/logging.h>

#include <string>

#include "line_reader.h"
#include "port_threads/port_threads.h"
#include "protocols/sockets.h"
#include "stream.h"

sem_t ConfigSemaphore;
pthread_t PortThreads[kMaxPorts];
int32_t PortStreams[kMaxPorts];
uint32_t PortCount;

namespace {

constexpr size_t kConfigLineBuffer = 2048;

void StartPortThread(void* (*body)(void*), uint32_t index, const char* failure) {
  if (pthread_create(&PortThreads[PortCount], nullptr, body,
                     reinterpret_cast<void*>(static_cast<uintptr_t>(index))) != 0) {
    LOG(FATAL) << failure;
  }
}

}  // namespace

void ProcessConfigLine(std::string_view line) {
  char letter = line.empty() ? '\0' : line[0];
  std::string_view text = line.empty() ? line : line.substr(1);
  uint32_t i = StreamCount;

  bool isPort = letter == 'P' || letter == 'L';
  bool known = isPort || letter == 'S' || letter == 'V' || letter == 'D' || letter == 'C';
  if (!known) LOG(FATAL) << "Unknown Config " << std::string(line);
  // Checked before anything is built, so the tables are never overrun.
  if (i >= kStreamTableSize) LOG(FATAL) << "Too many Streams in config";
  if (isPort && PortCount >= kMaxPorts) LOG(FATAL) << "Too many Ports in config";

  Stream* stream = nullptr;
  switch (letter) {
    case 'S':
      stream = new Stream(i, kStreamNetwork, ArtnetRxSocket, text);
      break;
    case 'V':
      stream = new Stream(i, kStreamVirtual, text);
      break;
    case 'D':
      stream = new Stream(i, kStreamNxb, text);
      break;
    case 'C':
      stream = new Stream(i, kStreamGenerator, text);
      break;
    case 'P':
      stream = new Stream(i, kStreamPort, text);
      StreamTable[i] = stream;
      if (!stream->IsInput()) {
        StartPortThread(DmxTxThread, i, "Could not create DMX TX Thread");
        PortStreams[PortCount] = static_cast<int32_t>(i);
      } else {
        VLOG(1) << "Starting DMX RX thread for: " << i;
        StartPortThread(DmxRxThread, i, "Could not create DMX RX Thread");
        PortStreams[PortCount] = -1;
      }
      break;
    case 'L':
      stream = new Stream(i, kStreamLedrunnerPort, text);
      StreamTable[i] = stream;
      StartPortThread(LedrunnerTxThread, i, "Could not create Ledrunner TX Thread");
      PortStreams[PortCount] = static_cast<int32_t>(i);
      break;
  }
  // A port stream is already stored, before its thread started: storing it
  // again would race with that thread's first read.
  if (!isPort) StreamTable[i] = stream;
  StreamCount.store(i + 1, std::memory_order_release);
  if (isPort) PortCount += 1;
}

void ProcessConfigText(std::string_view text) {
  LineReader lines(text, kConfigLineBuffer);
  std::string_view line;
  while (lines.Next(&line)) ProcessConfigLine(line);
}

std::atomic<bool> ConfigFileProcessed{false};

void ProcessConfigFile() {
  std::string text;
  if (!ReadWholeFile("/tmp/config.dat", &text)) LOG(FATAL) << "couldn't open config";
  ProcessConfigText(text);
  ConfigFileProcessed.store(true, std::memory_order_release);
}
