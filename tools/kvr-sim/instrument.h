// Curve-tracer simulator, the instrument: what the simulated curve tracer does with the
// registers it is sent, and the status frame it sends each frame period.
//
// High voltage: command bit 2 switches it on (after a short rise), bit 3 switches it
// off, and so does a register 1 without the comms-enable bit 16.
// A sweep, started by the run bit 0 while idle with the high voltage on and no stop
// code waiting: pre-ramp (base/gate drive on, supply at 0 V, for the pre-ramp samples
// of register 3), ramping (the collector supply rises from 0 V by one step a frame
// toward the voltage limit of register 13, or register 12 when register 25 asks for a
// negative collector; one point a frame), stopping (the supply runs back to 0 V), idle
// with the stop code that ended it. The ramp ends when the collector voltage code
// reaches its limit code (stop code 4, or 3 going negative), when the collector
// current code reaches its limit (6, or 5), when a continuous (unpulsed) collector
// current passes NonPulseLimitAmps (8, or 7), or after the longest ramp of register 5
// (2). The stop bit 1, the high voltage going off and the `EndSweep` control stop it
// early (code 1 unless given another). The code stays until register 1 arrives with
// bit 4 set, and a sweep is not started while one waits.
//
// Base/gate output: register 26 chooses current (non-zero) or voltage drive, register
// 24 the range; the level is the active code of register 17 during a sweep and the
// offset code of register 16 between sweeps, converted back with the calibration. It
// rests at 0 V while clamped (bits 8-10) and until the host sets comms-enable.
// Readings: collector current and voltage are summed over the read window of
// registers 10/11, the base/gate voltage over that of registers 29/4, the resistor
// voltage is one sample; all are converted to codes with the calibration.
//
// Sections: settings; state; driving the instrument.
#pragma once

#include <cstdint>
#include <random>

#include "calibration.h"
#include "devices.h"
#include "registers.h"
#include "wire.h"

namespace zolt::kvrsim {

// ---- settings ----

constexpr double SupplyMaxVolts = 120.0;     // the collector supply's own limit
constexpr double NonPulseLimitAmps = 0.5;    // continuous collector current allowed
constexpr int LongestRampFrames = 10000;     // when register 5 sets no limit
constexpr double DefaultSampleSeconds = 0.02;

struct InstrumentSettings {
  DeviceKind device = DeviceKind::Npn;
  int rampFrames = 250;          // frames from 0 V to the voltage limit
  int stoppingFrames = 5;        // frames to run the supply back to 0 V
  int highVoltageRiseFrames = 10;
  double noiseCodes = 2.0;       // rms noise of each converter sample, in codes
  uint64_t seed = 1;
};

// ---- state ----

enum class RunState : uint16_t { Idle = 0, PreRamp = 1, Ramping = 2, Stopping = 3 };

const char* RunStateName(RunState state);

struct Sweep {
  RunState state = RunState::Idle;
  int framesInState = 0;
  int rampFrame = 0;          // ramping frames so far, 0 on the first
  double supplyVolts = 0.0;
  double stepVolts = 0.0;     // supply rise per ramping frame, signed
  double stoppingFromVolts = 0.0;
  int endingCode = 0;         // stop code reported once the sweep is idle again
  bool limitReached = false;  // the last ramping frame ended the ramp
};

struct InstrumentCounters {
  uint64_t frames = 0;
  uint64_t registerWrites = 0;
  uint64_t polls = 0;
  uint64_t otherRequests = 0;  // requests for registers other than 0
  uint64_t unknownRegisters = 0;
  uint64_t refusedRuns = 0;    // run bit while busy, high voltage off or a code waiting
  uint64_t sweepsStarted = 0;
  uint64_t sweepsEnded = 0;
};

struct Instrument {
  InstrumentSettings settings;
  RegisterBank registers;
  CalibrationStream calibration;
  Conversions conversions;
  bool highVoltageOn = false;
  int highVoltageRise = 0;  // frames until the high voltage is on; 0 when not rising
  int stopCode = 0;
  Sweep sweep;
  OperatingPoint lastPoint;
  std::mt19937_64 random;
  InstrumentCounters counters;
};

// ---- driving the instrument ----

// Power-on: registers 0, high voltage off, idle, the calibration stream at a copy start.
void StartInstrument(Instrument& instrument, const InstrumentSettings& settings,
                     const CalibrationImage& image);
// A packet from the host: writes land in the bank; register 1 carries commands.
void ApplyPacket(Instrument& instrument, const RegisterPacket& packet);
// Ends the sweep under way with `code`, as a halt at the instrument itself would.
void EndSweep(Instrument& instrument, int code);
// Advances one frame period and returns the frame to send.
StatusFrame NextFrame(Instrument& instrument);
// The sample interval set by register 2 (DefaultSampleSeconds while it is 0).
double SampleSeconds(const Instrument& instrument);

}  // namespace zolt::kvrsim
