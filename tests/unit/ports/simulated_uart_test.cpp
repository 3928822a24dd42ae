// The simulated driver on its own: the device paths it serves, the text
// files it shares with tests and people, and the line time of a write.
#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "line_format.h"
#include "ports/simulated_uart.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using xuart_sim::Driver;
using xuart_sim::ToHex;

class SimulatedDevice : public ::testing::Test {
 protected:
  int Open(int port, int flags) {
    return driver.Open(("/dev/xuart" + std::to_string(port)).c_str(), flags);
  }
  ssize_t Read(int fd, Bytes* out, size_t capacity = 513) {
    out->assign(capacity, 0xEE);
    ssize_t n = driver.Read(fd, out->data(), capacity);
    out->resize(n > 0 ? static_cast<size_t>(n) : 0);
    return n;
  }
  // The errno of a call that failed, 0 for one that did not.
  static int Error(long result) { return result == -1 ? errno : 0; }

  SimulatedUart uart;
  Driver& driver = uart.driver();
};

TEST_F(SimulatedDevice, OutputLogsOpenParamsAndWritesPacedByTheParamsInForce) {
  std::ofstream(uart.PortFile(3, ".log")) << "stale line\n";
  int fd = Open(3, O_WRONLY);
  ASSERT_GE(fd, 0);
  const uint8_t frame[] = {0, 1, 2, 0xAB};
  EXPECT_EQ(driver.Write(fd, frame, sizeof(frame)), 4);
  EXPECT_EQ(uart.PacedMicros(), 88u + 8u + 4u * 44u);  // before any params: power-on timing
  DmxPortParams params = {50, 10, 2, {}, 0};
  EXPECT_EQ(driver.Ioctl(fd, XUART_IOC_SET_PARAMS, &params, sizeof(params)), 0);
  EXPECT_EQ(driver.Write(fd, frame, 2), 2);
  EXPECT_EQ(uart.PacedMicros(), 272u + 200u + 40u + 2u * (44u + 8u));
  Bytes got;
  EXPECT_EQ(Error(Read(fd, &got)), EBADF);
  EXPECT_EQ(uart.Log(3), (Lines{"open wronly", "write 000102ab", "params 32000a000200000000000000",
                                "write 0001"}));
}

// Each complete rx line is read once, and the device follows the file as
// `tail -F` does while a person edits, cuts and replaces it.
TEST_F(SimulatedDevice, InputReadsEachCompleteRxLineOnceFromAFileRewrittenCutOrReplaced) {
  enum Change { kAppend, kScribbleOverAll, kCutTo, kReplaceWith };
  const struct {
    Change change;
    std::string text;
    Bytes frame;  // empty: no frame
    size_t capacity = 513;
  } steps[] = {
      {kAppend, "00ff\n0\n0 1 2\n0g\n00-01\n \r\n\n0A bC\r\n  00 01 02  \n", {0x00, 0xFF}},
      {kAppend, "", {0x0A, 0xBC}},  // hex in either case; lines of no whole bytes are skipped
      {kAppend, "", {0, 1, 2}},     // blanks anywhere
      {kAppend, std::string(1202, 'a') + "\n0007", Bytes(513, 0xAA)},  // one frame's worth at most
      {kAppend, "", {}},                                           // the line is not done yet
      {kAppend, "\n", {0}, 1},  // at most what the caller has room for
      {kAppend, "", {}},
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
  Bytes got;
  EXPECT_EQ(Read(fd, &got), 0) << "no rx file yet";
  Lines log = {"open rdonly"};
  const std::string rx = uart.PortFile(1, ".rx");
  for (size_t i = 0; i < std::size(steps); ++i) {
    const auto& step = steps[i];
    if (step.change == kScribbleOverAll) {
      std::fstream(rx, std::ios::in | std::ios::out)
          << std::string(std::filesystem::file_size(rx), 'z');
    } else if (step.change == kCutTo) {
      std::ofstream(rx) << step.text;
    } else {
      if (step.change == kReplaceWith) std::filesystem::remove(rx);
      uart.AppendRx(1, step.text);
    }
    EXPECT_EQ(Read(fd, &got, step.capacity), static_cast<ssize_t>(step.frame.size()))
        << "step " << i;
    EXPECT_EQ(got, step.frame) << "step " << i;
    if (!got.empty()) log.push_back("read " + ToHex(got.data(), got.size()));
  }
  EXPECT_EQ(Error(driver.Write(fd, got.data(), 1)), EBADF);
  EXPECT_EQ(uart.Log(1), log);
}

// A restarted engine opens its devices again and gets the frames already in
// the rx file once more; only an emptied file starts afresh.
TEST_F(SimulatedDevice, EachOpenReadsTheRxFileFromItsStart) {
  uart.AppendRx(2, "00 01\n00 02\n");
  for (const Lines& frames : {Lines{"0001", "0002"}, Lines{"0001", "0002"}, Lines{}}) {
    if (frames.empty()) std::ofstream(uart.PortFile(2, ".rx"), std::ios::trunc);
    const int fd = Open(2, O_RDONLY);
    ASSERT_GE(fd, 0);
    Lines got;
    for (Bytes frame; Read(fd, &frame) > 0;) got.push_back(ToHex(frame.data(), frame.size()));
    EXPECT_EQ(got, frames);
    EXPECT_EQ(driver.Close(fd), 0);
  }
}

// A conf that names the wrong kind of port: the device takes what the block
// holds, over its own power-on block, and nothing past it.
TEST_F(SimulatedDevice, WrongKindParamsBlocksAreTakenAsFarAsTheyGoAndAnLedPortHasNoRdm) {
  uart.WriteConf(4, "# a comment nobody knows\n  led \r\nresponder 1\n");
  int fd = Open(4, O_WRONLY);
  ASSERT_GE(fd, 0);
  uint8_t groupSize[12] = {44, 0xFF, 0xFF};  // a DMX port's block, as a wrong conf gives it
  EXPECT_EQ(driver.Ioctl(fd, XUART_IOC_SET_PARAMS, groupSize, sizeof(groupSize)), 0);
  Bytes pixels(1020, 0x11);
  EXPECT_EQ(driver.Write(fd, pixels.data(), pixels.size()), 1020);
  EXPECT_EQ(uart.PacedMicros(), 0u) << "an LED strip is not a DMX line";
  XuartRdmBlock block = {};
  EXPECT_EQ(Error(driver.Ioctl(fd, XUART_IOC_RDM, &block, sizeof(block))), ENOTTY);
  EXPECT_EQ(uart.Log(4), (Lines{"open wronly",
                                "warning params block of 12 bytes on an led port, which takes 1; "
                                "1 taken",
                                "params 2c", "write " + std::string(2040, '1')}));
  const int dmx = Open(9, O_WRONLY);
  EXPECT_EQ(driver.Ioctl(dmx, XUART_IOC_SET_PARAMS, groupSize, 1), 0);
  EXPECT_EQ(uart.Log(9),
            (Lines{"open wronly",
                   "warning params block of 1 bytes on a dmx port, which takes 12; 1 taken",
                   "params 2c0002000000000001000000"}));
}

TEST_F(SimulatedDevice, CallsItCannotServeFailAndNoneReadsPastItsBlock) {
  int fd = Open(0, O_WRONLY);
  ASSERT_GE(fd, 0);
  XuartRdmBlock block = {};
  block.requestLength = 9999;
  block.responseLength = 77;
  EXPECT_EQ(driver.Ioctl(fd, XUART_IOC_RDM, &block, sizeof(block)), 1);
  EXPECT_EQ(block.responseLength, 0) << "nobody on the line";
  uint8_t argument[12] = {};
  EXPECT_EQ(Error(driver.Ioctl(fd, 0x5401, argument, sizeof(argument))), ENOTTY);
  EXPECT_EQ(Error(driver.Ioctl(fd, XUART_IOC_SET_PARAMS, nullptr, 12)), EFAULT);
  // Only numbered device paths are served, and only up to 9999.
  for (const char* path :
       {"/dev/xuart", "/dev/xuart1a", "/dev/xuart-1", "/dev/ttyS0", "dev/xuart1", "/tmp/dev/xuart1",
        "/dev/xuart10000", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(Error(driver.Open(path, O_WRONLY)), ENOENT) << path;
  }
  EXPECT_GE(Open(9999, O_WRONLY), 0);
  EXPECT_EQ(uart.Log(9999), Lines{"open wronly"});
  EXPECT_EQ(driver.Close(fd), 0);
  EXPECT_FALSE(driver.Owns(fd));
  EXPECT_EQ(Error(driver.Write(fd, argument, 1)), EBADF);
  EXPECT_EQ(Error(driver.Close(fd)), EBADF);
  // Refused calls leave no line.
  EXPECT_EQ(uart.Log(0), (Lines{"open wronly", "rdm " + ToHex(block.request, 258) + " -"}));
  // A device whose log cannot be made does not open.
  Driver nowhere(uart.PortFile(0, ".gone"), {}, xuart_sim::CountingDescriptors());
  EXPECT_EQ(Error(nowhere.Open("/dev/xuart0", O_WRONLY)), ENOENT);
}

}  // namespace
