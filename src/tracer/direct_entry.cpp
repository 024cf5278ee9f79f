// The direct-entry window: its controls, the values it shows, its events, and the values
// it takes when it closes.
//
// Sections: controls; showing; events; closing; the window.
#include "tracer/direct_entry.h"

#include <string>

#include "frame/app.h"
#include "frame/bits.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "screen/colours.h"
#include "frame/modal_window.h"
#include "tracer/setup.h"

namespace zolt::tracer {

// ---- controls ----

namespace {

constexpr int WindowWidth = 720, WindowHeight = 320;

constexpr int MaxVoltageField = 306, MaxVoltageUse = 307;
constexpr int MaxCurrentField = 308, MaxCurrentUse = 309;
constexpr int StepField = 310, StepUse = 311;
constexpr int StepMicroAmps = 312, StepMilliAmps = 313, StepMilliVolts = 314, StepVolts = 315;
constexpr int OffsetField = 316, OffsetUse = 317;
constexpr int OffsetMicroAmps = 318, OffsetMilliAmps = 319, OffsetMilliVolts = 320, OffsetVolts = 321;
// The headings and labels.
constexpr int FirstStaticText = 322;

enum class Kind { Heading, Label, Field, CheckBox };

struct Control {
  Kind What;
  int Number;  // 0 for the headings and labels (numbered from FirstStaticText)
  int X, Y, Width, Height;
  const char* Text;
  bool Translated;
};

// In the order they are made.
constexpr Control Controls[] = {
    {Kind::Heading, 0, 24, 27, 360, 20, "Direct Entry for COLLECTOR SUPPLY", true},
    {Kind::Label, 0, 24, 51, 144, 20, "Maximum Voltage", true},
    {Kind::Field, MaxVoltageField, 168, 48, 120, 20, "--", false},
    {Kind::CheckBox, MaxVoltageUse, 312, 48, 96, 20, "Use Direct", true},
    {Kind::Label, 0, 24, 75, 144, 20, "Maximum Current", true},
    {Kind::Field, MaxCurrentField, 168, 72, 120, 20, "--", false},
    {Kind::CheckBox, MaxCurrentUse, 312, 72, 96, 20, "Use Direct", true},
    {Kind::Heading, 0, 24, 123, 336, 20, "Direct Entry for STEP GENERATOR", true},
    {Kind::Label, 0, 24, 147, 120, 20, "Step Size", true},
    {Kind::Field, StepField, 168, 144, 120, 20, "--", false},
    {Kind::CheckBox, StepMicroAmps, 312, 144, 48, 20, "uA", false},
    {Kind::CheckBox, StepMilliVolts, 312, 144, 48, 20, "mV", false},
    {Kind::CheckBox, StepMilliAmps, 360, 144, 48, 20, "mA", false},
    {Kind::CheckBox, StepVolts, 360, 144, 48, 20, "V", false},
    {Kind::CheckBox, StepUse, 432, 144, 120, 20, "Use Direct", true},
    {Kind::Label, 0, 24, 171, 120, 20, "Offset Level", true},
    {Kind::Field, OffsetField, 168, 168, 120, 20, "--", false},
    {Kind::CheckBox, OffsetMicroAmps, 312, 168, 48, 20, "uA", false},
    {Kind::CheckBox, OffsetMilliVolts, 312, 168, 48, 20, "mV", false},
    {Kind::CheckBox, OffsetMilliAmps, 360, 168, 48, 20, "mA", false},
    {Kind::CheckBox, OffsetVolts, 360, 168, 48, 20, "V", false},
    {Kind::CheckBox, OffsetUse, 432, 168, 120, 20, "Use Direct", true},
};

void MakeControls() {
  int staticText = FirstStaticText;
  for (const Control& c : Controls) {
    const std::string text = c.Translated ? frame::Translate(c.Text) : std::string(c.Text);
    switch (c.What) {
      case Kind::Heading:
        platform::TextGadget(staticText, DirectEntryWindow, c.X, c.Y, c.Width, c.Height, text,
                             platform::GadgetCentred);
        platform::SetGadgetBackColour(staticText++, screen::ColourScheme.SettingsHeadingColour);
        break;
      case Kind::Label:
        platform::TextGadget(staticText++, DirectEntryWindow, c.X, c.Y, c.Width, c.Height,
                             text + " --->");
        break;
      case Kind::Field:
        platform::StringGadget(c.Number, DirectEntryWindow, c.X, c.Y, c.Width, c.Height, text);
        break;
      case Kind::CheckBox:
        platform::CheckBoxGadget(c.Number, DirectEntryWindow, c.X, c.Y, c.Width, c.Height, text);
        break;
    }
  }
}

// The four rows: the value field, its "Use Direct" box and the flag they stand for.
struct EntryRow {
  int Field;
  int UseBox;
  int32_t TestSetupRecord::*Flag;
};

constexpr EntryRow Rows[] = {
    {MaxVoltageField, MaxVoltageUse, &TestSetupRecord::MaxVoltageEntered},
    {MaxCurrentField, MaxCurrentUse, &TestSetupRecord::MaxCurrentEntered},
    {StepField, StepUse, &TestSetupRecord::StepEntered},
    {OffsetField, OffsetUse, &TestSetupRecord::OffsetEntered},
};

// The unit boxes: each pair of boxes on a row, the unit each box sets, and the unit text
// it sets.
struct UnitPair {
  int SmallBox, LargeBox;
  const char* SmallUnit;
  const char* LargeUnit;
  std::string TestSetupRecord::*Unit;
  bool CurrentMode;  // shown in output mode "I" (else in mode "V")
};

const UnitPair UnitPairs[] = {
    {StepMicroAmps, StepMilliAmps, "uA", "mA", &TestSetupRecord::EnteredStepCurrentUnit, true},
    {StepMilliVolts, StepVolts, "mV", "V", &TestSetupRecord::EnteredStepVoltageUnit, false},
    {OffsetMicroAmps, OffsetMilliAmps, "uA", "mA", &TestSetupRecord::EnteredOffsetCurrentUnit, true},
    {OffsetMilliVolts, OffsetVolts, "mV", "V", &TestSetupRecord::EnteredOffsetVoltageUnit, false},
};

// ---- showing ----

// The factor that shows a value in a unit: "n", "u", "m" or no prefix before `base`.
// 0 for any other unit.
double ShownScale(const std::string& unit, char base) {
  const std::string b(1, base);
  if (unit == "n" + b) return 1e9;
  if (unit == "u" + b) return 1e6;
  if (unit == "m" + b) return 1000.0;
  if (unit == b) return 1.0;
  return 0.0;
}

void ShowValue(int field, double value, const std::string& unit, char base) {
  const double scale = ShownScale(unit, base);
  if (scale != 0.0) platform::SetGadgetText(field, frame::RealToText(value * scale));
}

void ShowValues() {
  const TestSetupRecord& t = TestSetup;
  const std::string& mode = t.SetupBaseGateOutputMode;
  // One unit pair per row for the output mode; both when the mode is neither.
  for (const UnitPair& pair : UnitPairs) {
    const bool hidden = (mode == "I" && !pair.CurrentMode) || (mode == "V" && pair.CurrentMode);
    platform::HideGadget(pair.SmallBox, hidden);
    platform::HideGadget(pair.LargeBox, hidden);
  }
  platform::SetGadgetText(MaxVoltageField, frame::RealToText(t.EnteredMaxVoltage));
  platform::SetGadgetText(MaxCurrentField, frame::RealToText(t.EnteredMaxCurrent));
  if (mode == "I") {
    ShowValue(StepField, t.EnteredStepCurrent, t.EnteredStepCurrentUnit, 'A');
    ShowValue(OffsetField, t.EnteredOffsetCurrent, t.EnteredOffsetCurrentUnit, 'A');
  } else if (mode == "V") {
    ShowValue(StepField, t.EnteredStepVoltage, t.EnteredStepVoltageUnit, 'V');
    ShowValue(OffsetField, t.EnteredOffsetVoltage, t.EnteredOffsetVoltageUnit, 'V');
  }
}

// The boxes follow the flags and units: the "Use Direct" boxes their flags, each unit pair
// its unit (a unit that is neither box's leaves the pair as it is).
void ShowSwitches() {
  const TestSetupRecord& t = TestSetup;
  for (const EntryRow& row : Rows) platform::SetGadgetState(row.UseBox, t.*row.Flag);
  for (const UnitPair& pair : UnitPairs) {
    const std::string& unit = t.*pair.Unit;
    if (unit != pair.SmallUnit && unit != pair.LargeUnit) continue;
    platform::SetGadgetState(pair.SmallBox, unit == pair.SmallUnit ? 1 : 0);
    platform::SetGadgetState(pair.LargeBox, unit == pair.LargeUnit ? 1 : 0);
  }
}

// ---- events ----

// Typing into a field switches its value on, a "Use Direct" box toggles it, a unit box
// chooses its unit. Only a change of a field's text counts as typing: the field taking
// the keyboard focus as the window opens does not.
bool OnGadget(const platform::WindowEvent& event) {
  TestSetupRecord& t = TestSetup;
  for (const EntryRow& row : Rows) {
    if (event.Gadget == row.Field && event.Kind == platform::GadgetEventKind::Change) t.*row.Flag = 1;
    if (event.Gadget == row.UseBox) t.*row.Flag = frame::InvertFlag(t.*row.Flag);
  }
  for (const UnitPair& pair : UnitPairs) {
    if (event.Gadget == pair.SmallBox) t.*pair.Unit = pair.SmallUnit;
    if (event.Gadget == pair.LargeBox) t.*pair.Unit = pair.LargeUnit;
  }
  return false;  // the window has no button that closes it
}

// ---- closing ----

double FieldValue(int field) { return frame::ParseReal(platform::GetGadgetText(field)); }

// The typed values, however the window closes. The current takes the sign of the voltage;
// the step and offset are read in their units. No range is checked here: the set-up
// recalculation limits what it must.
void TakeValues() {
  TestSetupRecord& t = TestSetup;
  t.EnteredMaxVoltage = FieldValue(MaxVoltageField);
  t.EnteredMaxCurrent = FieldValue(MaxCurrentField);
  if ((t.EnteredMaxVoltage > 0.0 && t.EnteredMaxCurrent < 0.0) ||
      (t.EnteredMaxVoltage < 0.0 && t.EnteredMaxCurrent > 0.0)) {
    t.EnteredMaxCurrent = -t.EnteredMaxCurrent;
  }
  auto amps = [](int field, const std::string& unit) {
    const double value = FieldValue(field);
    if (unit == "uA") return value * 0.000001;
    if (unit == "mA") return value * 0.001;
    return value;
  };
  auto volts = [](int field, const std::string& unit) {
    const double value = FieldValue(field);
    return unit == "mV" ? value * 0.001 : value;
  };
  if (t.SetupBaseGateOutputMode == "I") {
    t.EnteredStepCurrent = amps(StepField, t.EnteredStepCurrentUnit);
    t.EnteredOffsetCurrent = amps(OffsetField, t.EnteredOffsetCurrentUnit);
  } else if (t.SetupBaseGateOutputMode == "V") {
    t.EnteredStepVoltage = volts(StepField, t.EnteredStepVoltageUnit);
    t.EnteredOffsetVoltage = volts(OffsetField, t.EnteredOffsetVoltageUnit);
  }
}

}  // namespace

// ---- the window ----

void OpenDirectEntryWindow() {
  if (!platform::OpenWindow(DirectEntryWindow, 0, 0, WindowWidth, WindowHeight,
                            frame::Translate("Direct Entry"),
                            platform::WindowTitleBar | platform::WindowSystemMenu |
                                platform::WindowCentred,
                            frame::MainWindow)) {
    frame::ReportMessage("Error", "", "KVR820_DirectEntry_Window won't start");
    return;
  }
  frame::LoadLanguageTable(frame::LanguagesFile);
  MakeControls();
  ShowValues();
  frame::RunModalWindow(DirectEntryWindow, OnGadget, ShowSwitches);
  TakeValues();
  frame::CloseModalWindow(DirectEntryWindow);
}

}  // namespace zolt::tracer
