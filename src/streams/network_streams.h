#pragma once
// The network kinds of stream: an "S" line (Art-Net, QSP, KiNet or sACN, in
// or out) and an NXB line ("D", QSOO to one node), and the datagram each
// output sends.
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

// The datagram a network or NXB output stream sends, built apart from the
// sending so that its bytes can be checked without a socket.
struct StreamDatagram {
  int socket = -1;             // the socket it leaves from
  struct sockaddr_in to = {};  // with the protocol's port
  uint32_t length = 0;         // 0: the stream sends no datagram
};

// Writes the datagram `s` sends with `channels` as its 512 data bytes into
// `out`, which has room for it (kStreamPacketSize bytes serve every kind):
// an ArtDmx, a "QSDD", the stream's sACN packet as it stands, or a "QSOO".
// Reads the stream's configuration and changes nothing; KiNet, protocol-less
// and non-network streams get length 0.
StreamDatagram BuildStreamDatagram(const Stream& s, const uint8_t* channels, uint8_t* out);
