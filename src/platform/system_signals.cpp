// System part: the termination signals, turned into a request to end, and ending the
// process at once.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/system.h"

namespace zolt::platform {

namespace {

std::atomic<int> StopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnStopSignal(int signal) { StopSignal.store(signal); }

}  // namespace

void WatchStopSignals() {
  StopSignal.store(0);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESETHAND;  // a second signal ends the program at once
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int StopSignalReceived() { return StopSignal.load(); }

void EndProcessAtOnce(int status) {
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace zolt::platform
