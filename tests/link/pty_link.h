// Test support: a pseudo-terminal standing in for the instrument's end of a serial link.
//
// The slave end is linked as "ports/COM<n>" in the working folder, where the program's
// serial layer finds it; the test reads and writes the master end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zolt::link::testing {

class PtyLink {
 public:
  explicit PtyLink(int comNumber);
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  bool Ok() const { return master_ >= 0; }
  void Write(const std::vector<uint8_t>& bytes);
  // Bytes that arrive within `timeoutMs`, stopping early once `count` have arrived.
  std::vector<uint8_t> Read(size_t count, int timeoutMs);
  // Closes the master end: the program's port hangs up.
  void HangUp();

 private:
  int master_ = -1;
};

// Waits until `predicate` holds, at most `timeoutMs`; returns whether it held.
bool WaitFor(const std::function<bool()>& predicate, int timeoutMs);

}  // namespace zolt::link::testing
