#pragma once
// Ports in unit tests run on the simulated driver, in this process and in a
// folder of the test's own: while a SimulatedUart lives, every device call
// of the engine goes to it, and the test reads what the device saw from
// xuartN.log and feeds it frames through xuartN.rx, as a person would.
// Time is the test's: the log's clock counts calls, and a write waits for
// its line time only while the test holds writes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_backend.h"
#include "temp_folder.h"

class SimulatedUart {
 public:
  xuart_sim::Driver& driver() { return driver_; }

  std::string PortFile(int port, const char* suffix) const {
    return folder_.Path("xuart" + std::to_string(port) + suffix);
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

  // While held, a write stays on the line until released.
  void Hold(bool hold) {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = hold;
    changed_.notify_all();
  }

  // True once a writer is held. Bounded, so that a fault fails the test
  // instead of hanging it.
  bool WaitForHeldWrite() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return held_ > 0; });
  }

  // Line time of every write so far, in microseconds.
  uint64_t PacedMicros() {
    std::lock_guard<std::mutex> lock(mutex_);
    return paced_;
  }

 private:
  void Pace(uint64_t micros) {
    std::unique_lock<std::mutex> lock(mutex_);
    paced_ += micros;
    if (!hold_) return;
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !hold_; });
    --held_;
  }

  // Declared in the order they are needed: the driver goes before the
  // clock and the folder it uses, and stops serving the engine first.
  TempFolder folder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hold_ = false;
  int held_ = 0;
  uint64_t paced_ = 0;
  std::atomic<uint64_t> now_{0};
  xuart_sim::Driver driver_{folder_.path(),
                            {[this] { return ++now_; }, [this](uint64_t micros) { Pace(micros); }},
                            xuart_sim::CountingDescriptors()};
  xuart_sim::EngineBackend backend_{&driver_};
};
