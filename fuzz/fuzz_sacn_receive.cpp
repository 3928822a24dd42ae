// The sACN receive path, from a datagram of any length to the stream write,
// the unmatched table and the arbitration state.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "startup/config_file.h"
#include "protocols/sacn_receive.h"
#include "stream.h"
#include "status/unmatched_table.h"

namespace {

void BuildStreams() {
  const char* lines[] = {
      "S001100000000000000" "00000000-0000-0000-0000-000000000000" "I\n",
      "S001100000000000000" "00000000-0000-0000-0000-000000000000" "I\n",
      "S002050000000000000" "A1B2C3D4-0001-0203-0405-060708090A0B" "I\n",
      "S002050000000000000" "00000000-0000-0000-0000-000000000000" " \n",
      "S256200000000000000" "00000000-0000-0000-0000-000000000000" "I\n",
  };
  for (const char* line : lines) ProcessConfigText(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static bool ready = (BuildStreams(), true);
  (void)ready;
  // The receiver's buffer holds one data packet; anything longer arrives cut.
  uint8_t datagram[kSacnDataPacketSize];
  size_t length = size < sizeof(datagram) ? size : sizeof(datagram);
  std::memcpy(datagram, bytes, length);
  HandleSacnDatagram(datagram, length, sockaddr_in{}, DatagramSender(-1, nullptr));
  if (UnmatchedCount == kUnmatchedTableSize) ClearUnmatchedTable();

  uint8_t cid[16];
  ParseSacnCidText(std::string_view(reinterpret_cast<const char*>(bytes), size), cid);
  return 0;
}
