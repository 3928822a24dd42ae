// The engine's start-up, in the order the rest of the device relies on:
// identity, sockets, receiver threads, streams, rules, then the main loop.
#include <arpa/inet.h>
#include <glog/logging.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "support/clock.h"
#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "main_loop.h"
#include "osc_control/osc_thread.h"
#include "support/process_exit.h"
#include "protocols/receive_endpoints.h"
#include "protocols/sockets.h"
#include "rule.h"
#include "startup/rules_file.h"
#include "show_engine/vistro_pro_thread.h"
#include "stream.h"
#include "status/unmatched_table.h"

namespace {

constexpr useconds_t kPauseBeforeConfigUs = 1000;

void LogIdentity() {
  LOG(INFO) << "Serial: " << SerialString << " " << static_cast<int32_t>(SerialNumber);
  LOG(INFO) << "IP: " << IpString << " " << static_cast<int32_t>(IpAddress.s_addr);
  LOG(INFO) << "Bcast: " << BroadcastString;
  LOG(INFO) << "Mac: " << MacString << " " << MacAddress[0] << " " << MacAddress[1] << " "
            << MacAddress[2] << " " << MacAddress[3] << " " << MacAddress[4] << " "
            << MacAddress[5];
  LOG(INFO) << "sACN: " << CidString;
}

void LogDefaultStackSize() {
  pthread_attr_t attr;
  size_t stackSize = 0;
  pthread_attr_init(&attr);
  pthread_attr_getstacksize(&attr, &stackSize);
  pthread_attr_destroy(&attr);
  VLOG(1) << "Default stack size is: " << stackSize;
}

// Threads run for the life of the process and are never joined; one that
// cannot start is not reported, and start-up goes on without it.
void StartThread(const char* announcement, void* (*body)(void*), void* argument = nullptr) {
  VLOG(1) << announcement;
  pthread_t thread;
  pthread_create(&thread, nullptr, body, argument);
}

}  // namespace

int main(int argc, char** argv) {
  (void)argc;
  NameLocalTimeZone();
  google::InitGoogleLogging(argv[0]);
  google::InstallFailureSignalHandler();
  google::InstallFailureFunction(&WritePanicFile);
  google::LogToStderr();
  // Lines written to standard output are read by people and scripts as they
  // come, and a ctrl-c exit must not drop one still in the buffer.
  setvbuf(stdout, nullptr, _IOLBF, 0);

  LOG(INFO) << "Corvanta Mk2 Engine Starting ";
  LOG(INFO) << "Version " << "CORVANTA MK2 V1.8-0008";

  VLOG(1) << "Setting up SIGINT Handler ";
  struct sigaction action = {};
  action.sa_handler = SigIntHandler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);

  ReadSerialFile();
  ClearUnmatchedTable();
  LogIdentity();

  if (sem_init(&ConfigSemaphore, 0, 0) != 0) LOG(FATAL) << "Couldn't create Semaphore for Config ";

  VLOG(1) << "Create Send socket ";
  CreateArtnetSendSocket();
  LogDefaultStackSize();

  // Opened here rather than on the thread: every network stream built from
  // the configuration copies the descriptor as its send socket.
  CreateArtnetRxSocket();
  StartThread("Starting Artnet thread ", ArtnetThread);
  StartThread("Starting QSP thread ", QspThread);
  StartThread("Starting Jumbo DMX Over Ethernet thread ", JumboThread);
  StartThread("Starting KiNet thread ", KinetThread);
  StartThread("Starting Vistro Pro thread ", VistroProThread, &ConfigFileProcessed);
  StartThread("Starting Vistro Pro Socket Comms thread ", OscThread);

  CreateSacnSendSocket();
  // The receivers just started get a moment to open their sockets before
  // the configuration starts the port threads.
  usleep(kPauseBeforeConfigUs);
  LOG(INFO) << "Processing Config file ";
  ProcessConfigFile();

  StartThread("Starting SACN thread ", SacnThread);

  LOG(INFO) << "Processing Rules file ";
  ProcessRulesFile();

  LOG(INFO) << "Found:" << StreamCount.load() << " streams" << " and :" << RuleCount << "rules";
  sem_post(&ConfigSemaphore);
  VLOG(2) << "Running Main loop ";
  RunMainLoop();
}
