// The one link thread: started on a reader body, told to stop through StopThreads, and
// always joined, so it never outlives the records it touches.
#include <cstdlib>
#include <system_error>

#include "link/link_state.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

// The longest the program's end waits for a reader told to stop: one that is well ends
// within a few milliseconds.
constexpr int ExitStopWaitMs = 300;

// At program end a reader that is still running is stopped and joined before the
// records it uses are destroyed (handlers registered with atexit run first). One held
// up in a device call cannot be joined in time, and the records it will touch when the
// call returns must outlive it: the process ends at once, before any is destroyed.
void StopLinkThreadAtExit() {
  if (!StopLinkThread(ExitStopWaitMs)) platform::EndProcessAtOnce(0);
}

void RegisterExitStop() {
  static const bool registered = (std::atexit(StopLinkThreadAtExit) == 0);
  (void)registered;
}

}  // namespace

bool LinkThreadRunning() {
  return LinkState.LinkThread.joinable() && LinkState.LinkThreadEnded == 0;
}

bool StopLinkThread(int waitMs) {
  if (!LinkState.LinkThread.joinable()) return true;
  LinkState.StopThreads = 1;
  const int64_t start = platform::ElapsedMilliseconds();
  while (LinkState.LinkThreadEnded == 0 && platform::ElapsedMilliseconds() - start < waitMs) {
    platform::Delay(1);
  }
  if (LinkState.LinkThreadEnded == 0) return false;
  LinkState.LinkThread.join();
  return true;
}

bool StartLinkThread(int (*body)(void*)) {
  if (LinkState.LinkThread.joinable()) {
    // A reader that was told to stop may still be on its way out: wait for it rather than
    // keep it, or the new connection would be left without a reader.
    if (!StopLinkThread()) return false;
  }
  RegisterExitStop();
  LinkState.StopThreads = 0;
  LinkState.LinkThreadEnded = 0;
  try {
    LinkState.LinkThread = std::thread([body] {
      platform::PrepareThreadForFaults();  // a stack overflow here is reported too
      body(nullptr);
      LinkState.LinkThreadEnded = 1;
    });
  } catch (const std::system_error&) {
    LinkState.LinkThreadEnded = 1;
    return false;
  }
  return true;
}

}  // namespace zolt::link
