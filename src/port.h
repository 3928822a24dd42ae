#pragma once
// A serial DMX512 port on one of the board's "/dev/xuart%d" devices: the
// device part of a PORT stream.
#include <semaphore.h>

#include <cstdint>
#include <mutex>
#include <string_view>

#include "dmx_types.h"
#include "xuart.h"

// What the text after the "P" of a configuration line sets, defaults and
// clamps applied.
struct DmxPortSettings {
  uint32_t portNumber = 0;
  uint32_t input = 0;
  int32_t refreshRate = 35;    // frames per second
  uint32_t breakTime = 22;     // 4 us units
  uint32_t markAfterBreak = 2; // 4 us units
  uint32_t channels = kDmxFrameSlots;
  uint8_t interSlot = 0;       // 4 us units
};

DmxPortSettings ParseDmxPortText(std::string_view text);

// Idle time between slots, in 4 us units, that makes one frame last one
// refresh period; 0 to 255.
uint8_t ComputeInterSlot(int32_t refreshRate, uint32_t breakTime, uint32_t markAfterBreak,
                         uint32_t channels);

class DmxPort {
 public:
  DmxPort() = default;
  ~DmxPort();
  DmxPort(const DmxPort&) = delete;
  DmxPort& operator=(const DmxPort&) = delete;

  // Builds the port from the text after the "P" of a configuration line and
  // opens its device. A device that cannot be opened ends the process.
  void Init(std::string_view text);
  int Open();

  // Applies one of the port's parameter blocks to the UART.
  void SetParams(const DmxPortParams& block);

  // Hands a frame (or, with nullptr, the unchanged frame) to the transmit
  // thread. 0 for an input port or a port whose device is not open.
  int PostFrame(const uint8_t* data);

  // Transmit thread: writes txFrame. 0 for an input or unopened port.
  int WriteFrame();

  // Receive thread: reads one frame into 513 bytes. 0 for an output port.
  int ReadFrame(uint8_t* buffer);

  uint32_t portNumber = 0;
  uint32_t input = 0;
  sem_t txSemaphore;
  uint8_t txFrame[kDmxFrameSlots] = {};
  int32_t lastRxCount = 0;
  char devicePath[80] = {};
  int fd = -1;
  uint32_t channels = kDmxFrameSlots;
  RdmUid broadcastUid = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  RdmUid ownUid = {};
  uint8_t transactionNumber = 0;
  std::mutex mutex;
  DmxPortParams paramsContinuous = {};
  DmxPortParams paramsRdm = {};
  DmxPortParams paramsOneShot = {};
  uint16_t discoveredCount = 0;
  RdmUid discoveredUids[399] = {};

 private:
  bool semaphoreReady_ = false;
};
