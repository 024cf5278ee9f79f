// Test support: waiting for a condition.
#include "support/wait_for.h"

#include <chrono>
#include <thread>

namespace zolt::testing {

bool WaitFor(const std::function<bool()>& predicate, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!predicate()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace zolt::testing
