// The identity file: which characters each global takes, odd lines included.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "device_identity.h"

namespace {

class Identity : public ::testing::Test {
 protected:
  void SetUp() override { ResetDeviceIdentity(); }
  void TearDown() override { ResetDeviceIdentity(); }
};

const char kGood[] =
    "12345678\n"
    "10.0.0.7\n"
    "00-1A-2b-3C-4d-5E\n"
    "10.255.255.255\n"
    "Gateway One\n"
    "00112233445566778899aabbccddeeff\n"
    "300\n";

// The serial and MAC address are covered by the banner on the real binary.
TEST_F(Identity, FieldsAsTheFileGivesThem) {
  ASSERT_EQ(ParseSerialText(kGood), nullptr);
  EXPECT_STREQ(SerialString, "12345678");  // 8 characters: no line end
  EXPECT_STREQ(inet_ntoa(IpAddress), "10.0.0.7");
  EXPECT_STREQ(inet_ntoa(BroadcastAddress), "10.255.255.255");
  EXPECT_STREQ(DeviceName, "Gateway One\n");
  for (int k = 0; k < 16; ++k) EXPECT_EQ(SacnCid[k], (k << 4) | k);
  EXPECT_EQ(BoardType, 44);  // 300 modulo 256
}

TEST_F(Identity, OddLinesParseTheirOwnWay) {
  // A dashed CID shifts the pairs, and "-4" is read with its sign.
  ASSERT_EQ(ParseSerialText("1\n1.2.3.4\n00:00:00:00:00:00\n1.2.3.255\nx\n"
                            "00112233-4455-6677-8899-aabbccddeeff\n1\n"),
            nullptr);
  EXPECT_EQ(SacnCid[3], 0x33);
  EXPECT_EQ(SacnCid[4], 0xFC);
  // The name's last 21 characters become the CID line, and the CID the board
  // type line; nothing is missing.
  ASSERT_EQ(ParseSerialText("1\n1.2.3.4\n00:00:00:00:00:00\n1.2.3.255\n" + std::string(100, 'n') +
                            "\n00112233445566778899aabbccddeeff\n7\n"),
            nullptr);
  EXPECT_EQ(std::string(DeviceName), std::string(79, 'n'));
  EXPECT_EQ(std::string(CidString), std::string(21, 'n') + "\n");
  EXPECT_EQ(BoardType, static_cast<uint8_t>(112233445566778899L));
}

}  // namespace
