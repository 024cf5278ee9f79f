// Curve-tracer simulator, the instrument: commands, the sweep, measuring, the frame.
#include "instrument.h"

#include <algorithm>
#include <cmath>

namespace zolt::kvrsim {

const char* RunStateName(RunState state) {
  switch (state) {
    case RunState::Idle: return "Idling";
    case RunState::PreRamp: return "Pre-ramp";
    case RunState::Ramping: return "Ramping";
    case RunState::Stopping: return "Stopping";
  }
  return "?";
}

namespace {

uint32_t Reg(const Instrument& in, int reg) { return in.registers.value[reg]; }
bool CommandBit(const Instrument& in, uint32_t bit) { return (Reg(in, RegCommand) & bit) != 0; }
bool CollectorNegative(const Instrument& in) { return Reg(in, RegCollectorNegative) != 0; }
int CollectorRange(const Instrument& in) { return RangeIndex(Reg(in, RegCollectorRange)); }

// ---- the sweep ----

void FinishSweep(Instrument& in) {
  in.sweep = Sweep{.endingCode = in.sweep.endingCode};
  in.stopCode = in.sweep.endingCode;
  ++in.counters.sweepsEnded;
}

void BeginStopping(Instrument& in, int code) {
  in.sweep.endingCode = code;
  in.sweep.stoppingFromVolts = in.sweep.supplyVolts;
  in.sweep.framesInState = 0;
  in.sweep.state = RunState::Stopping;
  if (in.settings.stoppingFrames <= 0) FinishSweep(in);
}

bool SweepRunning(const Instrument& in) {
  return in.sweep.state == RunState::PreRamp || in.sweep.state == RunState::Ramping;
}

// The supply rise per frame: the voltage limit, decoded with the calibration, over the
// ramp's frames.
double RampStepVolts(const Instrument& in) {
  int reg = CollectorNegative(in) ? RegVoltageLimitLow : RegVoltageLimitHigh;
  double limit = Apply(in.conversions.collectorVoltageFromCode, double(LimitCode(Reg(in, reg))));
  double magnitude = std::isfinite(limit) ? std::max(std::abs(limit), 0.01) : 0.01;
  double step = magnitude / std::max(in.settings.rampFrames, 1);
  return CollectorNegative(in) ? -step : step;
}

int PreRampFrames(const Instrument& in) {
  return static_cast<int>(std::clamp<uint32_t>(Reg(in, RegFirstDuration), 1, 10000));
}

int LongestRamp(const Instrument& in) {
  uint32_t samples = Reg(in, RegSecondDuration);
  return samples == 0 ? LongestRampFrames : static_cast<int>(std::min<uint32_t>(samples, LongestRampFrames));
}

void AdvanceSweep(Instrument& in) {
  Sweep& s = in.sweep;
  switch (s.state) {
    case RunState::Idle:
      break;
    case RunState::PreRamp:
      if (s.framesInState < PreRampFrames(in)) {
        ++s.framesInState;
        break;
      }
      s.state = RunState::Ramping;
      s.framesInState = 0;
      s.rampFrame = 0;
      s.supplyVolts = 0.0;
      s.stepVolts = RampStepVolts(in);
      break;
    case RunState::Ramping:
      if (!s.limitReached) {
        ++s.rampFrame;
        s.supplyVolts = std::clamp(s.stepVolts * s.rampFrame, -SupplyMaxVolts, SupplyMaxVolts);
        break;
      }
      BeginStopping(in, s.endingCode);
      if (s.state != RunState::Stopping) break;
      [[fallthrough]];
    case RunState::Stopping:
      if (s.framesInState >= in.settings.stoppingFrames) {
        FinishSweep(in);
        break;
      }
      ++s.framesInState;
      s.supplyVolts = s.stoppingFromVolts * (1.0 - double(s.framesInState) / in.settings.stoppingFrames);
      break;
  }
}

// ---- commands ----

void SwitchHighVoltageOff(Instrument& in) {
  in.highVoltageOn = false;
  in.highVoltageRise = 0;
  if (SweepRunning(in)) BeginStopping(in, 1);
}

void SwitchHighVoltageOn(Instrument& in) {
  if (in.highVoltageOn || in.highVoltageRise > 0) return;
  in.highVoltageRise = in.settings.highVoltageRiseFrames;
  if (in.highVoltageRise <= 0) in.highVoltageOn = true;
}

void StartSweep(Instrument& in) {
  if (in.sweep.state != RunState::Idle || !in.highVoltageOn || in.stopCode != 0) {
    ++in.counters.refusedRuns;
    return;
  }
  in.sweep = Sweep{.state = RunState::PreRamp};
  ++in.counters.sweepsStarted;
}

void ApplyCommands(Instrument& in, uint32_t bits) {
  if (bits & ConnectStartBit) {
    // A new host session: whatever ran before is dropped.
    in.sweep = Sweep{};
    in.stopCode = 0;
  }
  if (!(bits & CommsEnableBit) || (bits & HighVoltageStopBit)) {
    SwitchHighVoltageOff(in);
  } else if (bits & HighVoltageStartBit) {
    SwitchHighVoltageOn(in);
  }
  if (!(bits & CommsEnableBit)) return;
  if ((bits & ClearStopCodeBit) && in.sweep.state == RunState::Idle) in.stopCode = 0;
  if ((bits & StopSweepBit) && SweepRunning(in)) BeginStopping(in, 1);
  if (bits & RunSweepBit) StartSweep(in);
}

// ---- measuring ----

// Until the host enables the instrument (bit 16) the base/gate output rests at 0 V.
bool BaseClamped(const Instrument& in) {
  if (!CommandBit(in, CommsEnableBit) || CommandBit(in, ClampForceOnBit)) return true;
  if (CommandBit(in, ClampForceOffBit)) return false;
  return CommandBit(in, ClampOnIdleBit) && in.sweep.state == RunState::Idle;
}

// The base/gate source: the active level during a sweep, the offset level between
// sweeps, 0 V while clamped.
BaseDrive CurrentBaseDrive(const Instrument& in) {
  int range = RangeIndex(Reg(in, RegBaseRange));
  BaseDrive drive{.currentMode = false, .level = 0.0, .sourceOhms = BaseRangeOhms[range]};
  if (BaseClamped(in)) return drive;
  bool active = in.sweep.state != RunState::Idle;
  double code = double(OutputCode(Reg(in, active ? RegBaseActiveCode : RegBaseOffsetCode)));
  const Conversions& c = in.conversions;
  if (Reg(in, RegBaseCurrentMode) == 0) {
    drive.level = Apply(Inverse(active ? c.baseVoltageActiveDac : c.baseVoltageOffsetDac), code);
  } else {
    drive.currentMode = true;
    drive.level = Apply(Inverse(active ? c.baseCurrentActiveDac[range] : c.baseCurrentOffsetDac[range]), code);
  }
  return drive;
}

constexpr double CodeLimit = 8388607.0;

double ClampCode(double code) {
  if (std::isnan(code)) return 0.0;
  return std::clamp(code, -CodeLimit, CodeLimit);
}

// `count` converter samples of `code` (each with its own noise), summed.
int32_t SampleSum(Instrument& in, double code, int count) {
  bool noisy = in.settings.noiseCodes > 0.0;
  std::normal_distribution<double> noise(0.0, noisy ? in.settings.noiseCodes : 1.0);
  int64_t sum = 0;
  for (int i = 0; i < count; ++i) {
    double sample = code + (noisy ? noise(in.random) : 0.0);
    sum += static_cast<int64_t>(std::llround(ClampCode(sample)));
  }
  return static_cast<int32_t>(sum);
}

struct Codes {
  double collectorVolts, collectorAmps, resistorVolts, baseVolts;
};

Codes ToCodes(const Instrument& in, const OperatingPoint& p, double supply) {
  const Conversions& c = in.conversions;
  double resistorVolts = supply - p.collectorVolts;
  if (!in.highVoltageOn) resistorVolts = 0.0;
  return {ClampCode(Apply(c.collectorVoltageToCode, p.collectorVolts)),
          ClampCode(Apply(c.collectorCurrentToCode[CollectorRange(in)], p.collectorAmps)),
          ClampCode(Apply(c.collectorVoltageToCode, resistorVolts)),
          ClampCode(Apply(c.baseVoltageToCode, p.baseVolts))};
}

// After a ramping frame: does this point end the ramp, and with which code?
int RampStopCode(const Instrument& in, const Codes& codes, double amps) {
  bool negative = CollectorNegative(in);
  if (!negative && codes.collectorVolts >= double(LimitCode(Reg(in, RegVoltageLimitHigh)))) return 4;
  if (negative && codes.collectorVolts <= double(LimitCode(Reg(in, RegVoltageLimitLow)))) return 3;
  if (!negative && codes.collectorAmps >= double(LimitCode(Reg(in, RegCurrentLimitHigh)))) return 6;
  if (negative && codes.collectorAmps <= double(LimitCode(Reg(in, RegCurrentLimitLow)))) return 5;
  if (!CommandBit(in, CollectorPulsedBit) && std::abs(amps) > NonPulseLimitAmps) return amps > 0 ? 8 : 7;
  if (in.sweep.rampFrame + 1 >= LongestRamp(in)) return 2;
  return 0;
}

}  // namespace

// ---- driving the instrument ----

void StartInstrument(Instrument& in, const InstrumentSettings& settings,
                     const CalibrationImage& image) {
  in = Instrument{};
  in.settings = settings;
  in.calibration.image = image;
  in.conversions = FitConversions(ParseCalibrationImage(image));
  in.random.seed(settings.seed);
}

void ApplyPacket(Instrument& in, const RegisterPacket& packet) {
  if (!packet.write) {
    ++(packet.address == RegPoll ? in.counters.polls : in.counters.otherRequests);
    return;
  }
  if (packet.address >= RegisterCount) {
    ++in.counters.unknownRegisters;
    return;
  }
  ++in.counters.registerWrites;
  in.registers.value[packet.address] = packet.value;
  if (packet.address == RegCommand) ApplyCommands(in, packet.value);
}

void EndSweep(Instrument& in, int code) {
  if (SweepRunning(in)) BeginStopping(in, std::clamp(code, 1, 15));
}

StatusFrame NextFrame(Instrument& in) {
  ++in.counters.frames;
  if (in.highVoltageRise > 0 && --in.highVoltageRise == 0) in.highVoltageOn = true;
  AdvanceSweep(in);

  double supply = in.sweep.supplyVolts;
  // With the high voltage off the collector supply is disconnected.
  double seriesOhms = in.highVoltageOn ? CollectorRangeOhms[CollectorRange(in)] : 1e12;
  OperatingPoint p = SolveCircuit(in.settings.device, supply, seriesOhms,
                                  in.conversions.parasiticOhms, CurrentBaseDrive(in));
  in.lastPoint = p;
  Codes codes = ToCodes(in, p, supply);

  if (in.sweep.state == RunState::Ramping) {
    int code = RampStopCode(in, codes, p.collectorAmps);
    if (code != 0) {
      in.sweep.limitReached = true;
      in.sweep.endingCode = code;
    }
  }

  int collectorSamples = WindowCount(in.registers, RegReadWindowStart, RegReadWindowEnd);
  int baseSamples = WindowCount(in.registers, RegBaseWindowStart, RegBaseWindowEnd);
  CalibrationWord cal = NextCalibrationWord(in.calibration);

  StatusFrame frame;
  frame.statusWord = static_cast<uint16_t>(static_cast<uint16_t>(in.sweep.state) |
                                           (in.highVoltageOn ? HighVoltageOnBit : 0) |
                                           (in.stopCode & 15) << StopCodeShift |
                                           (cal.marker ? CalibrationMarkerBit : 0));
  frame.calibrationWord = cal.word;
  frame.collectorCurrentSum = SampleSum(in, codes.collectorAmps, collectorSamples);
  frame.collectorVoltageSum = SampleSum(in, codes.collectorVolts, collectorSamples);
  frame.resistorVoltageSum = SampleSum(in, codes.resistorVolts, 1);
  frame.baseVoltageSum = SampleSum(in, codes.baseVolts, baseSamples);
  return frame;
}

double SampleSeconds(const Instrument& in) {
  uint32_t ticks = Reg(in, RegSampleInterval);
  return ticks == 0 ? DefaultSampleSeconds : ticks * SampleTickSeconds;
}

}  // namespace zolt::kvrsim
