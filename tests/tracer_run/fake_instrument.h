// A fake curve tracer for the run-phase tests: a pseudo-terminal whose slave end is
// linked at "ports/COM<n>" in the working folder, so the program opens it as its COM
// port. The test writes status frames into the master end and reads back the register
// packets the program sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
  // Opens the pseudo-terminal and links its slave at ports/COM<comPort>.
  explicit FakeInstrument(int comPort);
  ~FakeInstrument();
  FakeInstrument(const FakeInstrument&) = delete;
  FakeInstrument& operator=(const FakeInstrument&) = delete;

  bool Ready() const { return master_ >= 0; }

  // Writes one 32-byte status frame (collector voltage and current as sample sums).
  void SendFrame(uint16_t statusWord, int32_t collectorVoltage = 0, int32_t collectorCurrent = 0);

  // Reads every byte the program has sent so far and returns the whole packets among
  // them, in order (a part packet waits for its rest).
  std::vector<ReceivedPacket> TakePackets();
  // The same, without the poll requests.
  std::vector<ReceivedPacket> TakeWrites();

 private:
  int master_ = -1;
  std::string pending_;
};

}  // namespace zolt::testing
