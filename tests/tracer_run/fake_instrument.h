// A fake curve tracer for the run-phase tests, on a pseudo-terminal link at
// "ports/COM<n>" in the working folder, which the program opens as its COM port. The
// test writes status frames into it and reads back the register packets the program sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/pty_link.h"

namespace zolt::testing {

struct ReceivedPacket {
  bool Write = false;  // false: a request packet (the poll)
  int32_t Address = 0;
  uint32_t Value = 0;
  bool ChecksumHolds = false;
};

// Status-word pieces of a frame.
enum FakeRunState : uint16_t { FakeIdling = 0, FakePreRamp = 1, FakeRamping = 2, FakeStopping = 3 };
constexpr uint16_t FakeHighVoltageOn = 1u << 2;
inline uint16_t FakeStopCode(int code) { return static_cast<uint16_t>((code & 0xF) << 4); }

class FakeInstrument {
 public:
  // Opens the pseudo-terminal and links it at ports/COM<comPort>.
  explicit FakeInstrument(int comPort) : link_(comPort) {}

  bool Ready() const { return link_.Ok(); }

  // Writes one 32-byte status frame (collector voltage and current as sample sums).
  void SendFrame(uint16_t statusWord, int32_t collectorVoltage = 0, int32_t collectorCurrent = 0);

  // Reads every byte the program has sent so far and returns the whole packets among
  // them, in order (a part packet waits for its rest).
  std::vector<ReceivedPacket> TakePackets();
  // The same, without the poll requests.
  std::vector<ReceivedPacket> TakeWrites();
  // The instrument goes away: the program's port hangs up.
  void HangUp() { link_.HangUp(); }

 private:
  PtyLink link_;
  std::string pending_;
};

}  // namespace zolt::testing
