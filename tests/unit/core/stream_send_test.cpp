// What Stream::Send hands to the datagram seam, and when: the bytes are
// pinned by the stream datagram test, here the flag, the sACN sequence and
// the sends that must not happen. No socket is opened.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/sockets.h"
#include "receiver_test_support.h"
#include "stream.h"

namespace {

constexpr int kArtnetFd = 1201;
constexpr int kSacnFd = 1202;

ssize_t FailSend(int, const struct sockaddr_in&, const uint8_t*, size_t) { return -1; }

class StreamSend : public ArtnetTest {
 protected:
  void SetUp() override {
    ArtnetTest::SetUp();
    ArtnetRxSocket = kArtnetFd;
    SacnSendSocket = kSacnFd;
  }
  void TearDown() override {
    ArtnetRxSocket = SacnSendSocket = -1;
    ArtnetTest::TearDown();
  }
  // A stream from one configuration line, filled with changed data.
  static Stream* Filled(const std::string& line, uint8_t seed = 1) {
    ProcessConfigText(line);
    Stream* s = StreamTable[StreamCount - 1];
    s->Write(Ramp({}, 512, seed).data(), 512, 0);
    return s;
  }
  static void Send(Stream* s, uint32_t force) { s->Send(force, 0, RecordDatagram); }
};

const char* const kSacnOut = "SS300120000000000000" "00000000-0000-0000-0000-000000000000" " \n";

TEST_F(StreamSend, ChangedOrForcedOutputsSendOnceAndClearTheFlag) {
  const struct {
    const char* line;
    int fd;
    size_t length;
  } rows[] = {
      {"SA300010000000009O\n", kArtnetFd, 530},
      {"SE300010000000009O\n", kArtnetFd, 521},
      {kSacnOut, kSacnFd, 638},
      {"DXO010000000009\n", kArtnetFd, 517},
  };
  for (const auto& r : rows) {
    Captured().clear();
    Stream* s = Filled(r.line, static_cast<uint8_t>(StreamCount));
    Send(s, 0);
    ASSERT_EQ(Captured().size(), 1u) << r.line;
    const SentDatagram& d = Captured()[0];
    EXPECT_EQ(d.fd, r.fd) << r.line;
    ASSERT_EQ(d.bytes.size(), r.length) << r.line;
    EXPECT_EQ(Bytes(d.bytes.data() + r.length - 512, 512), Bytes(s->data, 512)) << r.line;
    EXPECT_FALSE(s->IsChanged()) << r.line;
    Send(s, 0);
    EXPECT_EQ(Captured().size(), 1u) << r.line << ": unchanged and not forced";
    s->Send(1, 1, RecordDatagram);
    EXPECT_EQ(Captured().size(), 2u) << r.line << ": forced";
  }
}

// Each send counts one on; 256 sends come round to where they started.
TEST_F(StreamSend, SacnSequenceAdvancesPerSend) {
  Stream* s = Filled(kSacnOut);
  for (int i = 0; i < 257; ++i) Send(s, 1);
  ASSERT_EQ(Captured().size(), 257u);
  for (int i = 0; i < 257; ++i) ASSERT_EQ(Captured()[i].bytes[111], (i + 1) % 256) << i;
}

// A send that does not go out is not retried: the flag is cleared all the
// same and the next send waits for the next change.
TEST_F(StreamSend, FailedSendStillClearsTheFlag) {
  for (const char* line : {"SA001010000000009O\n", kSacnOut, "DXO010000000009\n"}) {
    Stream* s = Filled(line);
    s->Send(0, 0, FailSend);
    EXPECT_FALSE(s->IsChanged()) << line;
  }
}

// Even a forced send puts nothing on the wire for these; only an input keeps
// its flag for the rules to see.
TEST_F(StreamSend, StreamsThatSendNothing) {
  const struct {
    const char* line;
    bool keepsFlag;
  } rows[] = {
      {"DXI010000000009\n", true},
      {"SA001010000000009I\n", true},
      {"V\n", false},
      {"SK001000000000001000000000000O\n", false},
      {"SX001255255255255O\n", false},
  };
  for (const auto& r : rows) {
    Stream* s = Filled(r.line);
    Send(s, 1);
    EXPECT_EQ(s->IsChanged(), r.keepsFlag) << r.line;
    EXPECT_FALSE(s->SendsData()) << r.line;
  }
  EXPECT_TRUE(Captured().empty());
}

}  // namespace
