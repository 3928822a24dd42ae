#include "protocols/artnet_receive.h"

#include <arpa/inet.h>
#include <glog/logging.h>

#include <cstring>

#include "startup/device_identity.h"
#include "protocols/artnet_packets.h"
#include "streams/network_streams.h"
#include "streams/stream_table.h"
#include "status/unmatched_table.h"

namespace {

const NetworkEndpoint* ArtnetStream(const Stream& s) {
  const NetworkEndpoint* n = s.As<NetworkEndpoint>();
  return n != nullptr && n->protocol == kProtocolArtnet ? n : nullptr;
}

// Nothing in the engine keeps RDM UIDs per Art-Net port (discovery keeps its
// results on the serial ports), so every port's table is empty and a request
// is logged and left unanswered, as for a port without devices.
void HandleArtTodRequest(const uint8_t* packet, size_t length) {
  ArtTodRequestInput request;
  if (!ParseArtTodRequest(packet, length, &request) || request.command != 0) return;
  VLOG(2) << "Requesting: " << static_cast<uint32_t>(request.adCount) << " ports";
  for (uint32_t i = 0; i < request.addressCount; ++i) {
    uint8_t address = request.addresses[i];
    VLOG(2) << "Checking universe: " << static_cast<uint32_t>(address);
    const Stream* s = FindInputStream([address](uint32_t, const Stream& t) {
      const NetworkEndpoint* n = NetworkInput(t, kProtocolArtnet);
      return n != nullptr && n->artnetUniverse == address;
    });
    if (s != nullptr) {
      VLOG(2) << "Stream: " << s->id << " is a match to incoming rdm packet with univ"
              << static_cast<char>(address);
    }
  }
}

}  // namespace

void MatchArtnetInputStream(const uint8_t* packet, int length, struct in_addr sender) {
  ArtDmxInput dmx;
  if (length < 0 || !ParseArtDmx(packet, static_cast<size_t>(length), &dmx)) return;
  Stream* s = FindInputStream([&dmx](uint32_t i, const Stream& t) {
    VLOG(3) << "Checking for matching Input Artnet stream: " << i << " universe " << dmx.universe;
    const NetworkEndpoint* n = NetworkInput(t, kProtocolArtnet);
    return n != nullptr && n->artnetUniverse == dmx.universe;
  });
  if (s == nullptr) {
    AddUnmatchedStream(kProtocolArtnet, dmx.universe, nullptr);
    return;
  }
  VLOG(2) << "Stream: " << s->id << " is a match to incoming packet with univ" << dmx.universe;
  s->WriteFrom(dmx.data, dmx.length, sender);
}

void HandleArtnetPacket(const uint8_t* packet, size_t length, const struct sockaddr_in& sender,
                        DatagramSender reply) {
  // Our own broadcasts come back to us; they are not input.
  if (length < 8 || sender.sin_addr.s_addr == IpAddress.s_addr) return;
  if (!HasArtnetId(packet, length)) return;
  VLOG(3) << "Got Artnet packet with " << length << "bytes from " << inet_ntoa(sender.sin_addr);
  if (length < kArtnetHeaderSize) return;

  uint16_t opcode = ArtnetOpcode(packet);
  switch (opcode) {
    case kOpDmx:
      VLOG(3) << "Artnet packet is Data";
      MatchArtnetInputStream(packet, static_cast<int>(length), sender.sin_addr);
      break;
    case kOpPoll:
      VLOG(3) << "Artnet packet is Poll";
      SendArtPollReplies(sender, reply);
      break;
    case kOpTodRequest:
      VLOG(2) << "Artnet TodRequest request";
      HandleArtTodRequest(packet, length);
      break;
    case kOpTodControl:
      VLOG(3) << "Artnet TodControl request";
      break;
    case kOpRdm:
      VLOG(3) << "Artnet OpRDM request";
      break;
    default:
      VLOG(2) << "Unknown Artnet packet :" << opcode << " ignoring";
      break;
  }
}

void SendArtPollReplies(const struct sockaddr_in& sender, DatagramSender send) {
  uint8_t reply[kArtPollReplySize] = {};
  // Replies go to the whole network, not to the poller alone.
  struct sockaddr_in to = sender;
  to.sin_family = AF_INET;
  to.sin_addr = BroadcastAddress;
  to.sin_port = htons(kArtnetPort);
  VLOG(3) << "Creating Poll reply";
  const NodeIdentity node = CurrentNodeIdentity();

  uint32_t bindIndex = 0, ports = 0, inputs = 0, outputs = 0;
  ForEachStream([&](uint32_t, const Stream& s) {
    const NetworkEndpoint* n = ArtnetStream(s);
    if (n == nullptr) return;
    VLOG(3) << "Found artnet universe " << n->artnetUniverse;
    uint8_t universe = static_cast<uint8_t>(n->artnetUniverse & 0xFF);
    // A stream fed from Art-Net is where the node outputs to; one it sends
    // from is an input of the node.
    if (n->input == 1) {
      reply[kPollReplyPortTypes + ports] = 0x80;
      reply[kPollReplyGoodOutput + outputs] = 0x80;
      reply[kPollReplySwOut + outputs] = universe;
      outputs += 1;
      VLOG(3) << "universe is output";
    } else {
      reply[kPollReplyPortTypes + ports] = 0x40;
      reply[kPollReplyGoodInput + inputs] = 0x80;
      reply[kPollReplySwIn + inputs] = universe;
      inputs += 1;
      VLOG(3) << "universe is input";
    }
    ports += 1;
    if (ports == kArtPollReplyPorts) {
      VLOG(3) << "4 ports sending a reply";
      reply[kPollReplyNumPortsLo] = kArtPollReplyPorts;
      BuildArtPollReply(reply, bindIndex, node);
      send(to, reply, kArtPollReplySize);
      VLOG(3) << "Artnet Poll reply sent";
      // PortTypes stays as it was: controllers read only NumPortsLo of them.
      std::memset(reply + kPollReplyGoodInput, 0, kPollReplySwOut + 4 - kPollReplyGoodInput);
      ports = inputs = outputs = 0;
      bindIndex += 1;
    }
  });
  if (ports > 0) {
    reply[kPollReplyNumPortsLo] = static_cast<uint8_t>(ports);
    BuildArtPollReply(reply, bindIndex, node);
    send(to, reply, kArtPollReplySize);
    VLOG(3) << "Artnet Poll reply sent";
  }
}

void SendArtTodData(const struct sockaddr_in& to, const RdmUid* uids, uint32_t count,
                    uint8_t address, DatagramSender send) {
  if (count > 0xFFFF) count = 0xFFFF;  // UidTotal is 16 bits
  uint8_t packet[kArtTodDataMaxSize];
  uint32_t done = 0;
  for (uint32_t block = 0;; ++block) {
    uint32_t n = count - done < kArtTodDataMaxUids ? count - done : kArtTodDataMaxUids;
    VLOG(3) << "Sent TOD request reply with " << n << " UIDs";
    size_t length = BuildArtTodData(packet, address, count, block, uids + done, n);
    send(to, packet, length);
    done += n;
    if (n < kArtTodDataMaxUids) break;
  }
}
