#pragma once
// The network kinds of stream: an "S" line (Art-Net, QSP, KiNet or sACN, in
// or out) and an NXB line ("D", QSOO to one node).
#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "acn.h"
#include "protocols/qsp_packets.h"
#include "stream.h"

constexpr uint32_t kStreamPacketSize = 800;
constexpr uint32_t kNxbPacketSize = kQsooPacketSize;

struct NxbOutputPacket {
  uint8_t bytes[kNxbPacketSize];
};

class NetworkEndpoint : public StreamEndpoint {
 public:
  static constexpr uint32_t kKind = kStreamNetwork;
  // Parses the text after the "S"; `socket` is what Art-Net and QSP output
  // leave from (sACN has its own).
  NetworkEndpoint(int socket, std::string_view text);

  bool IsInput() const override { return input == 1; }
  bool SendsData() const override;
  bool Send(Stream& stream, SendFunction send) override;

  uint32_t artnetUniverse = 0;
  struct sockaddr_in artnetAddress = {};
  uint32_t qspUniverse = 0;
  struct sockaddr_in qspAddress = {};
  uint8_t kinetPort = 0;
  AcnPacket acn;
  int sendSocket = -1;
  uint32_t protocol = kProtocolNone;
  uint32_t input = 0;
  // Zeroed so that no byte of uninitialised memory can reach the wire.
  uint8_t packet[kStreamPacketSize] = {};
};

class NxbEndpoint : public StreamEndpoint {
 public:
  static constexpr uint32_t kKind = kStreamNxb;
  // Parses the text after the "D".
  explicit NxbEndpoint(std::string_view text);

  void LogStarted(const std::string& text) const override;
  bool SendsData() const override { return nxbInput != 1; }
  bool Send(Stream& stream, SendFunction send) override;

  struct sockaddr_in nxbAddress = {};
  NxbOutputPacket nxbPacket = {};
  uint32_t nxbInput = 0;
};

// The network stream that receives `protocol`, or null: what every receiver
// looks for.
const NetworkEndpoint* NetworkInput(const Stream& s, uint32_t protocol);
