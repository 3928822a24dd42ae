#include "port.h"

#include <glog/logging.h>

#include <cstring>

#include "startup/device_identity.h"
#include "support/fixed_field.h"
#include "xuart/xuart_device.h"

namespace {

constexpr int32_t kDefaultRefreshRate = 35;
constexpr uint32_t kMinBreak = 22;  // 88 us
constexpr uint32_t kMinMarkAfterBreak = 2;  // 8 us
constexpr uint32_t kMaxTimingCount = 1023;
constexpr uint32_t kMinChannels = 24;
// What a whole frame of slots costs before any idle time, whatever the
// port's own slot count: 513 slots at 40 us.
constexpr int64_t kFrameSlotMicros = 513 * 40;
constexpr uint8_t kMaxInterSlot = 255;
// RDM runs one-shot with a 200 us break and a 40 us mark after break.
constexpr DmxPortParams kRdmParams = {50, 10, 0, {0, 0, 0}, 0};
constexpr uint32_t kModeContinuous = 1;
constexpr uint32_t kModeOneShot = 0;

uint32_t Clamp(uint32_t value, uint32_t low, uint32_t high) {
  return value < low ? low : value > high ? high : value;
}

DmxPortParams TimingBlock(const DmxPortSettings& settings, uint32_t mode) {
  DmxPortParams block = {};
  block.breakTime = static_cast<uint16_t>(settings.breakTime);
  block.markAfterBreak = static_cast<uint16_t>(settings.markAfterBreak);
  block.interSlot = settings.interSlot;
  block.mode = mode;
  return block;
}

}  // namespace

uint8_t ComputeInterSlot(int32_t refreshRate, uint32_t breakTime, uint32_t markAfterBreak,
                         uint32_t channels) {
  // A rate of 0 has no period; the default rate stands in rather than a
  // division by zero.
  int64_t rate = refreshRate != 0 ? refreshRate : kDefaultRefreshRate;
  if (channels == 0) return 0;
  int64_t period = 1000000 / rate;
  int64_t spare = period - 4 * int64_t{breakTime} - 4 * int64_t{markAfterBreak} - kFrameSlotMicros;
  int64_t interSlot = spare / (4 * int64_t{channels});
  if (interSlot < 0) return 0;
  return interSlot > kMaxInterSlot ? kMaxInterSlot : static_cast<uint8_t>(interSlot);
}

DmxPortSettings ParseDmxPortText(std::string_view text) {
  DmxPortSettings settings;
  settings.portNumber = static_cast<uint32_t>(ReadFixedField(text, 0, 3));
  settings.input = FixedCharAt(text, 3) == 'I' ? 1 : 0;
  // Four characters or fewer (the line end counts) keep every default; past
  // the end of a longer text a field reads as 0 and the clamps apply.
  if (text.size() > 4) {
    long refresh = ReadFixedField(text, 4, 3);
    settings.refreshRate = refresh != 0 ? static_cast<int32_t>(refresh) : kDefaultRefreshRate;
    settings.breakTime = static_cast<uint32_t>(ReadFixedField(text, 7, 4) / 4);
    settings.markAfterBreak = static_cast<uint32_t>(ReadFixedField(text, 11, 4) / 4);
    settings.channels = static_cast<uint32_t>(ReadFixedField(text, 15, 4));
  }
  // Unsigned comparisons: a negative count or channel number takes the most.
  settings.breakTime = Clamp(settings.breakTime, kMinBreak, kMaxTimingCount);
  settings.markAfterBreak = Clamp(settings.markAfterBreak, kMinMarkAfterBreak, kMaxTimingCount);
  if (settings.channels < kMinChannels || settings.channels > kDmxFrameSlots) {
    settings.channels = kDmxFrameSlots;
  }
  settings.interSlot = ComputeInterSlot(settings.refreshRate, settings.breakTime,
                                        settings.markAfterBreak, settings.channels);
  return settings;
}

DmxPort::DmxPort(std::string_view text) : DmxPort(ParseDmxPortText(text)) {}

DmxPort::DmxPort(const DmxPortSettings& settings)
    : XuartPort(kStreamPort, settings.portNumber, "DMX"),
      input(settings.input),
      channels(settings.channels) {
  VLOG(2) << "DMX port " << devicePath << "Refresh: " << settings.refreshRate
          << "Id: " << static_cast<uint32_t>(settings.interSlot) << " B: " << settings.breakTime
          << " MaB: " << settings.markAfterBreak << " Channels: " << channels;

  paramsOneShot = TimingBlock(settings, kModeOneShot);
  paramsContinuous = TimingBlock(settings, kModeContinuous);
  paramsRdm = kRdmParams;

  ownUid.bytes[0] = static_cast<uint8_t>(kOwnManufacturerId >> 8);
  ownUid.bytes[1] = static_cast<uint8_t>(kOwnManufacturerId);
  ownUid.bytes[2] = static_cast<uint8_t>(SerialNumber >> 24);
  ownUid.bytes[3] = static_cast<uint8_t>(SerialNumber >> 16);
  ownUid.bytes[4] = static_cast<uint8_t>(SerialNumber >> 8);
  ownUid.bytes[5] = static_cast<uint8_t>(SerialNumber);
}

int DmxPort::Open() {
  VLOG(2) << "Opening DMX port " << devicePath;
  if (input == 1) {
    VLOG(2) << "Input Port: Read Only " << devicePath;
    OpenDevice(true, "Couldn't create Semaphore for TX UART ", "Failed to open RX port");
    SetParams(paramsContinuous);
  } else {
    VLOG(2) << "Output Port: Write Only " << devicePath;
    OpenDevice(false, "Couldn't create Semaphore for TX UART ", "Failed to open Send port");
    SetParams(paramsContinuous);
    PostFrame(nullptr);
  }
  return 1;
}

void DmxPort::LogStarted(const std::string& text) const {
  LOG(INFO) << "Initialised PORT with " << text;
}

bool DmxPort::Send(Stream& stream, SendFunction send) {
  (void)send;
  if (input == 1) return true;
  stream.LogSend();
  uint8_t frame[kDmxChannels];
  stream.TakeForSend(frame, kDmxChannels);
  PostFrame(frame);
  return true;
}

void DmxPort::SetOneShot(const Stream& stream) {
  if (input == 1) return;
  VLOG(2) << "Setting One shot sending on stream : " << stream.id;
  SetParams(paramsOneShot);
}

void DmxPort::SetParams(const DmxPortParams& block) {
  VLOG(3) << "Setting params for port " << devicePath;
  std::lock_guard<std::mutex> lock(mutex);
  if (fd >= 0) XuartSetParams(fd, &block, sizeof(block));
}

int DmxPort::PostFrame(const uint8_t* data) {
  if (input == 1 || fd < 0) return 0;
  // The start code at index 0 stays 0; channels - 1 slots follow it.
  return Post(txFrame + 1, data, channels - 1, channels);
}

int DmxPort::WriteFrame() {
  if (input == 1 || fd < 0) return 0;
  return Write(txFrame, channels);
}
int DmxPort::ReadFrame(uint8_t* buffer) {
  if (input != 1) return 0;
  VLOG(4) << "DMX RX frame: " << devicePath;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (fd >= 0) lastRxCount = static_cast<int32_t>(XuartRead(fd, buffer, kDmxFrameSlots));
  }
  VLOG(4) << "DMX RX read: " << lastRxCount;
  return lastRxCount;
}
