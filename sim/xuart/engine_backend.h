#pragma once
// Unit tests run the engine's ports on the simulated driver in-process: while
// an EngineBackend lives, every device call of src/xuart_device goes to its
// Driver instead of the operating system. They nest; the last one made
// serves until it is destroyed.
#include "driver.h"

namespace xuart_sim {

class EngineBackend {
 public:
  explicit EngineBackend(Driver* driver);
  ~EngineBackend();
  EngineBackend(const EngineBackend&) = delete;
  EngineBackend& operator=(const EngineBackend&) = delete;

 private:
  Driver* previous_;
};

// Descriptors for a driver that runs inside a test: small numbers of its own,
// never handed to the operating system.
Driver::Descriptors CountingDescriptors();

}  // namespace xuart_sim
