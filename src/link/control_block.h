// The curve tracer's control block: registers 1 to 30 built from one step's set-up, the
// run's sample rate, the pending commands and the calibration, sent as registers 31 down
// to 0 in one write.
//
// Main thread, with the InstrumentMutex held (like every writer of the registers).
#pragma once

#include <cstdint>

namespace zolt::link {

// Register addresses of the block.
enum ControlRegister : int32_t {
  PollRegister = 0,
  CommandBits = 1,
  SampleIntervalTicks = 2,
  FirstDurationSamples = 3,
  BaseReadWindowEnd = 4,
  SecondDurationSamples = 5,
  TimingSlot6 = 6,
  TimingSlot7 = 7,
  TimingSlot8 = 8,
  TimingSlot9 = 9,
  ReadWindowStart = 10,
  ReadWindowEnd = 11,
  CollectorVoltageLimitLow = 12,
  CollectorVoltageLimitHigh = 13,
  CollectorCurrentLimitLow = 14,
  CollectorCurrentLimitHigh = 15,
  BaseGateOffsetCode = 16,
  BaseGateActiveCode = 17,
  TimingSlot18 = 18,
  TimingSlot19 = 19,
  TimingSlot20 = 20,
  TimingSlot21 = 21,
  TimingSlot22 = 22,
  CollectorRangeSelect = 23,
  BaseGateRangeSelect = 24,
  CollectorNegative = 25,
  BaseGateCurrentMode = 26,
  TimingSlot27 = 27,
  TimingSlot28 = 28,
  BaseReadWindowStart = 29,
  Register30 = 30,
  ReservedRegister31 = 31,
};

// Bits of the CommandBits register.
enum CommandBit : int32_t {
  RunSweepBit = 0,
  StopSweepBit = 1,
  HighVoltageStartBit = 2,
  HighVoltageStopBit = 3,
  ClearStopCodeBit = 4,
  BaseGatePulsedBit = 7,
  ClampForceOnBit = 8,
  ClampForceOffBit = 9,
  ClampOnIdleBit = 10,
  CollectorPulsedBit = 11,
  ConnectStartBit = 13,
  CommsEnableBit = 16,
};

// Largest magnitude of a collector limit code.
constexpr double LimitCodeMagnitude = 8388607.0;

// Sample counts of the read windows of the last block built (1 for the 80 us pulse class,
// 5 otherwise; VrWindowCount always 1). The run phases hand them to the reader.
inline int32_t VcWindowCount = 1;
inline int32_t IcWindowCount = 1;
inline int32_t VrWindowCount = 1;
inline int32_t VbWindowCount = 1;

// Builds registers 1 to 30 of the image from set-up entry `entry` (0..24; others are
// taken as the nearest) and empties the commands it uses.
void BuildControlBlock(int32_t entry);

// BuildControlBlock, then registers 31 down to 0 over the COM port, then bits 0-3 and 15
// of CommandBits cleared in the image so that a command goes out in one block only.
void SendControlBlock(int32_t entry);

// Hands the platform layer, as the emergency block of the COM port, the block that
// SendControlBlock(0) would send now with the sweep stopped and the high voltage
// switched off (and without the connect bit): a crash, a signal that ends the program at
// once or the display's end then leaves the instrument safe. The image, the window counts
// and the commands stay as they were. SendControlBlock calls it after each block.
void ArmHighVoltageOffBlock();

}  // namespace zolt::link
