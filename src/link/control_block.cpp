// The curve tracer's control block: timing by pulse class, sample interval and durations,
// collector limits, base/gate levels, range and mode registers, and the command bits.
#include "link/control_block.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "frame/bits.h"
#include "frame/numbers.h"
#include "link/calibration.h"
#include "link/registers.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::link {

namespace {

constexpr double TickSeconds = 4.26667e-5;  // the instrument's sample-interval tick
constexpr double MinimumSampleRate = 10.0;
constexpr double NegativeCodeBase = 4294967295.0;

// Timing values by pulse class: {register, class 80, class 300}.
struct TimingRow {
  ControlRegister reg;
  int32_t class80;
  int32_t class300;
};
constexpr TimingRow TimingTable[] = {
    {BaseReadWindowEnd, 104, 108}, {TimingSlot6, 100, 100},  {TimingSlot7, 102, 107},
    {TimingSlot8, 92, 92},         {TimingSlot9, 103, 108},  {ReadWindowStart, 103, 103},
    {ReadWindowEnd, 104, 108},     {TimingSlot18, 103, 108}, {TimingSlot19, 100, 100},
    {TimingSlot20, 100, 100},      {TimingSlot21, 102, 107}, {TimingSlot22, 98, 98},
    {TimingSlot27, 104, 104},      {TimingSlot28, 96, 96},   {BaseReadWindowStart, 103, 103},
};

// Clamp bits by clamp mode (lower case); -1 keeps the bit from the previous block.
struct ClampRow {
  const char* mode;
  int32_t forceOn;
  int32_t forceOff;
  int32_t onIdle;
};
constexpr ClampRow ClampTable[] = {
    {"clampoff", 0, 0, 0},
    {"clamponidle", 0, 0, 1},
    {"forceon", 1, 0, -1},
    {"forceoff", 0, 1, -1},
};

// The 80 us class: a pulse strictly between 64 us and 96 us.
bool InPulseClass80(double seconds) { return seconds > 6.4e-5 && seconds < 9.6e-5; }

// A code that is not finite comes from a calibration whose two points coincide (an
// all-zero record gives an infinite ampere-to-code gain), and is never sent.
// A collector limit is then sent as code 0, the tightest limit: the sweep stops at once
// with a limit stop code. The widest code would lift the limit, and the code of an
// earlier block may belong to another range, where the same code means another current.
void StoreLimit(int32_t reg, double code, int64_t (*encode)(double)) {
  RegisterImage[reg] = std::isfinite(code) ? encode(code) : 0;
}

// A base/gate level that is not finite keeps the code of the previous block: code 0 is
// not a rest level of the output (it is one end of its range).
void StoreLevel(int32_t reg, double code) {
  if (std::isfinite(code)) RegisterImage[reg] = frame::RoundHalfAway(code);
}

// Collector voltage limits: clamped, negative codes as 4,294,967,295 + code, then rounded
// to nearest, ties to even.
int64_t EncodeVoltageLimit(double code) {
  code = std::clamp(code, -LimitCodeMagnitude, LimitCodeMagnitude);
  if (code < 0.0) code += NegativeCodeBase;
  return frame::RoundHalfEven(code);
}

// Collector current limits: rounded to nearest, ties to even, clamped, and a negative
// code c stored as 4,294,967,295 + c.
int64_t EncodeCurrentLimit(double code) {
  const double clamped = std::clamp(code, -LimitCodeMagnitude, LimitCodeMagnitude);
  int64_t rounded = frame::RoundHalfEven(clamped);
  if (rounded < 0) rounded += static_cast<int64_t>(NegativeCodeBase);
  return rounded;
}

double Convert(double value, const GainOffset& pair) { return value * pair.Gain + pair.Offset; }

int32_t CommandBitsAfter(int32_t bits, const tracer::StepSetup& setup) {
  using frame::SetBitValue;
  tracer::RunControlRecord& run = tracer::RunControl;
  bits = SetBitValue(bits, 5, 0);
  bits = SetBitValue(bits, 6, 0);
  bits = SetBitValue(bits, BaseGatePulsedBit, setup.BaseGatePulseLength != 0.0);

  const std::string clampMode = frame::ToLower(setup.BaseGateClampMode);
  ClampRow clamp = {"", 0, 0, 0};
  for (const ClampRow& row : ClampTable) {
    if (clampMode == row.mode) clamp = row;
  }
  bits = SetBitValue(bits, ClampForceOnBit, clamp.forceOn);
  bits = SetBitValue(bits, ClampForceOffBit, clamp.forceOff);
  if (clamp.onIdle >= 0) bits = SetBitValue(bits, ClampOnIdleBit, clamp.onIdle);

  bits = SetBitValue(bits, CollectorPulsedBit, setup.CollectorPulseLength != 0.0);

  // Commands go out once: a recognised command is emptied when used.
  const std::string sweep = frame::ToLower(run.SweepCommand);
  bits = SetBitValue(bits, RunSweepBit, sweep == "run");
  bits = SetBitValue(bits, StopSweepBit, sweep == "stop");
  if (sweep == "run" || sweep == "stop") run.SweepCommand.clear();

  const std::string highVoltage = frame::ToLower(run.HighVoltageCommand);
  bits = SetBitValue(bits, HighVoltageStartBit, highVoltage == "start");
  bits = SetBitValue(bits, HighVoltageStopBit, highVoltage == "stop");
  if (highVoltage == "start" || highVoltage == "stop") run.HighVoltageCommand.clear();

  bits = SetBitValue(bits, ConnectStartBit, run.ControlFlag13 == 1);
  if (run.ControlFlag13 == 1) run.ControlFlag13 = 0;

  bits = SetBitValue(bits, 14, 0);
  bits = SetBitValue(bits, 15, 0);

  const std::string comms = frame::ToLower(run.CommsEnable);
  if (comms == "on") bits = SetBitValue(bits, CommsEnableBit, 1);
  if (comms == "off") bits = SetBitValue(bits, CommsEnableBit, 0);
  return bits;
}

// Register 1 as the 32-bit pattern it carries, and back (kept non-negative so the packet
// sends exactly these bits).
int32_t CommandBitsValue() {
  return static_cast<int32_t>(static_cast<uint32_t>(RegisterImage[CommandBits]));
}
void SetCommandBitsValue(int32_t bits) {
  RegisterImage[CommandBits] = static_cast<int64_t>(static_cast<uint32_t>(bits));
}

}  // namespace

void BuildControlBlock(int32_t entry) {
  const tracer::StepSetup& setup =
      tracer::StepSetups[std::clamp(entry, 0, tracer::StepSetupCount - 1)];
  const tracer::TestSetupRecord& current = tracer::TestSetup;
  const CalibrationCoefficientsRecord& cal = CalibrationCoefficients;
  int64_t* reg = RegisterImage;

  // Timing values and the read-window counts of the pulse class.
  const bool class80 =
      InPulseClass80(setup.BaseGatePulseLength) || InPulseClass80(setup.CollectorPulseLength);
  for (const TimingRow& row : TimingTable) reg[row.reg] = class80 ? row.class80 : row.class300;
  VcWindowCount = static_cast<int32_t>(reg[ReadWindowEnd] - reg[ReadWindowStart]);
  IcWindowCount = VcWindowCount;
  VrWindowCount = 1;
  VbWindowCount = static_cast<int32_t>(reg[BaseReadWindowEnd] - reg[BaseReadWindowStart]);

  if (setup.CollectorPulseLength != 0.0) reg[TimingSlot22] = reg[ReadWindowStart] + 1;

  // Sample interval in ticks (never slower than 10 Hz) and the two durations in samples.
  const double rate = tracer::RunInfo.RunSampleRate;
  const double tickRate = rate >= MinimumSampleRate ? rate : MinimumSampleRate;
  reg[SampleIntervalTicks] = frame::RoundHalfAway(1.0 / tickRate / TickSeconds);
  reg[FirstDurationSamples] = frame::RoundHalfAway(rate * setup.FirstDuration);
  reg[SecondDurationSamples] = frame::RoundHalfAway(rate * setup.SecondDuration);

  // Collector limits: the same magnitude on both sides, whatever the polarity.
  const double volts = std::fabs(setup.CollectorMaxVoltage);
  StoreLimit(CollectorVoltageLimitLow, Convert(-volts, cal.CollectorVoltageToCode),
             EncodeVoltageLimit);
  StoreLimit(CollectorVoltageLimitHigh, Convert(volts, cal.CollectorVoltageToCode),
             EncodeVoltageLimit);
  const int32_t collectorRange = current.SetupCollectorCurrentRange;
  if (collectorRange >= 0 && collectorRange <= 3) {
    const double amps = std::fabs(setup.CollectorMaxCurrent);
    const GainOffset& toCode = cal.CollectorCurrentToCode[collectorRange];
    StoreLimit(CollectorCurrentLimitLow, Convert(-amps, toCode), EncodeCurrentLimit);
    StoreLimit(CollectorCurrentLimitHigh, Convert(amps, toCode), EncodeCurrentLimit);
  }

  // Base/gate offset and active levels.
  const bool voltageMode = setup.BaseGateOutputMode == "V";
  double offsetLevel = 0.0;
  double activeLevel = 0.0;
  if (voltageMode) {
    offsetLevel = Convert(setup.BaseGateOffsetVoltage, cal.BaseGateVoltageOffsetDac);
    activeLevel = Convert(setup.BaseGateActiveVoltage, cal.BaseGateVoltageActiveDac);
  } else {
    offsetLevel = setup.BaseGateOffsetCurrent;
    activeLevel = setup.BaseGateActiveCurrent;
    const int32_t range = current.SetupBaseGateRange;
    if (range >= 0 && range <= 3) {
      offsetLevel = Convert(offsetLevel, cal.BaseGateCurrentOffsetDac[range]);
      activeLevel = Convert(activeLevel, cal.BaseGateCurrentActiveDac[range]);
    }
  }
  // Rounded half away from zero and stored unclamped: negative levels stay negative.
  StoreLevel(BaseGateOffsetCode, offsetLevel);
  StoreLevel(BaseGateActiveCode, activeLevel);

  // A continuous base/gate drive has no pulse window.
  if (setup.BaseGatePulseLength == 0.0) {
    reg[TimingSlot18] = 65535;
    reg[TimingSlot19] = 1;
  }
  reg[CollectorRangeSelect] = current.SetupCollectorCurrentRange;
  reg[BaseGateRangeSelect] = current.SetupBaseGateRange;
  reg[CollectorNegative] = setup.CollectorMaxVoltage < 0.0 ? 1 : 0;
  reg[BaseGateCurrentMode] = voltageMode ? 0 : 1;
  reg[TimingSlot27] = reg[ReadWindowStart] + 1;
  reg[TimingSlot28] = reg[TimingSlot8] + 4;
  reg[Register30] = 0;

  SetCommandBitsValue(CommandBitsAfter(CommandBitsValue(), setup));
}

void SendControlBlock(int32_t entry) {
  BuildControlBlock(entry);
  WriteRegisterBlock(PollRegister, -32, 1);
  int32_t bits = CommandBitsValue();
  for (int bit : {RunSweepBit, StopSweepBit, HighVoltageStartBit, HighVoltageStopBit}) {
    bits = frame::SetBitValue(bits, bit, 0);
  }
  SetCommandBitsValue(frame::SetBitValue(bits, 15, 0));
  ArmHighVoltageOffBlock();
}

}  // namespace zolt::link
