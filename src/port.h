#pragma once
// A serial DMX512 port on one of the board's "/dev/xuart%d" devices: the
// device part of a PORT stream.
#include <cstdint>
#include <string>
#include <string_view>

#include "dmx_types.h"
#include "protocols/rdm_packets.h"
#include "stream.h"
#include "xuart/xuart.h"
#include "ports/xuart_port.h"

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

class DmxPort : public XuartPort {
 public:
  static constexpr uint32_t kKind = kStreamPort;
  // Builds the port from the text after the "P" of a configuration line;
  // its device stays closed until Init.
  explicit DmxPort(std::string_view text);

  // Opens the device. A device that cannot be opened ends the process.
  void Init() override { Open(); }
  int Open();
  void LogStarted(const std::string& text) const override;
  bool IsInput() const override { return input == 1; }
  bool SendsData() const override { return input != 1; }
  bool Send(Stream& stream, SendFunction send) override;
  // One-shot sending (Klock mode), for an output port.
  void SetOneShot(const Stream& stream) override;

  // Applies one of the port's parameter blocks to the UART.
  void SetParams(const DmxPortParams& block);

  // Hands a frame (or, with nullptr, the unchanged frame) to the transmit
  // thread. 0 for an input port or a port whose device is not open.
  int PostFrame(const uint8_t* data);

  // Transmit thread: writes txFrame. 0 for an input or unopened port.
  int WriteFrame() override;

  // Receive thread: reads one frame into 513 bytes. 0 for an output port.
  int ReadFrame(uint8_t* buffer);

  uint32_t input = 0;
  uint8_t txFrame[kDmxFrameSlots] = {};
  int32_t lastRxCount = 0;
  uint32_t channels = kDmxFrameSlots;
  RdmUid broadcastUid = kRdmBroadcastUid;
  RdmUid ownUid = {};
  uint8_t transactionNumber = 0;
  DmxPortParams paramsContinuous = {};
  DmxPortParams paramsRdm = {};
  DmxPortParams paramsOneShot = {};
  uint16_t discoveredCount = 0;
  RdmUid discoveredUids[399] = {};

  // RDM on this port's line, run on QspThread: single transactions, then
  // discovery. Every request takes the next transactionNumber. Response
  // buffers hold kRdmMaxReplySize bytes, response data buffers kRdmMaxPdl.
  void BuildRdmRequest(RdmRequestBlock* block, const RdmUid& destination, const RdmUid& source,
                       uint8_t portId, uint8_t messageCount, uint16_t subDevice,
                       uint8_t commandClass, uint16_t parameterId, uint8_t pdl,
                       const uint8_t* data);
  // One RDM ioctl. 0 when no transaction took place (an input port, a
  // failed call); *responseLength is then 0 unless the driver said more.
  int RdmExchange(const RdmRequestBlock* block, uint8_t* response, uint8_t* responseLength);
  int RdmTransaction(const RdmUid& destination, uint8_t commandClass, uint16_t parameterId,
                     uint8_t pdl, const uint8_t* data, uint16_t subDevice, uint8_t* response,
                     uint8_t* responseLength);
  int CheckRdmResponse(const uint8_t* response, size_t length);
  // *responsePdl says how many data bytes were copied for a valid response.
  int RdmGet(const RdmUid& destination, uint16_t parameterId, uint8_t pdl, const uint8_t* data,
             uint16_t subDevice, uint8_t* responseType, uint8_t* responseData,
             uint8_t* responsePdl);
  int RdmSet(const RdmUid& destination, uint16_t parameterId, uint8_t pdl, const uint8_t* data,
             uint16_t subDevice, uint8_t* responseType, uint8_t* responseData,
             uint8_t* responsePdl);
  int RdmRaw(const uint8_t* frame, uint8_t length, uint8_t* response, uint8_t* responseLength);
  void InitEmptyRequest(RdmRequestBlock* block);

  // Copies at most `capacity` UIDs out and says how many in *count.
  int Discover(uint16_t* count, RdmUid* uids, size_t capacity);
  int DiscPass(bool skipUnMute);
  void DiscSearch(RdmRequestBlock* block, uint32_t depth, uint64_t base, uint16_t* found);
  int DiscUniqueBranch(RdmRequestBlock* block, uint64_t lower, uint64_t upper);
  int DiscMute(RdmRequestBlock* block);
  uint8_t DiscMuteUid(const RdmUid& uid, uint8_t* response);
  uint8_t DiscUnMuteAll(const RdmUid& uid);
  // False, recording nothing, when the list is full.
  bool AddUid(const RdmUid& uid);
  bool CheckDiscReply(const uint8_t* reply, size_t length);
  int ClassifyDiscReply(const uint8_t* reply, size_t length);

  // The pauses between RDM steps; tests replace it so that they never wait.
  static void (*rdmPause)(unsigned int microseconds);
  // What the running discovery may still send: a line that keeps answering
  // must not hold QspThread for ever. Unbounded outside a discovery.
  uint32_t discTransactionsLeft = UINT32_MAX;

 private:
  explicit DmxPort(const DmxPortSettings& settings);

  // The RDM ioctl under the mutex; the low byte of its result, 0 for a
  // failed call.
  int RdmIoctl(XuartRdmBlock* x, uint8_t* response, uint8_t* responseLength, bool traced);
  void DiscSearchHalf(RdmRequestBlock* block, uint32_t depth, uint64_t base, uint16_t* found,
                      bool logMute);
  uint8_t DiscExchange(const RdmUid& destination, uint16_t parameterId, uint8_t pdl,
                       const uint8_t* data, uint8_t* response);
  int RdmGetOrSet(uint8_t commandClass, const RdmUid& destination, uint16_t parameterId,
                  uint8_t pdl, const uint8_t* data, uint16_t subDevice, uint8_t* responseType,
                  uint8_t* responseData, uint8_t* responsePdl);
};
