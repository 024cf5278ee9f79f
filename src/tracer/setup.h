// The test set-up: ladder positions, polarities and modes the user dials, the physical
// values and texts derived from them, and the per-step instrument set-up entries.
//
// Main thread only, except StepSetups, which the reader thread also reads (the active
// base/gate level of the current step) while the InstrumentMutex is held.
#pragma once

#include <cstdint>
#include <string>

namespace zolt::tracer {

// The instrument set-up of one step (sweep, curve).
struct StepSetup {
  double CollectorMaxVoltage = 0.0;   // V, signed
  double CollectorMaxCurrent = 0.0;   // A, signed
  double CollectorResistorOhms = 0.0;
  int32_t CollectorCurrentRange = 0;  // 0..3
  double CollectorPulseLength = 0.0;  // s; 0 = continuous
  std::string BaseGateOutputMode;     // "I" / "V"
  std::string BaseGateClampMode;      // "ClampOnIdle", "ClampOff", ...
  double BaseGateResistorOhms = 0.0;
  int32_t BaseGateRange = 0;          // 0..3
  double BaseGateOffsetCurrent = 0.0; // A
  double BaseGateActiveCurrent = 0.0; // A: this step's level in mode "I"
  double BaseGateOffsetVoltage = 0.0; // V
  double BaseGateActiveVoltage = 0.0; // V: this step's level in mode "V"
  double BaseGatePulseLength = 0.0;   // s
  double Spare1 = 0.0;
  double Spare2 = 0.0;
  double FirstDuration = 0.0;         // s
  double SecondDuration = 0.0;        // s
};

constexpr int StepSetupCount = 25;
inline StepSetup StepSetups[StepSetupCount];

// The test set-up scalars.
struct TestSetupRecord {
  int32_t MaxVoltageIndex = 2;    // 0..11
  int32_t MaxCurrentIndex = 4;    // 0..26
  int32_t ImpedanceIndex = 99;    // 0..3, or 99 = automatic
  int32_t VoltageStepIndex = 5;   // 0..10
  int32_t CurrentStepIndex = 5;   // 0..21
  int32_t OffsetIndex = 0;        // 0..20 (0..30 in range 5)
  int32_t OffsetRange = 3;        // 0..5
  int32_t NumberOfSteps = 6;      // 1..24
  std::string CollectorPolarity = "Positive";
  std::string StepPolarity = "Positive";
  std::string OffsetPolarity = "Positive";
  std::string SetupBaseGateOutputMode = "I";

  // Derived by RecalculateTestSetup.
  double SetupCollectorMaxVoltage = 0.0;
  double SetupCollectorMaxCurrent = 0.0;
  double SetupCollectorResistorOhms = 0.0;
  int32_t SetupCollectorCurrentRange = 0;
  double SetupStepVoltage = 0.0;
  double SetupStepCurrent = 0.0;
  double SetupOffsetVoltage = 0.0;
  double SetupOffsetCurrent = 0.0;
  int32_t SetupBaseGateRange = 0;
  double SetupBaseGateResistorOhms = 0.0;
  double SetupCollectorPulseLength = 0.0003;
  double SetupBaseGatePulseLength = 0.0;

  // Direct entry (the typed value replaces the ladder's while its flag is 1), written by
  // the direct-entry window. The units are those the step and offset were typed in:
  // "uA" or "mA", "mV" or "V".
  int32_t MaxVoltageEntered = 0;
  double EnteredMaxVoltage = 0.0;
  int32_t MaxCurrentEntered = 0;
  double EnteredMaxCurrent = 0.0;
  int32_t StepEntered = 0;
  double EnteredStepVoltage = 0.0;
  std::string EnteredStepVoltageUnit = "mV";
  double EnteredStepCurrent = 0.0;
  std::string EnteredStepCurrentUnit = "mA";
  int32_t OffsetEntered = 0;
  double EnteredOffsetCurrent = 0.0;
  std::string EnteredOffsetCurrentUnit = "mA";
  double EnteredOffsetVoltage = 0.0;
  std::string EnteredOffsetVoltageUnit = "mV";

  // Display texts.
  std::string MaxVoltageText, MaxCurrentText, ImpedanceText, StepVoltageText, StepCurrentText,
      OffsetRangeText, OffsetCurrentText, OffsetVoltageText, StepMaxText;

  // Device preset rows.
  int32_t DeviceRowMask = 0;
  int32_t FetRowShown = 0;
  int32_t FetRowMask = 0;
  int32_t MoreRowShown = 0;
  int32_t MoreRowMask = 0;

  bool operator==(const TestSetupRecord&) const = default;
};

inline TestSetupRecord TestSetup;

// Turns ladder positions, polarities and mode into values, ranges and texts.
void RecalculateTestSetup();
// Applies a device preset ("NPN", "PNP", ...; "reset" or empty clears the preset rows).
void SetDeviceType(const std::string& type);
// Fills set-up entry 0 with the connect defaults and sends the first control block.
// Called with the InstrumentMutex held.
void ResetSetupToDefaults();
void CycleCollectorPulseLength();
void CycleBaseGatePulseLength();

}  // namespace zolt::tracer
