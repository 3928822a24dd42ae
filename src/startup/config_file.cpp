#include "startup/config_file.h"

#include <glog/logging.h>

#include <memory>

#include "dmx_generator.h"
#include "ledrunner_port.h"
#include "support/line_reader.h"
#include "streams/network_streams.h"
#include "port.h"
#include "port_threads/port_threads.h"
#include "protocols/sockets.h"
#include "stream.h"

sem_t ConfigSemaphore;
pthread_t PortThreads[kMaxPorts];
int32_t PortStreams[kMaxPorts];
uint32_t PortCount;

namespace {

constexpr size_t kConfigLineBuffer = 2048;

// The kind a line's letter selects; false for a letter that selects none.
bool StreamKindOfLetter(char letter, uint32_t* kind) {
  switch (letter) {
    case 'S':
      *kind = kStreamNetwork;
      return true;
    case 'P':
      *kind = kStreamPort;
      return true;
    case 'V':
      *kind = kStreamVirtual;
      return true;
    case 'D':
      *kind = kStreamNxb;
      return true;
    case 'C':
      *kind = kStreamGenerator;
      return true;
    case 'L':
      *kind = kStreamLedrunnerPort;
      return true;
    default:
      return false;
  }
}

bool IsPortKind(uint32_t kind) { return kind == kStreamPort || kind == kStreamLedrunnerPort; }

// A virtual stream is a buffer only: rules write it and read it.
class VirtualEndpoint : public StreamEndpoint {
 public:
  VirtualEndpoint() : StreamEndpoint(kStreamVirtual) {}
  void LogStarted(const std::string& text) const override {
    LOG(INFO) << "Initialised Virtual  with " << text;
  }
};

// The kind's part of a stream, from the text after the line's letter.
std::unique_ptr<StreamEndpoint> NewEndpoint(const ConfigRecord& record) {
  switch (record.kind) {
    case kStreamNetwork:
      return std::make_unique<NetworkEndpoint>(ArtnetRxSocket, record.text);
    case kStreamPort:
      return std::make_unique<DmxPort>(record.text);
    case kStreamVirtual:
      return std::make_unique<VirtualEndpoint>();
    case kStreamNxb:
      return std::make_unique<NxbEndpoint>(record.text);
    case kStreamGenerator:
      return std::make_unique<DmxGenerator>(record.text);
    case kStreamLedrunnerPort:
      return std::make_unique<LedrunnerPort>(record.text);
    default:
      LOG(INFO) << "Unsupported Config Type" << record.text;
      return std::make_unique<StreamEndpoint>(record.kind);
  }
}

void StartPortThread(void* (*body)(void*), uint32_t index, const char* failure) {
  if (pthread_create(&PortThreads[PortCount], nullptr, body,
                     reinterpret_cast<void*>(static_cast<uintptr_t>(index))) != 0) {
    LOG(FATAL) << failure;
  }
}

// Stores the stream once, then starts its port thread, which finds the
// stream through the table (storing it again would race with that thread's
// first read), and only then counts it.
void BuildStream(const ConfigRecord& record) {
  const uint32_t i = record.id;
  Stream* stream = StartConfiguredStream(record);
  StreamTable[i] = stream;
  if (record.kind == kStreamPort && !stream->IsInput()) {
    StartPortThread(DmxTxThread, i, "Could not create DMX TX Thread");
    PortStreams[PortCount] = static_cast<int32_t>(i);
  } else if (record.kind == kStreamPort) {
    VLOG(1) << "Starting DMX RX thread for: " << i;
    StartPortThread(DmxRxThread, i, "Could not create DMX RX Thread");
    PortStreams[PortCount] = -1;
  } else if (record.kind == kStreamLedrunnerPort) {
    StartPortThread(LedrunnerTxThread, i, "Could not create Ledrunner TX Thread");
    PortStreams[PortCount] = static_cast<int32_t>(i);
  }
  StreamCount.store(i + 1, std::memory_order_release);
  if (IsPortKind(record.kind)) PortCount += 1;
}

}  // namespace

StartupFile<ConfigRecord> ParseConfigText(std::string_view text, uint32_t streamsBefore,
                                          uint32_t portsBefore) {
  StartupFile<ConfigRecord> file;
  LineReader lines(text, kConfigLineBuffer);
  std::string_view line;
  uint32_t ports = portsBefore;
  for (uint32_t number = 1; lines.Next(&line); ++number) {
    ConfigRecord record;
    record.line = number;
    record.id = streamsBefore + static_cast<uint32_t>(file.records.size());
    auto refuse = [&](std::string reason) {
      file.error = StartupError{number, std::string(line), std::move(reason)};
    };
    if (line.empty() || !StreamKindOfLetter(line[0], &record.kind)) {
      refuse("Unknown Config " + std::string(line));
    } else if (record.id >= kStreamTableSize) {
      // Refused before anything is built, so the tables are never overrun.
      refuse("Too many Streams in config");
    } else if (IsPortKind(record.kind) && ports >= kMaxPorts) {
      refuse("Too many Ports in config");
    }
    if (file.error) break;
    if (IsPortKind(record.kind)) ++ports;
    record.text = std::string(line.substr(1));
    file.records.push_back(std::move(record));
  }
  return file;
}

Stream* NewConfiguredStream(const ConfigRecord& record) {
  VLOG(1) << "Initialised Stream " << record.id;
  return new Stream(record.id, NewEndpoint(record));
}

Stream* StartConfiguredStream(const ConfigRecord& record) {
  Stream* stream = NewConfiguredStream(record);
  stream->Endpoint().Init();
  stream->Endpoint().LogStarted(record.text);
  return stream;
}

void ProcessConfigText(std::string_view text) {
  const StartupFile<ConfigRecord> file =
      ParseConfigText(text, StreamCount.load(std::memory_order_acquire), PortCount);
  for (const ConfigRecord& record : file.records) BuildStream(record);
  if (file.error) FailStartup(*file.error);
}

std::atomic<bool> ConfigFileProcessed{false};

void ProcessConfigFile() {
  std::string text;
  if (!ReadWholeFile("/tmp/config.dat", &text)) {
    FailStartup({0, std::string(), "couldn't open config"});
  }
  ProcessConfigText(text);
  ConfigFileProcessed.store(true, std::memory_order_release);
}
