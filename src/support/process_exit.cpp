#include "support/process_exit.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

void WritePanicFile() {
  // Two threads failing together must not race through the exit: the first
  // one ends the process, any other waits for it.
  static std::atomic_flag once = ATOMIC_FLAG_INIT;
  if (once.test_and_set()) {
    for (;;) pause();
  }
  FILE* f = std::fopen("/tmp/panic.dat", "w+");
  if (f != nullptr) std::fclose(f);
  std::fflush(nullptr);
  // No static destructors: the other threads are still running on that state.
  _exit(1);
}

void SigIntHandler(int signalNumber) {
  (void)signalNumber;
  // Signal context: only async-signal-safe calls, and nothing is freed under
  // the threads that keep running until the process is gone.
  static const char kMessage[] = "Quitting because of ctrl-c....\n";
  ssize_t written = write(STDOUT_FILENO, kMessage, sizeof(kMessage) - 1);
  (void)written;
  _exit(0);
}
