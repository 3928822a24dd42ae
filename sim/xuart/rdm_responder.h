#pragma once
// Simulated ANSI E1.20 responders on one serial line: what the devices on a
// port answer to the requests the port sends. Pure over bytes; the simulated
// driver hands every RDM transaction of its port to a ResponderLine.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocols/rdm_packets.h"
#include "rdm_line.h"

namespace xuart_sim {

enum class ResponderFault {
  kNone,
  kSilent,  // never answers
  kBadSum,  // every reply carries a wrong checksum
  kShort,   // every reply is cut to its first half
  kNoMute,  // answers DISC_UNIQUE_BRANCH, never its DISC_MUTE
};

constexpr size_t kMaxLabelLength = 32;

struct ResponderConfig {
  RdmUid uid = {};
  std::string label;
  uint16_t startAddress = 1;
  uint16_t footprint = 1;
  uint8_t preamble = 7;
  ResponderFault fault = ResponderFault::kNone;
};

// Reads one "responder <uid> [key=value]..." line of xuartN.conf. False for
// any other line and for a responder line with a field it cannot take.
bool ParseResponderLine(const std::string& line, ResponderConfig* out);

class RdmResponder {
 public:
  explicit RdmResponder(const ResponderConfig& config);

  // Takes one request frame off the line; writes the reply into `out` and
  // returns its length, 0 when this device stays quiet.
  size_t Answer(const uint8_t* request, size_t length, uint8_t* out, size_t capacity);

  const RdmUid& uid() const { return config_.uid; }
  bool muted() const { return muted_; }
  uint16_t startAddress() const { return config_.startAddress; }
  const std::string& label() const { return config_.label; }
  bool identifying() const { return identify_; }

 private:
  size_t AnswerDiscovery(const RdmMessage& m, bool toMe, uint8_t* out);
  size_t AnswerGetSet(const RdmMessage& m, uint8_t* out);
  // The response frame to `request`; its length.
  size_t Respond(const RdmMessage& request, uint8_t responseType, const uint8_t* data,
                 uint8_t pdl, uint8_t* out) const;
  size_t Nack(const RdmMessage& request, uint16_t reason, uint8_t* out) const;
  size_t Ack(const RdmMessage& request, const uint8_t* data, uint8_t pdl, uint8_t* out) const {
    return Respond(request, kRdmAck, data, pdl, out);
  }

  ResponderConfig config_;
  bool muted_ = false;
  bool identify_ = false;
};

enum class CollisionModel {
  kGarbled,  // several DUB replies give one whose checksum fails
  kAnd,      // several DUB replies give their bitwise AND, as a wired-AND line
};

class ResponderLine : public RdmLine {
 public:
  // Takes one line of xuartN.conf: "responder ..." or "collisions ...".
  // False when it is neither, or when it cannot be read.
  bool Configure(const std::string& line) override;

  // One transaction: every responder hears the request; what came back on
  // the line goes to `response`. Returns its length, 0 when nothing answered.
  size_t Transact(const uint8_t* request, size_t length, uint8_t* response,
                  size_t capacity) override;

  const std::vector<RdmResponder>& responders() const { return responders_; }

 private:
  std::vector<RdmResponder> responders_;
  CollisionModel collisions_ = CollisionModel::kGarbled;
};

}  // namespace xuart_sim
