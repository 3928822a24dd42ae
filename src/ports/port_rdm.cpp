// Single RDM transactions on a port: the request built with the port's own
// UID, handed to the driver under the port mutex, the response checked; the
// port runs on its RDM timing meanwhile and goes back to continuous DMX.
#include <glog/logging.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "port.h"
#include "xuart/xuart_device.h"

namespace {

constexpr unsigned int kRdmSettleMicros = 200;
constexpr uint8_t kRdmMessageCount = 0;

}  // namespace

void (*DmxPort::rdmPause)(unsigned int microseconds) = [](unsigned int microseconds) {
  usleep(microseconds);
};

void DmxPort::BuildRdmRequest(RdmRequestBlock* block, const RdmUid& destination,
                              const RdmUid& source, uint8_t portId, uint8_t messageCount,
                              uint16_t subDevice, uint8_t commandClass, uint16_t parameterId,
                              uint8_t pdl, const uint8_t* data) {
  ++transactionNumber;  // wraps from 255 to 0
  BuildRdmFrame(block, {destination, source, transactionNumber, portId, messageCount, subDevice,
                        commandClass, parameterId, pdl, data});
}

void DmxPort::InitEmptyRequest(RdmRequestBlock* block) { InitEmptyRdmRequest(block); }

int DmxPort::RdmExchange(const RdmRequestBlock* block, uint8_t* response,
                         uint8_t* responseLength) {
  if (input == 1) return 0;
  XuartRdmBlock x = {};
  x.requestLength = static_cast<uint16_t>(LayRdmFrame(*block, x.request));
  VLOG(3) << "dmx port RDM ioctl, data: " << static_cast<int>(x.request[0]);
  return RdmIoctl(&x, response, responseLength, true);
}

int DmxPort::RdmIoctl(XuartRdmBlock* x, uint8_t* response, uint8_t* responseLength,
                      bool traced) {
  VLOG_IF(3, traced) << "dmx port: mutex locking";
  int result;
  {
    std::lock_guard<std::mutex> lock(mutex);
    VLOG_IF(3, traced) << "dmx port: mutex locked";
    result = XuartRdm(fd, x);
  }
  // A failed call is no transaction, whatever its low byte says.
  uint8_t n = result < 0 ? 0 : static_cast<uint8_t>(x->responseLength & 0xFF);
  *responseLength = n;
  VLOG_IF(3, traced) << "dmx port RDM ioctl got " << static_cast<int>(n) << "bytes";
  if (n != 0) std::memcpy(response, x->response, n);
  return result < 0 ? 0 : result & 0xFF;
}

int DmxPort::RdmTransaction(const RdmUid& destination, uint8_t commandClass,
                            uint16_t parameterId, uint8_t pdl, const uint8_t* data,
                            uint16_t subDevice, uint8_t* response, uint8_t* responseLength) {
  pdl = std::min(pdl, kRdmMaxPdl);
  RdmRequestBlock block;
  InitEmptyRequest(&block);
  BuildRdmRequest(&block, destination, ownUid, 1, kRdmMessageCount, subDevice, commandClass,
                  parameterId, pdl, data);
  uint8_t received[kRdmMaxReplySize] = {};
  if (RdmExchange(&block, received, responseLength) == 0) return 0;
  std::memcpy(response, received, *responseLength);
  VLOG(3) << "Internal Resposne Type"  // spelled so: readers of the log match it as it stands
          << static_cast<int>(received[kRdmResponseTypeOffset]);
  return 1;
}

int DmxPort::CheckRdmResponse(const uint8_t* response, size_t length) {
  RdmResponse r;
  if (!ParseRdmResponse(response, length, &r)) return 0;
  switch (r.responseType) {
    case kRdmAck:
      VLOG(3) << " RESPONSE_TYPE_ACK : ";
      break;
    case kRdmAckTimer:
      VLOG(3) << "\n : RESPONSE_TYPE_ACK_TIMER : ";
      break;
    case kRdmNackReason:
      VLOG(1) << "\n NACK ::: REASON :::  ";
      break;
    default:
      VLOG(3) << "\n Ack Overflow ::: ";
      break;
  }
  return 1;
}

int DmxPort::RdmGetOrSet(uint8_t commandClass, const RdmUid& destination, uint16_t parameterId,
                         uint8_t pdl, const uint8_t* data, uint16_t subDevice,
                         uint8_t* responseType, uint8_t* responseData, uint8_t* responsePdl) {
  *responseType = kRdmNoValidResponse;
  rdmPause(kRdmSettleMicros);
  SetParams(paramsRdm);
  // Zeroed, so that a response shorter than a header shows no stale PDL.
  uint8_t response[kRdmMaxReplySize] = {};
  if (RdmTransaction(destination, commandClass, parameterId, pdl, data, subDevice, response,
                     responsePdl) == 1) {
    uint8_t length = *responsePdl;
    if (commandClass == kRdmGetCommand) {
      VLOG(3) << "Response Received : " << static_cast<int>(response[kRdmPdlOffset]) << " bytes";
    } else {
      // The one RDM line that goes to standard output, without a line end;
      // flushed, so that it is not lost when the process ends.
      std::printf("Response Received ... %d bytes", response[kRdmPdlOffset]);
      std::fflush(stdout);
    }
    RdmResponse r;
    if (CheckRdmResponse(response, length) == 1 && ParseRdmResponse(response, length, &r)) {
      *responseType = r.responseType;
      *responsePdl = r.pdl;
      std::memcpy(responseData, r.data, r.pdl);
    }
  }
  rdmPause(kRdmSettleMicros);
  SetParams(paramsContinuous);
  PostFrame(nullptr);
  return 1;
}

int DmxPort::RdmGet(const RdmUid& destination, uint16_t parameterId, uint8_t pdl,
                    const uint8_t* data, uint16_t subDevice, uint8_t* responseType,
                    uint8_t* responseData, uint8_t* responsePdl) {
  if (VLOG_IS_ON(3)) {
    std::string uid;
    for (uint8_t b : destination.bytes) uid += std::to_string(b);
    VLOG(3) << "RDM Get for UID" << uid;
  }
  if (input == 1) return 0;
  return RdmGetOrSet(kRdmGetCommand, destination, parameterId, pdl, data, subDevice, responseType,
                     responseData, responsePdl);
}

int DmxPort::RdmSet(const RdmUid& destination, uint16_t parameterId, uint8_t pdl,
                    const uint8_t* data, uint16_t subDevice, uint8_t* responseType,
                    uint8_t* responseData, uint8_t* responsePdl) {
  if (input == 1) return 0;
  RdmGetOrSet(kRdmSetCommand, destination, parameterId, pdl, data, subDevice, responseType,
              responseData, responsePdl);
  return *responseType;
}

int DmxPort::RdmRaw(const uint8_t* frame, uint8_t length, uint8_t* response,
                    uint8_t* responseLength) {
  if (input == 1) return 0;
  SetParams(paramsRdm);
  XuartRdmBlock x = {};
  x.requestLength = length;
  std::memcpy(x.request, frame, length);
  int result = RdmIoctl(&x, response, responseLength, false);
  rdmPause(kRdmSettleMicros);
  SetParams(paramsContinuous);
  PostFrame(nullptr);
  return result;
}
