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

// Guards the line reader never reaches: it gives a rate of 0 and too few slots
// their defaults first. The timing fields are pinned with the other stream lines.
TEST(PortText, InterSlotOfNoRateOrNoSlots) {
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
  for (uint8_t value : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
    EXPECT_EQ(port.PostFrame(Bytes(512, value).data()), 1);
  }
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
  LoadRulesText("K-01005\n");  // Klock off, and still one-shot
  EXPECT_EQ(uart.Log(2), (Lines{"open wronly", "params 160002000200000001000000",
                                "params 160002000200000000000000"}));
  // The default block: break 22, mark after break 2, inter-slot 3, continuous.
  EXPECT_EQ(uart.Log(1), (Lines{"open rdonly", "params 160002000300000001000000"}));
  EXPECT_EQ(uart.Log(3), (Lines{"open wronly", "params 04"}));
}

}  // namespace
