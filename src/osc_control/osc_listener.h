#pragma once
// OSC control of the show player and of the OSC-driven generator streams.
// Addresses, as the control surfaces send them, each with one float:
//   /vpro/gm                          grand master 0..255
//   /vpro/cuelist/<n>/command/go      start or resume cue list n (0.0 ignored)
//   /vpro/cuelist/<n>/command/pause   pause cue list n (0.0 ignored)
//   /vpro/cuelist/<n>/level           level 0..65535 of cue list n (0.0 ignored)
//   /cvmk2/<i>                        channel i (0..127) of every OSC-driven stream
#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/osc/OscPacketListener.h>
#include <oscpack/osc/OscReceivedElements.h>

// Logged for a datagram dropped and for a receive loop that throws. Misspelt
// on purpose: the front end's log readers match these bytes.
inline constexpr char kOscExceptionLine[] = "OSC Exeception";

class ExamplePacketListener : public osc::OscPacketListener {
 public:
  // One datagram: a message, or a bundle of them handled in order. A
  // datagram the library cannot parse is logged and dropped here, so the
  // receive loop goes on with the next one.
  void ProcessPacket(const char* data, int size, const IpEndpointName& sender) override;
  void ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName& sender) override;
};
