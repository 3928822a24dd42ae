#pragma once
// The only place where the engine calls the UART driver. The ports reach
// their "/dev/xuart%d" devices through these five calls and nothing else, so
// whatever sits below (the board's driver, or a stand-in) is seen by no
// other code.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "xuart/xuart.h"

// Descriptor, or -1. Read-only for an input port, write-only otherwise.
int XuartOpen(const char* path, bool readOnly);
ssize_t XuartWrite(int fd, const uint8_t* bytes, size_t length);
ssize_t XuartRead(int fd, uint8_t* buffer, size_t capacity);
// XUART_IOC_SET_PARAMS: a DmxPortParams block, or an LED port's one byte;
// `length` says which.
int XuartSetParams(int fd, const void* block, size_t length);
// XUART_IOC_RDM: one request out, the response (if any) back in the block.
int XuartRdm(int fd, XuartRdmBlock* block);

// The calls a backend answers; the default is the operating system's own.
struct XuartBackend {
  int (*open)(const char* path, int flags);
  ssize_t (*write)(int fd, const void* bytes, size_t length);
  ssize_t (*read)(int fd, void* buffer, size_t capacity);
  // `length`: the bytes `argument` holds. The operating system's call cannot
  // take it; a stand-in uses it to never read past the caller's block.
  int (*ioctl)(int fd, unsigned long request, void* argument, size_t length);
};

// Unit tests put the simulated driver here; nullptr restores the real calls.
void SetXuartBackendForTesting(const XuartBackend* backend);
