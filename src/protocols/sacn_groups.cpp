#include "protocols/sacn_groups.h"

#include <arpa/inet.h>
#include <errno.h>
#include <glog/logging.h>
#include <sys/socket.h>

#include "startup/device_identity.h"
#include "protocols/sacn_packets.h"
#include "streams/network_streams.h"
#include "streams/stream_table.h"

namespace {

constexpr const char* kOptionFailure = "Cannot set options on broadcast socket";

// Linux limits the groups one socket may join (igmp_max_memberships, 20 by
// default), and a gateway may well listen to more universes than that. The
// receiving socket gets every group joined on the host (IP_MULTICAST_ALL),
// so the groups beyond its own limit are held by further sockets that are
// never bound or read: still one receive path, and no datagram arrives
// twice, as it would with several sockets bound to 5568.
class GroupJoiner {
 public:
  explicit GroupJoiner(int firstSocket) : socket_(firstSocket) {}

  void Join(uint32_t universe) {
    struct ip_mreq request = {};
    request.imr_multiaddr.s_addr = htonl(SacnMulticastGroup(universe));
    request.imr_interface = IpAddress;
    VLOG(1) << "Multicast Subscribe to universe: " << universe << " -> "
            << request.imr_multiaddr.s_addr;
    if (TryJoin(request)) return;
    if (errno != ENOBUFS) LOG(FATAL) << kOptionFailure;
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket_ < 0) LOG(FATAL) << "Could not open sACN socket";
    if (!TryJoin(request)) LOG(FATAL) << kOptionFailure;
  }

 private:
  bool TryJoin(const struct ip_mreq& request) {
    return setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) == 0;
  }

  int socket_;
};

void SetMulticastOptions(int fd) {
  int off = 0;
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off)) != 0) {
    LOG(FATAL) << kOptionFailure;
  }
  // The default already, but the receiver depends on it.
  int on = 1;
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &on, sizeof(on)) != 0) {
    LOG(FATAL) << kOptionFailure;
  }
}

}  // namespace

void JoinSacnInputGroups(int fd) {
  SetMulticastOptions(fd);
  GroupJoiner joiner(fd);
  ForEachStream([&joiner](uint32_t, const Stream& s) {
    const NetworkEndpoint* n = NetworkInput(s, kProtocolSacn);
    if (n == nullptr) return;
    // One membership per universe: the first input of the universe joins.
    const uint32_t universe = n->acn.universe;
    const Stream* first = FindInputStream([universe](uint32_t, const Stream& t) {
      const NetworkEndpoint* other = NetworkInput(t, kProtocolSacn);
      return other != nullptr && other->acn.universe == universe;
    });
    if (first == &s) joiner.Join(universe);
  });
}
