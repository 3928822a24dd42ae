#pragma once
// One simulated "/dev/xuartN": its side of the driver's calls, told through
// the files xuartN.conf (read at open), xuartN.log (written per call) and
// xuartN.rx (received frames, one hex line each) in the simulation folder.
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "rdm_line.h"
#include "xuart.h"

namespace xuart_sim {

// Time as the driver sees it. The preload library uses CLOCK_MONOTONIC and
// real sleeps; unit tests put their own in.
struct Hooks {
  std::function<uint64_t()> nowMicros;
  // Holds the writing thread while a frame is on the line.
  std::function<void(uint64_t micros)> waitMicros;
};

class Device {
 public:
  // Reads xuartN.conf when there is one and creates or truncates
  // xuartN.log. nullptr with errno set when the log cannot be created.
  static std::unique_ptr<Device> Open(const std::string& folder, int port, int flags,
                                      const Hooks& hooks);
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  ssize_t Write(const uint8_t* bytes, size_t length);
  ssize_t Read(uint8_t* buffer, size_t capacity);
  int Ioctl(unsigned long request, void* argument);

  bool IsLed() const { return led_; }

 private:
  Device(const std::string& folder, int port, int flags, const Hooks& hooks);
  void ReadConf(const std::string& path);
  // Writes "<t> <word> <data>" and flushes it. Caller holds mutex_.
  void LogLocked(const char* word, const std::string& data);
  // The next complete, well-formed rx line; false when there is none yet.
  bool NextRxFrameLocked(std::vector<uint8_t>* frame);
  int Rdm(XuartRdmBlock* block);

  const int accessMode_;
  const Hooks hooks_;
  const std::string rxPath_;
  std::unique_ptr<RdmLine> rdm_;
  bool led_ = false;

  std::mutex mutex_;  // the log, the parameters in force, the rx position
  FILE* log_ = nullptr;
  FILE* rx_ = nullptr;  // opened once the file exists
  long rxOffset_ = 0;   // start of the first line not yet returned
  DmxPortParams params_ = {};
  uint8_t ledGroupSize_ = 0;
};

}  // namespace xuart_sim
