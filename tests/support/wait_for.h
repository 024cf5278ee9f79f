// Test support: waiting for something another thread or process does.
#pragma once

#include <functional>

namespace zolt::testing {

// Waits until `predicate` holds, at most `timeoutMs`; returns whether it held.
bool WaitFor(const std::function<bool()>& predicate, int timeoutMs);

}  // namespace zolt::testing
