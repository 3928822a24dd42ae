// What Stream::Send hands to the datagram seam, and when: the bytes are
// pinned by the stream datagram test, here the flag, the sACN sequence and
// the sends that must not happen. No socket is opened.
#include <gtest/gtest.h>

#include <vector>

#include "receiver_test_support.h"
#include "stream.h"

namespace {

ssize_t FailSend(int, const struct sockaddr_in&, const uint8_t*, size_t) { return -1; }

// A stream from a configuration line, less its letter, filled with changed data.
Stream* Filled(uint32_t kind, const char* text, uint8_t seed = 1) {
  Stream* s = AddStream(kind, text);
  s->Write(Ramp({}, 512, seed).data(), 512, 0);
  return s;
}

const char* const kSacnOut = "S300120000000000000" "00000000-0000-0000-0000-000000000000" " \n";

using StreamSend = ReceiverTest;

// A send that does not go out is not retried: the flag is cleared all the
// same and the next send waits for the next change.
TEST_F(StreamSend, ChangedOrForcedOutputsSendOnceAndClearTheFlag) {
  const struct {
    uint32_t kind;
    const char* text;
  } rows[] = {{kStreamNetwork, "A300010000000009O\n"},
              {kStreamNetwork, "E300010000000009O\n"},
              {kStreamNetwork, kSacnOut},
              {kStreamNxb, "XO010000000009\n"}};
  for (const auto& r : rows) {
    Captured().clear();
    Stream* s = Filled(r.kind, r.text, static_cast<uint8_t>(StreamCount));
    s->Send(0, 0, RecordDatagram);
    ASSERT_EQ(Captured().size(), 1u) << r.text;
    const std::vector<uint8_t>& d = Captured()[0].bytes;
    EXPECT_EQ(Bytes(d.data() + d.size() - 512, 512), Bytes(s->data, 512)) << r.text;
    EXPECT_FALSE(s->IsChanged()) << r.text;
    s->Send(0, 0, RecordDatagram);
    EXPECT_EQ(Captured().size(), 1u) << r.text << ": unchanged and not forced";
    s->Send(1, 1, RecordDatagram);
    EXPECT_EQ(Captured().size(), 2u) << r.text << ": forced";
    s->Write(Ramp({}, 512, 99).data(), 512, 0);
    s->Send(0, 0, FailSend);
    EXPECT_FALSE(s->IsChanged()) << r.text << ": failed";
  }
}

// Each send counts one on; 256 sends come round to where they started.
TEST_F(StreamSend, SacnSequenceAdvancesPerSend) {
  Stream* s = Filled(kStreamNetwork, kSacnOut);
  for (int i = 0; i < 257; ++i) s->Send(1, 0, RecordDatagram);
  ASSERT_EQ(Captured().size(), 257u);
  for (int i = 0; i < 257; ++i) ASSERT_EQ(Captured()[i].bytes[111], (i + 1) % 256) << i;
}

// Even a forced send puts nothing on the wire for these; only an input keeps
// its flag for the rules to see.
TEST_F(StreamSend, StreamsThatSendNothing) {
  const struct {
    uint32_t kind;
    const char* text;
    bool keepsFlag;
  } rows[] = {
      {kStreamNxb, "XI010000000009\n", true},
      {kStreamNetwork, "A001010000000009I\n", true},
      {kStreamVirtual, "\n", false},
      {kStreamNetwork, "K001000000000001000000000000O\n", false},
      {kStreamNetwork, "X001255255255255O\n", false},
  };
  for (const auto& r : rows) {
    Stream* s = Filled(r.kind, r.text);
    s->Send(1, 0, RecordDatagram);
    EXPECT_EQ(s->IsChanged(), r.keepsFlag) << r.text;
    EXPECT_FALSE(s->SendsData()) << r.text;
  }
  EXPECT_TRUE(Captured().empty());
}

}  // namespace
