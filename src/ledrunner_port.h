#pragma once
// An LED pixel output on one of the board's "/dev/xuart%d" devices: the
// device part of a Ledrunner PORT stream. Output only.
#include <cstdint>
#include <string>
#include <string_view>

#include "stream.h"
#include "ports/xuart_port.h"

class LedrunnerPort : public XuartPort {
 public:
  static constexpr uint32_t kKind = kStreamLedrunnerPort;
  // Builds the port from the text after the "L" of a configuration line;
  // its device stays closed until Init.
  explicit LedrunnerPort(std::string_view text);

  uint32_t Channels() const override { return kLedrunnerFrameSize; }
  // Opens the device. A device that cannot be opened ends the process.
  void Init() override { Open(); }
  int Open();
  void LogStarted(const std::string& text) const override;
  bool SendsData() const override { return true; }
  bool Send(Stream& stream, SendFunction send) override;

  // Hands the pixel group size, the one setting the driver takes, to it.
  void SetConfig(const uint8_t* groupSize);

  // Copies the 1020-byte pixel frame (none: the frame stays as it is) and
  // wakes the transmit thread; 0 when the device is not open.
  int PostFrame(const uint8_t* data);

  // Transmit thread: writes pixelFrame. 0 when the device is not open.
  int WriteFrame() override;

  uint8_t pixelGroupSize = 0;
  uint32_t pixelOrder = 0;
  uint32_t stripProtocol = 0;
  uint8_t pixelFrame[kLedrunnerFrameSize] = {};
};
