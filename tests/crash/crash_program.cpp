// A program that installs the crash handler and then faults, for the crash tests.
//
//   zolt_crash_program null-write     writes through a null pointer in a second thread
//   zolt_crash_program divide         divides an integer by zero in a second thread
//   zolt_crash_program overflow       overflows the stack of a second thread
//
// Before faulting it prints "line <n>" with the source line of the faulting statement.
#include <cstdio>
#include <cstring>
#include <thread>

#include "frame/crash.h"
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
