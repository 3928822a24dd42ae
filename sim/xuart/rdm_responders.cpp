// A simulated port's line carries the E1.20 responders its xuartN.conf
// names.
#include <memory>

#include "rdm_line.h"
#include "rdm_responder.h"

namespace xuart_sim {

std::unique_ptr<RdmLine> MakeRdmLine() { return std::make_unique<ResponderLine>(); }

}  // namespace xuart_sim
