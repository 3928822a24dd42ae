#include "device.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "line_format.h"

namespace xuart_sim {
namespace {

std::string PortFile(const std::string& folder, int port, const char* suffix) {
  return folder + "/xuart" + std::to_string(port) + suffix;
}

const char* OpenWord(int accessMode) {
  switch (accessMode) {
    case O_RDONLY:
      return "rdonly";
    case O_WRONLY:
      return "wronly";
    default:
      return "rdwr";
  }
}

std::string TrimmedLine(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' ||
                           line.back() == '\t')) {
    line.pop_back();
  }
  size_t start = line.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : line.substr(start);
}

}  // namespace

std::unique_ptr<Device> Device::Open(const std::string& folder, int port, int flags,
                                     const Hooks& hooks) {
  std::unique_ptr<Device> device(new Device(folder, port, flags, hooks));
  device->log_ = std::fopen(PortFile(folder, port, ".log").c_str(), "w");
  if (device->log_ == nullptr) return nullptr;  // fopen left errno set
  device->ReadConf(PortFile(folder, port, ".conf"));
  std::lock_guard<std::mutex> lock(device->mutex_);
  device->LogLocked("open", OpenWord(device->accessMode_));
  return device;
}

Device::Device(const std::string& folder, int port, int flags, const Hooks& hooks)
    : accessMode_(flags & O_ACCMODE),
      hooks_(hooks),
      rxPath_(PortFile(folder, port, ".rx")),
      rdm_(MakeRdmLine()),
      params_(kPowerOnParams) {}

Device::~Device() {
  if (log_ != nullptr) std::fclose(log_);
  if (rx_ != nullptr) std::fclose(rx_);
}

void Device::ReadConf(const std::string& path) {
  std::ifstream conf(path);
  std::string line;
  while (std::getline(conf, line)) {
    line = TrimmedLine(line);
    if (line.empty()) continue;
    if (line == "led") {
      led_ = true;
    } else {
      rdm_->Configure(line);  // lines nobody knows are ignored
    }
  }
}

void Device::LogLocked(const char* word, const std::string& data) {
  std::fprintf(log_, "%llu %s %s\n", static_cast<unsigned long long>(hooks_.nowMicros()), word,
               data.c_str());
  std::fflush(log_);
}

ssize_t Device::Write(const uint8_t* bytes, size_t length) {
  if (accessMode_ == O_RDONLY) {
    errno = EBADF;
    return -1;
  }
  uint64_t lineTime = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    LogLocked("write", ToHex(bytes, length));
    // An LED strip's timing is not the DMX line's: its frames go out at once.
    if (!led_) lineTime = FrameLineMicros(params_, length);
  }
  if (lineTime > 0) hooks_.waitMicros(lineTime);
  return static_cast<ssize_t>(length);
}

void Device::FollowRxFileLocked() {
  struct stat named;
  bool exists = stat(rxPath_.c_str(), &named) == 0;
  if (rx_ != nullptr) {
    struct stat opened;
    // Gone without a successor yet: what was there stays readable.
    if (!exists || fstat(fileno(rx_), &opened) != 0) return;
    if (opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      if (opened.st_size < rxOffset_) {
        rxOffset_ = 0;
        rxPending_.clear();
      }
      return;
    }
    std::fclose(rx_);
    rx_ = nullptr;
  }
  if (!exists) return;  // nobody has sent anything yet
  rx_ = std::fopen(rxPath_.c_str(), "r");
  rxOffset_ = 0;
  rxPending_.clear();
}

bool Device::NextRxFrameLocked(std::vector<uint8_t>* frame) {
  FollowRxFileLocked();
  if (rx_ == nullptr) return false;
  std::clearerr(rx_);
  if (std::fseek(rx_, rxOffset_, SEEK_SET) != 0) return false;
  int c;
  while ((c = std::getc(rx_)) != EOF) {
    ++rxOffset_;
    if (c != '\n') {
      rxPending_.push_back(static_cast<char>(c));
      continue;
    }
    bool parsed = ParseHexLine(rxPending_, frame);
    rxPending_.clear();
    if (parsed) return true;
  }
  return false;  // a line still being appended is taken once its end is there
}

ssize_t Device::Read(uint8_t* buffer, size_t capacity) {
  if (accessMode_ == O_WRONLY) {
    errno = EBADF;
    return -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> frame;
  if (!NextRxFrameLocked(&frame)) return 0;
  size_t count = std::min({frame.size(), capacity, kMaxReadFrame});
  if (count == 0) return 0;
  std::memcpy(buffer, frame.data(), count);
  LogLocked("read", ToHex(buffer, count));
  return static_cast<ssize_t>(count);
}

int Device::Ioctl(unsigned long request, void* argument, size_t length) {
  if (argument == nullptr) {
    errno = EFAULT;
    return -1;
  }
  if (request == XUART_IOC_SET_PARAMS) {
    std::lock_guard<std::mutex> lock(mutex_);
    SetParamsLocked(static_cast<const uint8_t*>(argument), length);
    return 0;
  }
  if (request == XUART_IOC_RDM && !led_) return Rdm(static_cast<XuartRdmBlock*>(argument));
  errno = ENOTTY;
  return -1;
}

void Device::SetParamsLocked(const uint8_t* block, size_t length) {
  // An LED port takes its group size, a DMX port a DmxPortParams block. A
  // conf that says the other kind (a forgotten `led`) must not make the
  // device read past the caller's block: it takes what is there, and says so.
  uint8_t* target = led_ ? &ledGroupSize_ : reinterpret_cast<uint8_t*>(&params_);
  size_t wanted = led_ ? sizeof(ledGroupSize_) : sizeof(params_);
  size_t taken = wanted;
  if (length != kUnknownLength && length != wanted) {
    taken = std::min(length, wanted);
    LogLocked("warning", "params block of " + std::to_string(length) + " bytes on " +
                             (led_ ? "an led" : "a dmx") + " port, which takes " +
                             std::to_string(wanted) + "; " + std::to_string(taken) + " taken");
  }
  std::memcpy(target, block, taken);
  LogLocked("params", ToHex(target, wanted));
}

int Device::Rdm(XuartRdmBlock* block) {
  // The request length comes from the caller: never past the block.
  size_t length = std::min<size_t>(block->requestLength, sizeof(block->request));
  uint8_t response[sizeof(block->response)];
  std::lock_guard<std::mutex> lock(mutex_);
  size_t answered = rdm_->Transact(block->request, length, response, sizeof(response));
  answered = std::min(answered, sizeof(response));
  block->responseLength = static_cast<uint16_t>(answered);
  std::memcpy(block->response, response, answered);
  LogLocked("rdm", ToHex(block->request, length) + " " +
                       (answered == 0 ? std::string("-") : ToHex(response, answered)));
  return 1;
}

}  // namespace xuart_sim
