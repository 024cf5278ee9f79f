// The test set-up: the value ladders and what RecalculateTestSetup derives from them
// (limits, series impedance, step sizes, offset, base/gate range and the display texts),
// the device presets, the two pulse-length cyclers, and the connect defaults of set-up
// entry 0.
//
// Sections: ladders; recalculation; device presets; pulse cyclers; connect defaults.
#include "tracer/setup.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "frame/numbers.h"
#include "frame/settings.h"
#include "link/control_block.h"
#include "screen/format.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- ladders ----

namespace {

constexpr double MaxVoltageLadder[] = {3.0,  6.5,  13.0, 20.0, 30.0, 40.0,
                                       50.0, 60.0, 70.0, 80.0, 90.0, 100.0};
constexpr double MaxCurrentLadder[] = {0.001, 0.002, 0.003, 0.005, 0.01, 0.015, 0.02,
                                       0.03,  0.04,  0.05,  0.075, 0.1,  0.15,  0.2,
                                       0.25,  0.3,   0.5,   0.75,  1.0,  1.25,  1.5,
                                       1.75,  2.0,   2.25,  2.5,   2.75, 3.0};
constexpr double StepVoltageLadder[] = {0, 0.01, 0.02, 0.03, 0.05, 0.1, 0.2, 0.3, 0.5, 1.0, 2.0};
constexpr double StepCurrentLadder[] = {0,    5e-8, 1e-7, 2e-7, 3e-7, 5e-7, 1e-6, 2e-6,
                                        3e-6, 5e-6, 1e-5, 2e-5, 3e-5, 5e-5, 1e-4, 2e-4,
                                        3e-4, 5e-4, 1e-3, 2e-3, 3e-3, 5e-3};

constexpr int32_t LastIndex(const auto& ladder) {
  return static_cast<int32_t>(std::size(ladder)) - 1;
}

constexpr double EnteredMaxVoltageLimit = 100.0;
constexpr double EnteredMaxCurrentLimit = 3.0;

// The fixed series impedances, by index 0..3.
struct ImpedanceChoice {
  int32_t Range;
  double Ohms;
  const char* Text;
};
constexpr ImpedanceChoice Impedances[] = {
    {0, 27000.0, "27 kR"}, {1, 2550.0, "2.55 kR"}, {2, 270.0, "270 R"}, {3, 24.0, "24 R"}};
constexpr int32_t AutomaticImpedance = 99;

// One offset range: its texts, the size of one index step and the unit of its texts.
struct OffsetRangeRow {
  const char* CurrentText;
  double CurrentStep;  // A
  const char* CurrentUnit;
  const char* VoltageText;
  double VoltageStep;  // V
  const char* VoltageUnit;
};
constexpr OffsetRangeRow OffsetRanges[] = {
    {"0-200 nA", 10e-9, "nA", "0-20 mV", 1e-3, "mV"},
    {"0-2 uA", 0.1e-6, "uA", "0-200 mV", 10e-3, "mV"},
    {"0-20 uA", 1e-6, "uA", "0-1 V", 0.05, "V"},
    {"0-200 uA", 10e-6, "uA", "0-2 V", 0.1, "V"},
    {"0-2 mA", 0.1e-3, "mA", "0-5 V", 0.25, "V"},
    {"0-30 mA", 1e-3, "mA", "0-12 V", 0.4, "V"},
};
constexpr int32_t WideOffsetRange = 5;  // the one range whose index goes up to 30
constexpr int32_t WideOffsetIndexLimit = 30;
constexpr int32_t OffsetIndexLimit = 20;

// Base/gate source resistor of each range.
constexpr double BaseGateResistors[] = {270000.0, 27000.0, 2700.0, 270.0};

constexpr int32_t MinSteps = 1;
constexpr int32_t MaxSteps = 24;

double Negated(double value, const std::string& polarity) {
  return polarity == "Negative" ? -value : value;
}

}  // namespace

// ---- recalculation ----

void RecalculateTestSetup() {
  TestSetupRecord& t = TestSetup;

  // Maximum collector voltage.
  t.MaxVoltageIndex = std::clamp(t.MaxVoltageIndex, 0, LastIndex(MaxVoltageLadder));
  t.SetupCollectorMaxVoltage = Negated(MaxVoltageLadder[t.MaxVoltageIndex], t.CollectorPolarity);
  if (t.MaxVoltageEntered == 1) {
    t.SetupCollectorMaxVoltage =
        std::clamp(t.EnteredMaxVoltage, -EnteredMaxVoltageLimit, EnteredMaxVoltageLimit);
  }
  t.MaxVoltageText = screen::FormatVoltage(t.SetupCollectorMaxVoltage, "", "");

  // Maximum collector current.
  t.MaxCurrentIndex = std::clamp(t.MaxCurrentIndex, 0, LastIndex(MaxCurrentLadder));
  t.SetupCollectorMaxCurrent = Negated(MaxCurrentLadder[t.MaxCurrentIndex], t.CollectorPolarity);
  if (t.MaxCurrentEntered == 1) {
    t.SetupCollectorMaxCurrent =
        std::clamp(t.EnteredMaxCurrent, -EnteredMaxCurrentLimit, EnteredMaxCurrentLimit);
  }
  t.MaxCurrentText = screen::FormatCurrent(t.SetupCollectorMaxCurrent, "", "");

  // Series impedance: "+" cycles 0, 1, 2, 3, automatic, 0.
  if (t.ImpedanceIndex >= 4 && t.ImpedanceIndex <= 98) t.ImpedanceIndex = AutomaticImpedance;
  if (t.ImpedanceIndex < 0 || t.ImpedanceIndex > AutomaticImpedance) t.ImpedanceIndex = 0;
  if (t.ImpedanceIndex == AutomaticImpedance) {
    // The resistor that lets the maximum current flow at twice the maximum voltage, with
    // 5 % to spare.
    const double r = 2.0 * std::fabs(t.SetupCollectorMaxVoltage / t.SetupCollectorMaxCurrent);
    int chosen = 3;
    if (r >= 25650.0) {
      chosen = 0;
    } else if (r >= 2422.5) {
      chosen = 1;
    } else if (r >= 256.5) {
      chosen = 2;
    }
    t.SetupCollectorCurrentRange = Impedances[chosen].Range;
    t.SetupCollectorResistorOhms = Impedances[chosen].Ohms;
    t.ImpedanceText = std::string("Auto Z=") + Impedances[chosen].Text;
  } else {
    const ImpedanceChoice& fixed = Impedances[t.ImpedanceIndex];
    t.SetupCollectorCurrentRange = fixed.Range;
    t.SetupCollectorResistorOhms = fixed.Ohms;
    t.ImpedanceText = fixed.Text;
  }

  // Step sizes; both are kept current whatever the output mode.
  t.VoltageStepIndex = std::clamp(t.VoltageStepIndex, 0, LastIndex(StepVoltageLadder));
  t.SetupStepVoltage = Negated(StepVoltageLadder[t.VoltageStepIndex], t.StepPolarity);
  if (t.StepEntered == 1) t.SetupStepVoltage = t.EnteredStepVoltage;
  t.StepVoltageText = screen::FormatVoltage(t.SetupStepVoltage, "", "");

  t.CurrentStepIndex = std::clamp(t.CurrentStepIndex, 0, LastIndex(StepCurrentLadder));
  t.SetupStepCurrent = Negated(StepCurrentLadder[t.CurrentStepIndex], t.StepPolarity);
  if (t.StepEntered == 1) t.SetupStepCurrent = t.EnteredStepCurrent;
  t.StepCurrentText = screen::FormatCurrent(t.SetupStepCurrent, "", "0 nA");

  // Offset. The index limit depends on the range as it stands, before the range itself is
  // brought back into 0..5, so "+" past range 5 lands on range 0 with index 20 at most.
  if (t.OffsetIndex < 0) t.OffsetIndex = 0;
  const int32_t indexLimit =
      t.OffsetRange == WideOffsetRange ? WideOffsetIndexLimit : OffsetIndexLimit;
  if (t.OffsetIndex > indexLimit) t.OffsetIndex = indexLimit;
  if (t.OffsetRange < 0 || t.OffsetRange > LastIndex(OffsetRanges)) t.OffsetRange = 0;
  double sign = 0.0;
  if (t.OffsetPolarity == "Positive") sign = 1.0;
  if (t.OffsetPolarity == "Negative") sign = -1.0;
  const OffsetRangeRow& range = OffsetRanges[t.OffsetRange];
  const bool currentMode = t.SetupBaseGateOutputMode == "I";
  std::string offsetUnit;
  if (currentMode) {
    t.OffsetRangeText = range.CurrentText;
    t.SetupOffsetCurrent = sign * t.OffsetIndex * range.CurrentStep;
    offsetUnit = range.CurrentUnit;
    if (t.OffsetEntered == 1) {
      t.SetupOffsetCurrent = t.EnteredOffsetCurrent;
      offsetUnit = t.EnteredOffsetCurrentUnit;
    }
    t.OffsetCurrentText = screen::FormatCurrent(t.SetupOffsetCurrent, offsetUnit, "");
  } else {
    t.OffsetRangeText = range.VoltageText;
    t.SetupOffsetVoltage = sign * t.OffsetIndex * range.VoltageStep;
    offsetUnit = range.VoltageUnit;
    if (t.OffsetEntered == 1) {
      t.SetupOffsetVoltage = t.EnteredOffsetVoltage;
      offsetUnit = t.EnteredOffsetVoltageUnit;
    }
    t.OffsetVoltageText = screen::FormatVoltage(t.SetupOffsetVoltage, offsetUnit, "");
  }

  t.NumberOfSteps = std::clamp(t.NumberOfSteps, MinSteps, MaxSteps);

  // Base/gate source range: in current mode the smallest range that holds every step's
  // level; voltage steps always use range 3.
  const double lastCurrent = t.SetupOffsetCurrent + t.SetupStepCurrent * t.NumberOfSteps;
  if (currentMode) {
    const double lo = std::min(t.SetupOffsetCurrent, lastCurrent);
    const double hi = std::max(t.SetupOffsetCurrent, lastCurrent);
    const double m = std::max(hi, -lo);
    t.SetupBaseGateRange = 0;
    if (m > 3e-5) t.SetupBaseGateRange = 1;
    if (m > 3e-4) t.SetupBaseGateRange = 2;
    if (m > 0.003) t.SetupBaseGateRange = 3;
  } else if (t.SetupBaseGateOutputMode == "V") {
    t.SetupBaseGateRange = 3;
  }
  t.SetupBaseGateResistorOhms =
      BaseGateResistors[std::clamp(t.SetupBaseGateRange, 0, LastIndex(BaseGateResistors))];

  // The last step's level.
  if (currentMode) {
    t.StepMaxText = "Max: " + screen::FormatCurrent(lastCurrent, offsetUnit, "");
  } else {
    t.StepMaxText = "Max: " + screen::FormatVoltage(
                                  t.SetupOffsetVoltage + t.SetupStepVoltage * t.NumberOfSteps,
                                  offsetUnit, "");
  }
}

// ---- device presets ----

namespace {

constexpr int32_t Unchanged = -1;

struct DevicePreset {
  const char* Type;
  int32_t FetRowShown, MoreRowShown, DeviceRowMask, FetRowMask, MoreRowMask;
  int32_t Configuration;   // Unchanged keeps the selected test configuration
  const char* Polarity;    // all three polarities; nullptr keeps them
  const char* OutputMode;  // nullptr keeps the base/gate output mode
};

constexpr DevicePreset DevicePresets[] = {
    {"NPN", 0, 0, 1, 0, 0, 100, "Positive", "I"},
    {"PNP", 0, 0, 2, 0, 0, 100, "Negative", "I"},
    {"NFET", 1, 0, 4, 4, 0, 300, "Positive", "V"},
    {"N-ENH", 1, 0, 4, 4, 0, 300, "Positive", "V"},
    {"PFET", 1, 0, 8, 8, 0, 300, "Negative", "V"},
    {"P-ENH", 1, 0, 8, 8, 0, 300, "Negative", "V"},
    {"N-DEPL", 1, 0, 4, 1, 0, 300, "Positive", "V"},
    {"P-DEPL", 1, 0, 8, 2, 0, 300, "Negative", "V"},
    {"N-JFET", 1, 0, 4, 16, 0, 300, "Positive", "V"},
    {"P-JFET", 1, 0, 8, 32, 0, 300, "Negative", "V"},
    {"DIODE", 0, 0, 16, 0, 0, 500, nullptr, nullptr},
    {"MORE", 0, 1, 32, 0, 0, Unchanged, nullptr, nullptr},
    {"SCR", 0, 1, 32, 0, 1, 600, nullptr, nullptr},
    {"OPTO", 0, 1, 32, 0, 2, 610, nullptr, nullptr},
    {"REG", 0, 1, 32, 0, 4, 620, nullptr, nullptr},
};

}  // namespace

void SetDeviceType(const std::string& type) {
  TestSetupRecord& t = TestSetup;
  if (type.empty() || frame::ToLower(type) == "reset") {
    t.FetRowShown = t.MoreRowShown = 0;
    t.DeviceRowMask = t.FetRowMask = t.MoreRowMask = 0;
  }
  for (const DevicePreset& preset : DevicePresets) {
    if (type != preset.Type) continue;
    t.FetRowShown = preset.FetRowShown;
    t.MoreRowShown = preset.MoreRowShown;
    t.DeviceRowMask = preset.DeviceRowMask;
    t.FetRowMask = preset.FetRowMask;
    t.MoreRowMask = preset.MoreRowMask;
    if (preset.Configuration != Unchanged) TestConfiguration = preset.Configuration;
    if (preset.Polarity != nullptr) {
      t.CollectorPolarity = t.StepPolarity = t.OffsetPolarity = preset.Polarity;
    }
    if (preset.OutputMode != nullptr) t.SetupBaseGateOutputMode = preset.OutputMode;
    return;
  }
}

// ---- pulse cyclers ----

namespace {

constexpr double ShortPulse = 80e-6;
constexpr double LongPulse = 300e-6;

bool NearShortPulse(double seconds) { return seconds > 72e-6 && seconds < 88e-6; }
bool NearLongPulse(double seconds) { return seconds > 270e-6 && seconds < 330e-6; }

// Continuous, 80 us, 300 us, continuous; a pulsed partner follows so that both pulses
// stay of one length.
void CyclePulse(double& own, double& partner) {
  if (own < 72e-6) {
    own = ShortPulse;
    if (NearLongPulse(partner)) partner = ShortPulse;
  } else if (NearShortPulse(own)) {
    own = LongPulse;
    if (NearShortPulse(partner)) partner = LongPulse;
  } else {
    own = 0.0;
  }
}

}  // namespace

void CycleCollectorPulseLength() {
  CyclePulse(TestSetup.SetupCollectorPulseLength, TestSetup.SetupBaseGatePulseLength);
}

void CycleBaseGatePulseLength() {
  CyclePulse(TestSetup.SetupBaseGatePulseLength, TestSetup.SetupCollectorPulseLength);
}

// ---- connect defaults ----

namespace {
constexpr double MinSampleRate = 10.0;
constexpr double MaxSampleRate = 100.0;
}  // namespace

void ResetSetupToDefaults() {
  frame::AppSettings.SampleRate =
      std::clamp(frame::AppSettings.SampleRate, MinSampleRate, MaxSampleRate);
  RunInfo.RunSampleRate = frame::AppSettings.SampleRate;

  StepSetup& entry = StepSetups[0];
  entry.FirstDuration = 1.0;
  entry.SecondDuration = 10.0;
  entry.CollectorMaxVoltage = 30.0;
  entry.CollectorMaxCurrent = 0.01;
  entry.CollectorResistorOhms = 27000.0;
  entry.CollectorCurrentRange = 0;
  entry.CollectorPulseLength = 0.0003;
  entry.BaseGateOutputMode = "I";
  entry.BaseGateClampMode = "ClampOnIdle";
  entry.BaseGateResistorOhms = 270000.0;
  entry.BaseGateRange = 0;
  entry.BaseGatePulseLength = 0.0003;
  entry.BaseGateOffsetVoltage = 0.0;
  entry.BaseGateActiveVoltage = 0.0;
  entry.BaseGateOffsetCurrent = 0.0;
  entry.BaseGateActiveCurrent = 0.0;

  RunControlRecord& run = RunControl;
  run.SweepCommand = "Stop";
  run.HighVoltageCommand = "Stop";
  run.CommsEnable = "On";
  run.ControlFlag13 = 1;  // marks the first block after the connect
  run.ControlFlag14 = 0;
  run.ControlFlag15 = 0;

  link::SendControlBlock(0);
}

}  // namespace zolt::tracer
