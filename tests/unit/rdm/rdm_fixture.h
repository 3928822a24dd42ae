#pragma once
// What the RDM tests share: frames laid as a controller puts them on the
// line, ports that do not sleep through the pauses RDM leaves there, and the
// transactions a simulated line logged.
#include <sstream>
#include <string>
#include <vector>

#include "port.h"
#include "ports/simulated_uart.h"
#include "protocols/rdm_packets.h"

inline std::vector<uint8_t> LaidFrame(const RdmMessage& m) {
  RdmRequestBlock block;
  InitEmptyRdmRequest(&block);
  BuildRdmFrame(&block, m);
  std::vector<uint8_t> out(kRdmMaxFrameSize);
  out.resize(LayRdmFrame(block, out.data()));
  return out;
}

// The pauses are real sleeps; a test holds one of these while its ports run RDM.
class NoRdmPause {
 public:
  NoRdmPause() { DmxPort::rdmPause = [](unsigned int) {}; }
  ~NoRdmPause() { DmxPort::rdmPause = saved_; }

 private:
  void (*saved_)(unsigned int) = DmxPort::rdmPause;
};

struct RdmTransaction {
  std::string request;
  std::string response;  // "-" when nothing answered
};

inline std::vector<RdmTransaction> RdmTransactions(const SimulatedUart& uart, int port) {
  std::vector<RdmTransaction> out;
  for (const std::string& line : uart.Log(port)) {
    std::istringstream words(line);
    std::string word;
    RdmTransaction t;
    if (words >> word && word == "rdm" && words >> t.request >> t.response) out.push_back(t);
  }
  return out;
}
