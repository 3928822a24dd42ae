// Serial DMX and LED ports on the simulated driver: what reaches the device
// from a configuration line, a stream send or a K line, and what a received
// frame does to its stream.
#include <semaphore.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "line_format.h"
#include "port_threads/port_threads.h"
#include "ports/simulated_uart.h"
#include "startup/rules_file.h"
#include "ledrunner_port.h"
#include "port.h"
#include "process_state.h"
#include "stream.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using xuart_sim::ToHex;

std::string Zeros(size_t bytes) { return std::string(2 * bytes, '0'); }

class Ports : public ::testing::Test {
 protected:
  static int Pending(sem_t* semaphore) {
    int value = -1;
    sem_getvalue(semaphore, &value);
    return value;
  }

  SimulatedUart uart;
};

TEST(PortText, TimingDefaultsClampsAndInterSlot) {
  const struct {
    const char* text;
    DmxPortSettings want;  // port, input, refresh, break, mab, channels, interSlot
  } rows[] = {
      {"001I", {1, 1, 35, 22, 2, 513, 3}},
      {"001I\n", {1, 1, 35, 22, 2, 513, 3}},  // the refresh columns hold only the line end
      {"002i040008800080513", {2, 0, 40, 22, 2, 513, 2}},
      {"002O044008800080513", {2, 0, 44, 22, 2, 513, 1}},
      {"002O050008800080513", {2, 0, 50, 22, 2, 513, 0}},  // spare is -616
      {"002O010008800080024", {2, 0, 10, 22, 2, 24, 255}},
      {"002O-10008800080513", {2, 0, -10, 22, 2, 513, 0}},
      {"003O035004000040023", {3, 0, 35, 22, 2, 513, 3}},
      {"003O010999999990024", {3, 0, 10, 1023, 1023, 24, 255}},
      {"003O035-004-0040600", {3, 0, 35, 1023, 1023, 513, 0}},
      {"003O035010000160024", {3, 0, 35, 25, 4, 24, 82}},
      {"003O035008800080-01", {3, 0, 35, 22, 2, 513, 3}},
      {"004O04", {4, 0, 4, 22, 2, 513, 111}},  // fields past the end read as 0
  };
  const auto fields = [](const DmxPortSettings& s) {
    return std::make_tuple(s.portNumber, s.input, s.refreshRate, s.breakTime, s.markAfterBreak,
                           s.channels, int{s.interSlot});
  };
  for (const auto& row : rows) {
    EXPECT_EQ(fields(ParseDmxPortText(row.text)), fields(row.want)) << row.text;
  }
  EXPECT_EQ(ComputeInterSlot(0, 22, 2, 513), 3);
  EXPECT_EQ(ComputeInterSlot(35, 22, 2, 0), 0);
}

TEST_F(Ports, AnOutputWritesAZeroFrameAtStartUpThenOneFramePerSend) {
  uart.WriteConf(3, "led\n");
  const struct {
    uint32_t kind;
    const char* text;
    int port;
    const char* params;
    size_t bytes;  // of a write
  } rows[] = {
      {kStreamPort, "006O044020000400513", 6, "params 32000a000000000001000000", 513},
      {kStreamLedrunnerPort, "003001002300\n", 3, "params 2c", kLedrunnerFrameSize},
  };
  Bytes data(kLedrunnerFrameSize);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  for (const auto& row : rows) {
    Stream* stream = AddStream(row.kind, row.text);
    sem_t* posted = &dynamic_cast<XuartPort&>(stream->Endpoint()).txSemaphore;
    EXPECT_EQ(Pending(posted), 1) << row.text;  // the start-up frame
    PortTxStep(stream->id);
    stream->Write(data.data(), static_cast<uint32_t>(data.size()), 0);
    stream->Send(0, 0);
    EXPECT_EQ(Pending(posted), 1) << row.text;
    PortTxStep(stream->id);
    Bytes frame(row.kind == kStreamPort ? 1 : 0, 0);  // the start code; LED frames have none
    frame.insert(frame.end(), data.begin(), data.begin() + (row.bytes - frame.size()));
    EXPECT_EQ(uart.Log(row.port), (Lines{"open wronly", row.params, "write " + Zeros(row.bytes),
                                         "write " + ToHex(frame.data(), frame.size())}))
        << row.text;
  }
}

TEST_F(Ports, ReceivedFramesReachTheirStreamOnlyWithStartCodeZero) {
  Stream* stream = AddStream(kStreamPort, "001I\n");
  const struct {
    std::string rx;
    bool dmx;
    Bytes head;  // channels 1 to 4 afterwards
  } rows[] = {
      {"00 01 02 03\n", true, {1, 2, 3, 0}},
      {"cc 09 09 09 09\n", false, {1, 2, 3, 0}},  // RDM is not channel data
      {"00\n", true, {1, 2, 3, 0}},               // the start code alone
      {"", false, {1, 2, 3, 0}},                  // nothing arrives
      {"0004\n", true, {4, 2, 3, 0}},             // a short frame keeps the rest
      {"00" + std::string(1024, '7') + "\n", true, {0x77, 0x77, 0x77, 0x77}},
  };
  uint8_t frame[kDmxFrameSlots];
  for (const auto& row : rows) {
    uart.AppendRx(1, row.rx);
    EXPECT_EQ(DmxRxStep(stream->id, frame), row.dmx) << row.rx;
    EXPECT_EQ(Bytes(stream->data, stream->data + 4), row.head) << row.rx;
  }
  EXPECT_EQ(stream->data[511], 0x77) << "a full frame fills every channel";
  EXPECT_EQ(stream->As<DmxPort>()->PostFrame(frame), 0) << "an input port sends nothing";
  EXPECT_EQ(stream->As<DmxPort>()->WriteFrame(), 0);
  Stream* output = AddStream(kStreamPort, "002O");
  EXPECT_EQ(output->As<DmxPort>()->ReadFrame(frame), 0) << "an output port reads nothing";
}

TEST_F(Ports, ThreePostsDuringAWriteGiveThreeWritesOfTheLatestFrame) {
  Stream* stream = AddStream(kStreamPort, "002O035008800080024");
  DmxPort& port = *stream->As<DmxPort>();
  uart.Hold(true);
  std::thread transmit([&] {
    for (int i = 0; i < 4; ++i) PortTxStep(stream->id);
  });
  ASSERT_TRUE(uart.WaitForHeldWrite());  // the start-up frame is on the line
  for (uint8_t value : {1, 2, 3}) EXPECT_EQ(port.PostFrame(Bytes(512, value).data()), 1);
  uart.Hold(false);
  transmit.join();
  Bytes frame(24, 3);
  frame[0] = 0;  // the start code
  std::string latest = "write " + ToHex(frame.data(), frame.size());
  EXPECT_EQ(uart.Log(2), (Lines{"open wronly", "params 160002005200000001000000",
                                "write " + Zeros(24), latest, latest, latest}));
  EXPECT_EQ(Pending(&port.txSemaphore), 0);
  EXPECT_EQ(port.txFrame[24], 0) << "a posted frame fills the channels only";
}

TEST_F(Ports, KLineSwitchesOnlyOutputPortsToOneShot) {
  AddStream(kStreamPort, "002O040008800080513");
  AddStream(kStreamPort, "001I");
  uart.WriteConf(3, "led\n");
  AddStream(kStreamLedrunnerPort, "003000000004");
  LoadRulesText("K001005\n");
  EXPECT_EQ(uart.Log(2), (Lines{"open wronly", "params 160002000200000001000000",
                                "params 160002000200000000000000"}));
  // The default block: break 22, mark after break 2, inter-slot 3, continuous.
  EXPECT_EQ(uart.Log(1), (Lines{"open rdonly", "params 160002000300000001000000"}));
  EXPECT_EQ(uart.Log(3), (Lines{"open wronly", "params 04"}));
}

// The fields of an LED line are pinned by the file reference's example, the
// group size going out as one byte by the write and K line tests.
TEST_F(Ports, AnLedPortOnADmxDeviceHandsItOneByte) {
  // A conf without `led` makes a DMX device of it: it takes the one byte the
  // port hands it over the first of its power-on block, and nothing past it.
  LedrunnerPort("009000000044").Open();
  EXPECT_EQ(uart.Log(9),
            (Lines{"open wronly",
                   "warning params block of 1 bytes on a dmx port, which takes 12; 1 taken",
                   "params 2c0002000000000001000000"}));
}

}  // namespace
