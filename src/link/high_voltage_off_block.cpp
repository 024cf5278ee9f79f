// The curve tracer's emergency block: the control block that stops the sweep and switches
// the high voltage off, built from the registers as they stand and kept by the platform
// layer for the COM port.
#include <algorithm>
#include <cstring>
#include <string>

#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/wire.h"
#include "platform/system.h"
#include "tracer/run_state.h"

namespace zolt::link {

namespace {
constexpr int BlockRegisters = 32;  // registers 31 down to 0, as SendControlBlock sends them
}  // namespace

void ArmHighVoltageOffBlock() {
  tracer::RunControlRecord& run = tracer::RunControl;
  // What building the block changes, to be put back.
  int64_t image[BlockRegisters];
  std::copy_n(RegisterImage, BlockRegisters, image);
  const int32_t counts[4] = {VcWindowCount, IcWindowCount, VrWindowCount, VbWindowCount};
  const std::string sweep = run.SweepCommand;
  const std::string highVoltage = run.HighVoltageCommand;
  const int32_t connectFlag = run.ControlFlag13;

  run.SweepCommand = "Stop";
  run.HighVoltageCommand = "Stop";
  run.ControlFlag13 = 0;
  BuildControlBlock(0);
  uint8_t bytes[BlockRegisters * RegisterPacketBytes];
  for (int i = 0; i < BlockRegisters; ++i) {
    const int32_t address = BlockRegisters - 1 - i;
    const RegisterPacket packet = BuildRegisterPacket(address, RegisterImage[address], true);
    std::memcpy(bytes + i * RegisterPacketBytes, packet.data(), packet.size());
  }
  platform::ArmEmergencyBlock(InstrumentSerialPort, bytes, sizeof bytes);

  std::copy_n(image, BlockRegisters, RegisterImage);
  VcWindowCount = counts[0];
  IcWindowCount = counts[1];
  VrWindowCount = counts[2];
  VbWindowCount = counts[3];
  run.SweepCommand = sweep;
  run.HighVoltageCommand = highVoltage;
  run.ControlFlag13 = connectFlag;
}

}  // namespace zolt::link
