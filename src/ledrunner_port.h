#pragma once
// An LED pixel output on one of the board's "/dev/xuart%d" devices: the
// device part of a Ledrunner PORT stream. Output only.
#include <semaphore.h>

#include <cstdint>
#include <mutex>
#include <string_view>

constexpr uint32_t kLedrunnerFrameSize = 1020;

class LedrunnerPort {
 public:
  LedrunnerPort() = default;
  ~LedrunnerPort();
  LedrunnerPort(const LedrunnerPort&) = delete;
  LedrunnerPort& operator=(const LedrunnerPort&) = delete;

  // Builds the port from the text after the "L" of a configuration line and
  // opens its device. A device that cannot be opened ends the process.
  void Init(std::string_view text);
  int Open();

  // Hands the pixel group size, the one setting the driver takes, to it.
  void SetConfig(const uint8_t* groupSize);

  // Copies the 1020-byte pixel frame (none: the frame stays as it is) and
  // wakes the transmit thread; 0 when the device is not open.
  int PostFrame(const uint8_t* data);

  // Transmit thread: writes pixelFrame. 0 when the device is not open.
  int WriteFrame();

  uint32_t portNumber = 0;
  sem_t txSemaphore;
  uint8_t pixelFrame[kLedrunnerFrameSize] = {};
  char devicePath[80] = {};
  int fd = -1;
  std::mutex mutex;
  uint8_t pixelGroupSize = 0;
  uint32_t pixelOrder = 0;
  uint32_t stripProtocol = 0;

 private:
  bool semaphoreReady_ = false;
};
