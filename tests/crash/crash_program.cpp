// A program that installs the crash handler and then faults, for the crash tests.
//
//   zolt_crash_program null-write     writes through a null pointer in a second thread
//   zolt_crash_program divide         divides an integer by zero in a second thread
//   zolt_crash_program overflow       overflows the stack of a second thread
//   zolt_crash_program connected      connects to the curve tracer at ports/COM1 (one
//                                     control block goes out) and waits for signals,
//                                     answering a first stop signal with "S" on the port
//   zolt_crash_program behind         as connected, then polls until the port keeps bytes,
//                                     which a second thread sends on; prints "behind"
//
// Before faulting it prints "line <n>" with the source line of the faulting statement.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "frame/crash.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "platform/system.h"

namespace {

int* volatile NullTarget = nullptr;
volatile int Zero = 0;
volatile int Hundred = 100;
volatile int Sink = 0;

void PrintLine(int line) {
  std::printf("line %d\n", line);
  std::fflush(stdout);
}

// The undefined-behaviour sanitizer would stop these faults before they happen.
__attribute__((no_sanitize_undefined)) void NullWrite() {
  PrintLine(__LINE__ + 1);
  *NullTarget = 1;
}

__attribute__((no_sanitize_undefined)) void Divide() {
  PrintLine(__LINE__ + 1);
  Sink = Hundred / Zero;
}

// Polls until the port keeps bytes, as for an instrument that does not read; a second
// thread sends them on, as the link's reader does.
void FallBehind() {
  using namespace zolt::platform;
  while (SendKeptSerialBytes(zolt::link::InstrumentSerialPort) == 0)
    WriteSerialPort(zolt::link::InstrumentSerialPort, "\0\0\0\0\0\0UU", 8);
  std::thread([] {
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) SendKeptSerialBytes(zolt::link::InstrumentSerialPort);
  }).detach();
  std::puts("behind");
  std::fflush(stdout);
}

int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (Zero != 0) return 0;
  return Recurse(depth + 1) + frame[0];
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "null-write";
  zolt::platform::InstallFaultHandler(zolt::frame::ErrorHandler);
  const bool behind = std::strcmp(mode, "behind") == 0;
  if (behind || std::strcmp(mode, "connected") == 0) {
    zolt::platform::WatchStopSignals();
    if (zolt::link::OpenInstrumentComPort() != 1) return 1;
    zolt::link::SendControlBlock(0);
    if (behind) FallBehind();
    for (bool told = false;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (!told && zolt::platform::StopSignalReceived() != 0) {
        told = zolt::platform::WriteSerialPort(zolt::link::InstrumentSerialPort, "S", 1) == 1;
      }
    }
  }
  std::thread faulting([mode] {
    zolt::platform::PrepareThreadForFaults();
    if (std::strcmp(mode, "divide") == 0) {
      Divide();
    } else if (std::strcmp(mode, "overflow") == 0) {
      Sink = Recurse(0);
    } else {
      NullWrite();
    }
  });
  faulting.join();
  return 0;
}
