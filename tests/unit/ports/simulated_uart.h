#pragma once
// Ports in unit tests run on the simulated driver, in this process and in a
// folder of the test's own: while a SimulatedUart lives, every device call
// of the engine goes to it, and the test reads what the device saw from
// xuartN.log and feeds it frames through xuartN.rx, as a person would.
// Time is the test's: the log's clock counts calls, and a write waits for
// its line time only while the test holds writes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_backend.h"

class SimulatedUart {
 public:
  // A folder that does not exist makes every device open fail.
  explicit SimulatedUart(bool withFolder = true) {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                          "/xuart-sim-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    folder_ = name.data();
    if (!withFolder) std::filesystem::remove(folder_);
    xuart_sim::Hooks hooks{[this] { return Now(); },
                           [this](uint64_t micros) { Pace(micros); }};
    driver_ = std::make_unique<xuart_sim::Driver>(folder_, hooks,
                                                  xuart_sim::CountingDescriptors());
    backend_ = std::make_unique<xuart_sim::EngineBackend>(driver_.get());
  }

  ~SimulatedUart() {
    ReleaseWrites();
    backend_.reset();
    driver_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  SimulatedUart(const SimulatedUart&) = delete;
  SimulatedUart& operator=(const SimulatedUart&) = delete;

  xuart_sim::Driver& driver() { return *driver_; }
  const std::string& folder() const { return folder_; }

  std::string PortFile(int port, const char* suffix) const {
    return folder_ + "/xuart" + std::to_string(port) + suffix;
  }

  void WriteConf(int port, const std::string& text) const {
    std::ofstream(PortFile(port, ".conf")) << text;
  }

  void AppendRx(int port, const std::string& text) const {
    std::ofstream(PortFile(port, ".rx"), std::ios::app) << text;
  }

  // The lines of xuartN.log without their time stamps.
  std::vector<std::string> Log(int port) const {
    std::ifstream log(PortFile(port, ".log"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(log, line)) {
      size_t blank = line.find(' ');
      lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
  }

  // From now on a write stays on the line until ReleaseWrites.
  void HoldWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = true;
  }

  // True once a writer is held. Bounded, so that a fault fails the test
  // instead of hanging it.
  bool WaitForHeldWrite() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return held_ > 0; });
  }

  void ReleaseWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = false;
    changed_.notify_all();
  }

  // Line time of every write so far, in microseconds.
  uint64_t PacedMicros() {
    std::lock_guard<std::mutex> lock(mutex_);
    return paced_;
  }

 private:
  uint64_t Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++now_;
  }

  void Pace(uint64_t micros) {
    std::unique_lock<std::mutex> lock(mutex_);
    paced_ += micros;
    if (!hold_) return;
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !hold_; });
    --held_;
  }

  std::string folder_;
  std::unique_ptr<xuart_sim::Driver> driver_;
  std::unique_ptr<xuart_sim::EngineBackend> backend_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hold_ = false;
  int held_ = 0;
  uint64_t paced_ = 0;
  uint64_t now_ = 0;
};
