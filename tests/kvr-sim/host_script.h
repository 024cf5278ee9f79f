// Tests of the curve-tracer simulator: a scripted host that sets the instrument up the
// way the program does (limit codes, base/gate codes, read windows, command bits).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "calibration.h"
#include "instrument.h"
#include "registers.h"

namespace zolt::kvrsim::testing {

struct SweepSetup {
  double maxVolts = 30.0;    // negative: a negative collector
  double maxAmps = 0.01;
  int collectorRange = 1;
  bool currentDrive = true;
  int baseRange = 1;
  double baseLevel = 10e-6;  // amperes or volts
  bool collectorPulsed = true;
  uint32_t firstDurationSamples = 3;
  uint32_t secondDurationSamples = 500;
};

inline void Write(Instrument& in, int reg, uint32_t value) {
  ApplyPacket(in, RegisterPacket{.write = true, .address = static_cast<uint16_t>(reg), .value = value});
}

// A limit code as the host stores it: clamped, negative codes as 4,294,967,295 + code.
inline uint32_t LimitRegister(double code) {
  code = std::nearbyint(std::clamp(code, -8388607.0, 8388607.0));
  return code < 0 ? static_cast<uint32_t>(4294967295.0 + code) : static_cast<uint32_t>(code);
}

inline uint32_t OutputRegister(double code) { return static_cast<uint32_t>(std::llround(code)); }

constexpr uint32_t Enabled = CommsEnableBit | ClampOnIdleBit;

// Registers 2..29 of one sweep, as the program's control block sets them (class 300).
inline void WriteSetup(Instrument& in, const SweepSetup& s) {
  const Conversions& c = in.conversions;
  double volts = std::abs(s.maxVolts), amps = std::abs(s.maxAmps);
  Write(in, RegSampleInterval, 469);
  Write(in, RegFirstDuration, s.firstDurationSamples);
  Write(in, RegSecondDuration, s.secondDurationSamples);
  Write(in, RegBaseWindowEnd, 108);
  Write(in, RegReadWindowStart, 103);
  Write(in, RegReadWindowEnd, 108);
  Write(in, RegBaseWindowStart, 103);
  Write(in, RegVoltageLimitLow, LimitRegister(Apply(c.collectorVoltageToCode, -volts)));
  Write(in, RegVoltageLimitHigh, LimitRegister(Apply(c.collectorVoltageToCode, volts)));
  Write(in, RegCurrentLimitLow, LimitRegister(Apply(c.collectorCurrentToCode[s.collectorRange], -amps)));
  Write(in, RegCurrentLimitHigh, LimitRegister(Apply(c.collectorCurrentToCode[s.collectorRange], amps)));
  Write(in, RegCollectorRange, static_cast<uint32_t>(s.collectorRange));
  Write(in, RegCollectorNegative, s.maxVolts < 0 ? 1 : 0);
  Write(in, RegBaseCurrentMode, s.currentDrive ? 1 : 0);
  Write(in, RegBaseRange, static_cast<uint32_t>(s.baseRange));
  if (s.currentDrive) {
    Write(in, RegBaseOffsetCode, OutputRegister(Apply(c.baseCurrentOffsetDac[s.baseRange], 0.0)));
    Write(in, RegBaseActiveCode, OutputRegister(Apply(c.baseCurrentActiveDac[s.baseRange], s.baseLevel)));
  } else {
    Write(in, RegBaseOffsetCode, OutputRegister(Apply(c.baseVoltageOffsetDac, 0.0)));
    Write(in, RegBaseActiveCode, OutputRegister(Apply(c.baseVoltageActiveDac, s.baseLevel)));
  }
}

inline uint32_t SweepCommandBits(const SweepSetup& s) {
  return Enabled | (s.collectorPulsed ? CollectorPulsedBit : 0);
}

// A quiet instrument with the built-in calibration of unit 1: no noise, no delays.
inline void StartQuietInstrument(Instrument& in, DeviceKind device = DeviceKind::Npn) {
  InstrumentSettings settings;
  settings.device = device;
  settings.noiseCodes = 0.0;
  settings.highVoltageRiseFrames = 0;
  settings.rampFrames = 100;
  settings.stoppingFrames = 3;
  CalibrationImage image{};
  FormatCalibrationImage(MakeCalibrationRecord(1), image);
  StartInstrument(in, settings, image);
}

inline RunState StateOf(const StatusFrame& frame) {
  return static_cast<RunState>(frame.statusWord & RunStateMask);
}
inline int StopCodeOf(const StatusFrame& frame) { return (frame.statusWord >> StopCodeShift) & 15; }
inline bool HighVoltageOf(const StatusFrame& frame) { return (frame.statusWord & HighVoltageOnBit) != 0; }

}  // namespace zolt::kvrsim::testing
