// Until responders are wired in, a simulated line has nobody on it.
#include "rdm_line.h"

namespace xuart_sim {
namespace {

class EmptyLine : public RdmLine {
 public:
  bool Configure(const std::string&) override { return false; }
  size_t Transact(const uint8_t*, size_t, uint8_t*, size_t) override { return 0; }
};

}  // namespace

std::unique_ptr<RdmLine> MakeRdmLine() { return std::make_unique<EmptyLine>(); }
}  // namespace xuart_sim
