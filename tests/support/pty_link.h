// Test support: a pseudo-terminal standing in for the instrument's end of a serial link.
//
// The slave end is linked as "ports/COM<n>" in the working folder, where the program's
// serial layer finds it, and set raw so nothing is echoed or translated; the test reads
// and writes the master end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zolt::testing {

class PtyLink {
 public:
  explicit PtyLink(int comNumber);
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  bool Ok() const { return master_ >= 0; }
  // Writes all of `bytes`; gives up when the port takes nothing for 100 ms.
  void Write(const std::vector<uint8_t>& bytes);
  // Bytes that arrive within `timeoutMs`, stopping early once `count` have arrived.
  std::vector<uint8_t> Read(size_t count, int timeoutMs);
  // The bytes the program has sent and nobody has read yet, without waiting.
  std::vector<uint8_t> ReadWaiting();
  // Closes the master end: the program's port hangs up.
  void HangUp();

 private:
  int master_ = -1;
};

}  // namespace zolt::testing
