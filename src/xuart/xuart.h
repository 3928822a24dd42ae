#pragma once
// Our own description of the board's UART driver interface: the parameter
// block and the RDM transaction block it takes through its two ioctls. The
// driver itself is outside the engine; on a machine without it the device
// paths simply do not open.
#include <cstdint>

#pragma pack(push, 1)
struct DmxPortParams {
  uint16_t breakTime;       // 4 us units
  uint16_t markAfterBreak;  // 4 us units
  uint8_t interSlot;        // 4 us units
  uint8_t padding[3];       // never written
  uint32_t mode;            // 1 continuous, 0 one-shot
};

struct XuartRdmBlock {
  uint16_t requestLength;
  uint8_t request[258];
  uint16_t responseLength;  // only the low byte is meaningful
  uint8_t response[258];
};
#pragma pack(pop)
static_assert(sizeof(DmxPortParams) == 12, "the driver takes a 12-byte block");
static_assert(sizeof(XuartRdmBlock) == 520, "the driver takes a 520-byte block");

constexpr unsigned long XUART_IOC_SET_PARAMS = 0x40046B01UL;
constexpr unsigned long XUART_IOC_RDM = 0xC0046B02UL;
