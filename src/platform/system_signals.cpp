// System part: the termination signals, turned into a request to end; the other signals
// that end the program at once, which leave the instrument safe first; and ending the
// process at once.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/system.h"

namespace zolt::platform {

namespace {

std::atomic<int> StopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// Signals whose default action ends the program and which the program itself never
// raises nor handles otherwise (the stop signals and the faults have handlers of their
// own; SIGXFSZ is ignored). The real-time signals are added to these.
const int EndingSignals[] = {SIGQUIT, SIGUSR1,   SIGUSR2, SIGALRM, SIGPIPE, SIGXCPU, SIGVTALRM,
                             SIGPROF, SIGIO,     SIGPWR,  SIGSYS,  SIGTRAP, SIGSTKFLT};

// The emergency block goes out, then the signal ends the program as it would have without
// a handler: the same exit status for the parent, and a core file where it makes one.
void OnEndingSignal(int signal) {
  const int savedErrno = errno;
  WriteEmergencyBlock();
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  ::sigaction(signal, &standard, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  errno = savedErrno;  // only reached when something else keeps the program alive
}

struct sigaction EndingAction() {
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  action.sa_flags = SA_RESTART;
  // While one ending signal is served, the others wait: the block goes out once, whole.
  sigemptyset(&action.sa_mask);
  for (const int signal : EndingSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&action.sa_mask, signal);
  return action;
}

// The first stop signal asks the program to end; the same signal again ends it at once.
void OnStopSignal(int signal) {
  StopSignal.store(signal);
  const struct sigaction ending = EndingAction();
  ::sigaction(signal, &ending, nullptr);
}

// Handles `signal` with OnEndingSignal unless someone else handles or ignores it.
void WatchEndingSignal(int signal) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) != 0) return;
  if (current.sa_handler != SIG_DFL && current.sa_handler != OnEndingSignal) return;
  const struct sigaction ending = EndingAction();
  ::sigaction(signal, &ending, nullptr);
}

}  // namespace

void WatchStopSignals() {
  StopSignal.store(0);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  for (const int signal : EndingSignals) WatchEndingSignal(signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) WatchEndingSignal(signal);
}

int StopSignalReceived() { return StopSignal.load(); }

void EndProcessAtOnce(int status) {
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace zolt::platform
