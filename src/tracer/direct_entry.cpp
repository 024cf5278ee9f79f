// The direct-entry window: its controls, the values it shows, its events, and the values
// it takes when it closes.
//
// Sections: controls; showing; events; closing; the window.
#include "tracer/direct_entry.h"

#include <cmath>
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

// The four rows: the value field, its "Use Direct" box, the flag they stand for and the
// row's label.
struct EntryRow {
  int Field;
  int UseBox;
  int32_t TestSetupRecord::*Flag;
  const char* Label;
};

constexpr EntryRow MaxVoltageRow = {MaxVoltageField, MaxVoltageUse, &TestSetupRecord::MaxVoltageEntered,
                                    "Maximum Voltage"};
constexpr EntryRow MaxCurrentRow = {MaxCurrentField, MaxCurrentUse, &TestSetupRecord::MaxCurrentEntered,
                                    "Maximum Current"};
constexpr EntryRow StepRow = {StepField, StepUse, &TestSetupRecord::StepEntered, "Step Size"};
constexpr EntryRow OffsetRow = {OffsetField, OffsetUse, &TestSetupRecord::OffsetEntered, "Offset Level"};
constexpr EntryRow Rows[] = {MaxVoltageRow, MaxCurrentRow, StepRow, OffsetRow};

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

// The largest magnitude a typed value may have, in volts or amperes: far beyond anything
// the instrument takes, and small enough that the set-up's sums over all steps stay finite.
constexpr double LargestEntry = 1e300;

// Volts or amperes per unit of a typed step or offset.
double AmpsPerUnit(const std::string& unit) {
  if (unit == "uA") return 0.000001;
  if (unit == "mA") return 0.001;
  return 1.0;
}
double VoltsPerUnit(const std::string& unit) { return unit == "mV" ? 0.001 : 1.0; }

// The typed values, however the window closes. The current takes the sign of the voltage;
// the step and offset are read in their units. No range is checked here, the set-up
// recalculation limits what it must; but a text that reads as no usable number ("1e400"
// reads as infinity) is refused: its row keeps the value and switch it had when the window
// opened (`opened`), and the user is told which fields were not taken.
void TakeValues(const TestSetupRecord& opened) {
  TestSetupRecord& t = TestSetup;
  std::string refused;
  auto take = [&](const EntryRow& row, double TestSetupRecord::*value, double factor) {
    const std::string text = platform::GetGadgetText(row.Field);
    const double read = frame::ParseReal(text) * factor;
    if (std::isfinite(read) && std::fabs(read) <= LargestEntry) {
      t.*value = read;
      return;
    }
    t.*value = opened.*value;
    t.*row.Flag = opened.*row.Flag;
    refused += "\n" + frame::Translate(row.Label) + ": " + text;
  };
  take(MaxVoltageRow, &TestSetupRecord::EnteredMaxVoltage, 1.0);
  take(MaxCurrentRow, &TestSetupRecord::EnteredMaxCurrent, 1.0);
  if ((t.EnteredMaxVoltage > 0.0 && t.EnteredMaxCurrent < 0.0) ||
      (t.EnteredMaxVoltage < 0.0 && t.EnteredMaxCurrent > 0.0)) {
    t.EnteredMaxCurrent = -t.EnteredMaxCurrent;
  }
  if (t.SetupBaseGateOutputMode == "I") {
    take(StepRow, &TestSetupRecord::EnteredStepCurrent, AmpsPerUnit(t.EnteredStepCurrentUnit));
    take(OffsetRow, &TestSetupRecord::EnteredOffsetCurrent, AmpsPerUnit(t.EnteredOffsetCurrentUnit));
  } else if (t.SetupBaseGateOutputMode == "V") {
    take(StepRow, &TestSetupRecord::EnteredStepVoltage, VoltsPerUnit(t.EnteredStepVoltageUnit));
    take(OffsetRow, &TestSetupRecord::EnteredOffsetVoltage, VoltsPerUnit(t.EnteredOffsetVoltageUnit));
  }
  if (!refused.empty()) {
    frame::ReportMessage("Warning", frame::Translate("Direct Entry"),
                         frame::Translate("Not a number that can be used; the field keeps its previous value:") +
                             refused);
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
  const TestSetupRecord opened = TestSetup;
  frame::RunModalWindow(DirectEntryWindow, OnGadget, ShowSwitches);
  // A window another program took away has no fields left to read: the set-up stays.
  if (platform::IsWindow(DirectEntryWindow)) TakeValues(opened);
  frame::CloseModalWindow(DirectEntryWindow);
}

}  // namespace zolt::tracer
