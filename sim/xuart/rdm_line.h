#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace xuart_sim {
// The RDM responders wired to one simulated port.
class RdmLine {
 public:
  virtual ~RdmLine() = default;
  // Takes one line of xuartN.conf; false when it is not an RDM line.
  virtual bool Configure(const std::string& line) = 0;
  // One transaction: the request as the port sent it (start code first,
  // checksum included). Writes what came back on the line into response
  // and returns its length; 0 when nothing answered.
  virtual size_t Transact(const uint8_t* request, size_t length, uint8_t* response, size_t capacity) = 0;
};
std::unique_ptr<RdmLine> MakeRdmLine();
}
