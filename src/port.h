#pragma once
// A serial DMX512 port on one of the board's "/dev/xuart%d" devices: the
// device part of a PORT stream.
#include <semaphore.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "dmx_types.h"
#include "xuart.h"

class DmxPort {
 public:
  DmxPort();
  ~DmxPort();
  DmxPort(const DmxPort&) = delete;
  DmxPort& operator=(const DmxPort&) = delete;

  // Parses the text after the "P" of a configuration line.
  void Init(std::string_view text);

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
  uint8_t txFrame[513] = {};
  int32_t lastRxCount = 0;
  char devicePath[80] = {};
  int fd = -1;
  uint32_t channels = 513;
  RdmUid broadcastUid = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  RdmUid ownUid = {};
  uint8_t transactionNumber = 0;
  std::mutex mutex;
  DmxPortParams paramsContinuous = {};
  DmxPortParams paramsRdm = {};
  DmxPortParams paramsOneShot = {};
  uint16_t discoveredCount = 0;
  RdmUid discoveredUids[399] = {};

  // The configuration text as given, kept for the log and for the port
  // set-up that reads the timing fields.
  std::string configText;
};
