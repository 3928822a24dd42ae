// The identity file: which characters each field takes, odd lines included.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "startup/device_identity.h"

namespace {

const char kGood[] =
    "12345678\n"
    "10.0.0.7\n"
    "00-1A-2b-3C-4d-5E\n"
    "10.255.255.255\n"
    "Gateway One\n"
    "00112233445566778899aabbccddeeff\n"
    "300\n";

// The serial and MAC address are covered by the banner on the real binary,
// each field of a plain file by the file reference's example.
TEST(Identity, FieldsAsTheFileGivesThem) {
  DeviceIdentityRecord id;
  ASSERT_EQ(ParseSerialText(kGood, &id), std::nullopt);
  EXPECT_STREQ(id.serialString, "12345678");  // 8 characters: no line end
  EXPECT_EQ(id.boardType, 44);  // 300 modulo 256
  // Nothing is the device's identity until start-up applies it.
  EXPECT_EQ(DeviceName[0], '\0');
  ApplyDeviceIdentity(id);
  EXPECT_STREQ(DeviceName, "Gateway One\n");
  EXPECT_EQ(BroadcastAddress.s_addr, id.broadcastAddress.s_addr);
}

TEST(Identity, OddLinesParseTheirOwnWay) {
  DeviceIdentityRecord id;
  const std::string head = "1\n1.2.3.4\n00:00:00:00:00:00\n1.2.3.255\n";
  // A dashed CID shifts the pairs, and "-4" is read with its sign.
  ASSERT_EQ(ParseSerialText(head + "x\n00112233-4455-6677-8899-aabbccddeeff\n1\n", &id),
            std::nullopt);
  EXPECT_EQ(id.sacnCid[3], 0x33);
  EXPECT_EQ(id.sacnCid[4], 0xFC);
  // The name's last 21 characters become the CID line, and the CID the board
  // type line; nothing is missing.
  const std::string name(100, 'n');
  ASSERT_EQ(ParseSerialText(head + name + "\n00112233445566778899aabbccddeeff\n7\n", &id),
            std::nullopt);
  EXPECT_EQ(std::string(id.deviceName), std::string(79, 'n'));
  EXPECT_EQ(std::string(id.cidString), std::string(21, 'n') + "\n");
  EXPECT_EQ(id.boardType, static_cast<uint8_t>(112233445566778899L));
}

// A file cut short after n lines names the first missing one.
TEST(Identity, MissingLinesAreNamed) {
  const char* lines[] = {"serial",           "ip", "mac", "bcast", "device name", "sACN CID name",
                         "Board type number"};
  const std::string good(kGood);
  size_t end = 0;
  for (uint32_t n = 0; n < 7; ++n) {
    DeviceIdentityRecord id;
    const auto error = ParseSerialText(good.substr(0, end), &id);
    ASSERT_TRUE(error.has_value()) << n;
    EXPECT_EQ(error->line, n + 1);
    EXPECT_EQ(error->reason, std::string("Missing serial.dat (") + lines[n] + ")");
    end = good.find('\n', end) + 1;
  }
}

}  // namespace
