// The simulated driver on its own: the text files it shares with tests and
// people, and the line time of a write.
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "line_format.h"
#include "ports/simulated_uart.h"

namespace {

using Bytes = std::vector<uint8_t>;
using xuart_sim::Driver;

TEST(SimulatedUartFormat, RxLinesAreHexInEitherCase) {
  const struct {
    const char* line;
    Bytes bytes;
  } taken[] = {
      {"00ff\n", {0x00, 0xFF}},
      {"0A bC\r\n", {0x0A, 0xBC}},
      {"  00 01 02  ", {0, 1, 2}},
      {"cc", {0xCC}},
  };
  for (const auto& row : taken) {
    Bytes out;
    EXPECT_TRUE(xuart_sim::ParseHexLine(row.line, &out)) << row.line;
    EXPECT_EQ(out, row.bytes) << row.line;
  }
  const struct {
    const char* line;
    const char* why;
  } refused[] = {
      {"", "no digits"},       {" \r\n", "blanks only"}, {"0", "half a byte"},
      {"0 1 2", "odd digits"}, {"0g", "not hex"},        {"00-01", "a separator"},
  };
  for (const auto& row : refused) {
    Bytes out = {7};
    EXPECT_FALSE(xuart_sim::ParseHexLine(row.line, &out)) << row.why;
    EXPECT_EQ(out, Bytes{7}) << row.why;
  }
  const uint8_t frame[] = {0x00, 0x0F, 0xA0, 0xFF};
  EXPECT_EQ(xuart_sim::ToHex(frame, sizeof(frame)), "000fa0ff");
}

TEST(SimulatedUartFormat, OnlyNumberedDevicePathsAreServed) {
  const struct {
    const char* path;
    int port;
  } rows[] = {
      {"/dev/xuart0", 0},   {"/dev/xuart12", 12},     {"/dev/xuart", -1},
      {"/dev/xuart1a", -1}, {"/dev/xuart-1", -1},     {"/dev/ttyS0", -1},
      {"dev/xuart1", -1},   {"/tmp/dev/xuart1", -1},  {"/dev/xuart99999", -1},
      {nullptr, -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(xuart_sim::DevicePort(row.path), row.port) << (row.path ? row.path : "null");
  }
}

TEST(SimulatedUartFormat, AFrameTakesItsBreakMarkAndSlots) {
  const struct {
    DmxPortParams params;
    size_t slots;
    uint64_t micros;
  } rows[] = {
      {{22, 2, 3, {}, 1}, 513, 88 + 8 + 513 * (44 + 12)},
      {{22, 2, 0, {}, 0}, 24, 96 + 24 * 44},
      {{50, 10, 0, {}, 0}, 26, 200 + 40 + 26 * 44},
      {{1023, 1023, 255, {}, 1}, 513, 8184 + 513 * (44 + 1020)},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(xuart_sim::FrameLineMicros(row.params, row.slots), row.micros) << row.slots;
  }
}

class SimulatedDevice : public ::testing::Test {
 protected:
  int Open(int port, int flags) { return uart.driver().Open(Path(port).c_str(), flags); }
  static std::string Path(int port) { return "/dev/xuart" + std::to_string(port); }
  ssize_t Read(int fd, Bytes* out, size_t capacity = 513) {
    out->assign(capacity, 0xEE);
    ssize_t n = uart.driver().Read(fd, out->data(), capacity);
    out->resize(n > 0 ? static_cast<size_t>(n) : 0);
    return n;
  }

  SimulatedUart uart;
};

TEST_F(SimulatedDevice, OutputLogsOpenParamsAndWritesPacedByTheParamsInForce) {
  uart.AppendRx(3, "");  // left alone by an output
  std::ofstream(uart.PortFile(3, ".log")) << "stale line\n";
  int fd = Open(3, O_WRONLY);
  ASSERT_GE(fd, 0);
  const uint8_t frame[] = {0, 1, 2, 0xAB};
  EXPECT_EQ(uart.driver().Write(fd, frame, sizeof(frame)), 4);
  EXPECT_EQ(uart.PacedMicros(), 88u + 8u + 4u * 44u);  // before any params: power-on timing
  DmxPortParams params = {50, 10, 2, {}, 0};
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_SET_PARAMS, &params, sizeof(params)), 0);
  EXPECT_EQ(uart.driver().Write(fd, frame, 2), 2);
  EXPECT_EQ(uart.PacedMicros(), 272u + 200u + 40u + 2u * (44u + 8u));
  Bytes got;
  EXPECT_EQ(Read(fd, &got), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(uart.Log(3), (std::vector<std::string>{"open wronly", "write 000102ab",
                                                   "params 32000a000200000000000000",
                                                   "write 0001"}));
}

TEST_F(SimulatedDevice, InputReturnsEachCompleteRxLineOnce) {
  int fd = Open(1, O_RDONLY);
  ASSERT_GE(fd, 0);
  Bytes got;
  EXPECT_EQ(Read(fd, &got), 0) << "no rx file yet";
  uart.AppendRx(1, "00 01 02\nnot hex\n\nCC1001\n");
  std::string big = "00";
  for (int i = 0; i < 600; ++i) big += "5a";
  uart.AppendRx(1, big + "\n0007");  // the last line is still being written
  EXPECT_EQ(Read(fd, &got), 3);
  EXPECT_EQ(got, (Bytes{0, 1, 2}));
  EXPECT_EQ(Read(fd, &got), 3) << "bad and empty lines are skipped";
  EXPECT_EQ(got, (Bytes{0xCC, 0x10, 0x01}));
  EXPECT_EQ(Read(fd, &got), 513) << "at most one frame's worth";
  EXPECT_EQ(got[512], 0x5A);
  EXPECT_EQ(Read(fd, &got), 0);
  uart.AppendRx(1, "\n");
  EXPECT_EQ(Read(fd, &got, 1), 1) << "at most what the caller has room for";
  EXPECT_EQ(got, Bytes{0});
  EXPECT_EQ(Read(fd, &got), 0);
  const uint8_t frame[] = {0};
  EXPECT_EQ(uart.driver().Write(fd, frame, 1), -1);
  EXPECT_EQ(errno, EBADF);
  std::vector<std::string> log = uart.Log(1);
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], "open rdonly");
  EXPECT_EQ(log[1], "read 000102");
  EXPECT_EQ(log[2], "read cc1001");
  EXPECT_EQ(log[3].size(), 5u + 2u * 513u);
  EXPECT_EQ(log[4], "read 00");
}

// A person edits, cuts and replaces an rx file while the port reads it; the
// device follows it as `tail -F` does.
TEST_F(SimulatedDevice, InputFollowsAnRxFileThatIsRewrittenCutOrReplaced) {
  enum Change { kAppend, kScribbleOverAll, kCutTo, kReplaceWith };
  const struct {
    Change change;
    const char* text;
    Bytes frame;  // empty: no frame
  } steps[] = {
      {kAppend, "00 01\n00 0", {0, 1}},
      {kScribbleOverAll, "", {}},  // what was read of a line is not read again
      {kAppend, "2\n", {0, 2}},
      {kAppend, "00 0", {}},
      {kCutTo, "aa\n", {0xAA}},  // from the start; the line begun before is dropped
      {kReplaceWith, "00 07\n", {0, 7}},
      {kAppend, "00 08\n", {0, 8}},
  };
  int fd = Open(1, O_RDONLY);
  ASSERT_GE(fd, 0);
  const std::string rx = uart.PortFile(1, ".rx");
  for (size_t i = 0; i < std::size(steps); ++i) {
    const auto& step = steps[i];
    switch (step.change) {
      case kAppend:
        uart.AppendRx(1, step.text);
        break;
      case kScribbleOverAll:
        std::fstream(rx, std::ios::in | std::ios::out)
            << std::string(std::filesystem::file_size(rx), 'z');
        break;
      case kCutTo:
        std::ofstream(rx) << step.text;
        break;
      case kReplaceWith:
        std::filesystem::remove(rx);
        uart.AppendRx(1, step.text);
        break;
    }
    Bytes got;
    EXPECT_EQ(Read(fd, &got), static_cast<ssize_t>(step.frame.size())) << "step " << i;
    EXPECT_EQ(got, step.frame) << "step " << i;
  }
}

TEST_F(SimulatedDevice, LedPortTakesOneParamByteAndNoRdm) {
  uart.WriteConf(4, "# a comment nobody knows\n  led \r\nresponder 1\n");
  int fd = Open(4, O_WRONLY);
  ASSERT_GE(fd, 0);
  uint8_t groupSize[12] = {44, 0xFF, 0xFF};  // a DMX port's block, as a wrong conf gives it
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_SET_PARAMS, groupSize, sizeof(groupSize)), 0);
  Bytes pixels(1020, 0x11);
  EXPECT_EQ(uart.driver().Write(fd, pixels.data(), pixels.size()), 1020);
  EXPECT_EQ(uart.PacedMicros(), 0u) << "an LED strip is not a DMX line";
  XuartRdmBlock block = {};
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_RDM, &block, sizeof(block)), -1);
  std::vector<std::string> log = uart.Log(4);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1], "warning params block of 12 bytes on an led port, which takes 1; 1 taken");
  EXPECT_EQ(log[2], "params 2c");
  EXPECT_EQ(log[3], "write " + std::string(2040, '1'));
}

TEST_F(SimulatedDevice, RdmWithNobodyOnTheLineIsATransactionWithoutAnswer) {
  int fd = Open(2, O_WRONLY);
  ASSERT_GE(fd, 0);
  XuartRdmBlock block = {};
  block.requestLength = 3;
  block.request[0] = 0xCC;
  block.request[1] = 0x01;
  block.request[2] = 0x18;
  block.responseLength = 77;
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_RDM, &block, sizeof(block)), 1);
  EXPECT_EQ(block.responseLength, 0);
  block.requestLength = 9999;  // never read past the block
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_RDM, &block, sizeof(block)), 1);
  std::vector<std::string> log = uart.Log(2);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], "rdm cc0118 -");
  EXPECT_EQ(log[2].size(), 4u + 2u * 258u + 2u);
}

TEST_F(SimulatedDevice, CallsItCannotServeFail) {
  int fd = Open(2, O_WRONLY);
  ASSERT_GE(fd, 0);
  uint8_t argument[12] = {};
  EXPECT_EQ(uart.driver().Ioctl(fd, 0x5401, argument, sizeof(argument)), -1);
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(uart.driver().Ioctl(fd, XUART_IOC_SET_PARAMS, nullptr, 12), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(uart.driver().Open("/dev/ttyS0", O_WRONLY), -1);
  EXPECT_EQ(uart.driver().Close(fd), 0);
  EXPECT_FALSE(uart.driver().Owns(fd));
  EXPECT_EQ(uart.driver().Write(fd, argument, 1), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(uart.driver().Close(fd), -1);
  EXPECT_EQ(uart.Log(2), std::vector<std::string>{"open wronly"}) << "refused calls leave no line";

  // A device whose log cannot be made does not open.
  Driver nowhere(uart.PortFile(0, ".gone"), {}, xuart_sim::CountingDescriptors());
  EXPECT_EQ(nowhere.Open("/dev/xuart0", O_WRONLY), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
