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
#include "xuart/xuart.h"

namespace xuart_sim {

// The length of a call's block when the caller cannot say it (a system call
// under the preload library): the device takes the block of its own kind.
constexpr size_t kUnknownLength = 0;

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
  // `length`: the bytes `argument` holds, or kUnknownLength.
  int Ioctl(unsigned long request, void* argument, size_t length);

  bool IsLed() const { return led_; }

 private:
  Device(const std::string& folder, int port, int flags, const Hooks& hooks);
  void ReadConf(const std::string& path);
  // Writes "<t> <word> <data>" and flushes it. Caller holds mutex_.
  void LogLocked(const char* word, const std::string& data);
  // The next complete, well-formed rx line; false when there is none yet.
  bool NextRxFrameLocked(std::vector<uint8_t>* frame);
  // Follows xuartN.rx as `tail -F` does: a file replaced under the same name
  // is read from its start, and so is one cut shorter than what was read.
  void FollowRxFileLocked();
  void SetParamsLocked(const uint8_t* block, size_t length);
  int Rdm(XuartRdmBlock* block);

  const int accessMode_;
  const Hooks hooks_;
  const std::string rxPath_;
  std::unique_ptr<RdmLine> rdm_;
  bool led_ = false;

  std::mutex mutex_;  // the log, the parameters in force, the rx position
  FILE* log_ = nullptr;
  FILE* rx_ = nullptr;  // opened once the file exists
  long rxOffset_ = 0;   // bytes of the open rx file read so far
  // What has come of a line whose end has not: a long line still being
  // written is read once, not again on every poll.
  std::string rxPending_;
  DmxPortParams params_ = {};
  uint8_t ledGroupSize_ = 0;
};

}  // namespace xuart_sim
