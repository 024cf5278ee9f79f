// Control dispatch: one row per control, in the order the panels are painted, mapping
// the zone pressed in this pass to its action. Actions change set-up values, flags and
// one-shot requests, browse the stored runs or open the manual; nothing here talks to
// the instrument.
//
// Sections: zone ids; actions; the table; the dispatch.
#include "tracer/dispatch.h"

#include <string>

#include "frame/app.h"
#include "frame/bits.h"
#include "platform/gui.h"
#include "screen/hot_zones.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- zone ids ----

namespace {

using screen::ZoneHeaderHelp;
using screen::ZoneHeaderRest;
using screen::ZoneHeaderSettings;
using screen::ZoneHeaderTitle;
using screen::ZoneValueBand;
using screen::ZoneValueDecrease;
using screen::ZoneValueIncrease;
using screen::ZoneValueOptionLeft;
using screen::ZoneValueOptionRight;

// Panel headers.
constexpr int32_t CursorsPanel = 289;
constexpr int32_t GraphTitlePanel = 301;
constexpr int32_t TestGraphModePanel = 313;
constexpr int32_t ConnectStatusPanel = 325;
constexpr int32_t CollectorSupplyPanel = 337;
constexpr int32_t StepGeneratorPanel = 349;
constexpr int32_t DisplayedResultsPanel = 361;
constexpr int32_t SweepLiveValuesPanel = 373;
constexpr int32_t KeyMeasurementPanel = 385;
constexpr int32_t SweepSettingsPanel = 397;

// Value controls.
constexpr int32_t TestConfigurationControl = 409;
constexpr int32_t MaxVoltageControl = 421;
constexpr int32_t MaxCurrentControl = 433;
constexpr int32_t StepSizeControl = 445;
constexpr int32_t OffsetControl = 457;
constexpr int32_t NumberOfStepsControl = 469;
constexpr int32_t SampleRunControl = 481;

// Device preset rows.
constexpr int32_t DeviceRow = 493;
constexpr int32_t FetRow = 505;
constexpr int32_t MoreRow = 517;

// Plain buttons.
constexpr int32_t RunButton = 61;
constexpr int32_t HaltButton = 73;
constexpr int32_t ConnectButton = 265;
constexpr int32_t HighVoltageButton = 637;

// Cursor controls.
constexpr int32_t CursorXADown = 529, CursorXAUp = 541;
constexpr int32_t CursorXBDown = 553, CursorXBUp = 565;
constexpr int32_t CursorYAUp = 577, CursorYADown = 589;
constexpr int32_t CursorYBUp = 601, CursorYBDown = 613;
constexpr int32_t CursorXAShown = 650, CursorXBShown = 651, CursorXLocked = 652;
constexpr int32_t CursorXZero = 653, SlopeToggle = 654;
constexpr int32_t CursorYAShown = 758, CursorYBShown = 759, CursorYLocked = 760;
constexpr int32_t CursorYZero = 761;

// ---- actions ----

void Recalculate() { RecalculateTestSetup(); }

void OpenTopic(const char* topic) { platform::OpenHelp(frame::AppInfo.ManualPath, topic); }

// The settings, direct-entry and graph-title windows are not built yet: their rows are in
// the table and do nothing until the windows exist.
void SettingsWindowNotBuilt() {}
void DirectEntryWindowNotBuilt() {}
void GraphTitleWindowNotBuilt() {}

void TogglePolarity(std::string& polarity) {
  polarity = polarity == "Positive" ? "Negative" : "Positive";
}

// A polarity or the output mode changed by hand: no preset applies any more.
void AfterHandChange() {
  SetDeviceType("reset");
  RecalculateTestSetup();
}

void ChangeStepIndex(int32_t delta) {
  TestSetupRecord& t = TestSetup;
  if (t.SetupBaseGateOutputMode == "I") {
    t.CurrentStepIndex += delta;
  } else {
    t.VoltageStepIndex += delta;
  }
  t.StepEntered = 0;
  RecalculateTestSetup();
}

// Browsing the stored runs waits until no run is under way, so that a run's file never
// takes in points of a loaded one.
bool RunUnderWay() { return RunControl.RunPhase >= 3 && RunControl.RunPhase <= 9; }

void BrowseSampleRun(int32_t number) {
  if (RunUnderWay()) return;
  SampleRunNumber = number;
  LoadSampleRun();
}

void Preset(const char* type) {
  SetDeviceType(type);
  RecalculateTestSetup();
}

void ToggleFlag(int32_t& flag) { flag = frame::InvertFlag(flag); }

// ---- the table ----

struct DispatchRow {
  int32_t Id;
  void (*Action)();
};

constexpr DispatchRow DispatchTable[] = {
    // Cursors panel.
    {CursorsPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {CursorsPanel + ZoneHeaderHelp, [] { OpenTopic("Cursors.htm"); }},
    // Graph title panel: the title and the bar open the graph-title window.
    {GraphTitlePanel + ZoneHeaderTitle, GraphTitleWindowNotBuilt},
    {GraphTitlePanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {GraphTitlePanel + ZoneHeaderHelp, [] { OpenTopic("GraphTitle.htm"); }},
    {GraphTitlePanel + ZoneHeaderRest, GraphTitleWindowNotBuilt},
    // Test / graph mode panel.
    {TestGraphModePanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {TestGraphModePanel + ZoneHeaderHelp, [] { OpenTopic("TestGraphMode.htm"); }},
    // Connect status panel (its settings page is followed by a reload of the captions).
    {ConnectStatusPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {ConnectStatusPanel + ZoneHeaderHelp, [] { OpenTopic("ConnectStatus.htm"); }},
    // Collector supply panel.
    {CollectorSupplyPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {CollectorSupplyPanel + ZoneHeaderHelp, [] { OpenTopic("CollectorSupply.htm"); }},
    // Step generator panel.
    {StepGeneratorPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {StepGeneratorPanel + ZoneHeaderHelp, [] { OpenTopic("StepGenerator.htm"); }},
    // Displayed results panel.
    {DisplayedResultsPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {DisplayedResultsPanel + ZoneHeaderHelp, [] { OpenTopic("DisplayedResults.htm"); }},
    // Sweep / live values panel.
    {SweepLiveValuesPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {SweepLiveValuesPanel + ZoneHeaderHelp, [] { OpenTopic("SweepLiveValues.htm"); }},
    // Key measurement panel.
    {KeyMeasurementPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {KeyMeasurementPanel + ZoneHeaderHelp, [] { OpenTopic("KeyMeasurement.htm"); }},
    // Sweep settings panel.
    {SweepSettingsPanel + ZoneHeaderSettings, SettingsWindowNotBuilt},
    {SweepSettingsPanel + ZoneHeaderHelp, [] { OpenTopic("SweepSettings.htm"); }},

    // Run, halt, connect and high voltage only raise requests for the run phases.
    {RunButton, [] { RunControl.RunRequest = 1; }},
    {HaltButton, [] { RunControl.HaltRequest = 1; }},
    {ConnectButton, [] { RunControl.ConnectRequest = 1; }},
    {HighVoltageButton, [] { RunControl.HighVoltageRequest = 1; }},

    // Test configuration: the number only; the handler applies (and clamps) it.
    {TestConfigurationControl + ZoneValueDecrease, [] { --TestConfiguration; }},
    {TestConfigurationControl + ZoneValueIncrease, [] { ++TestConfiguration; }},

    // Maximum voltage, collector polarity and series impedance.
    {MaxVoltageControl + ZoneValueDecrease,
     [] { --TestSetup.MaxVoltageIndex; TestSetup.MaxVoltageEntered = 0; Recalculate(); }},
    {MaxVoltageControl + ZoneValueIncrease,
     [] { ++TestSetup.MaxVoltageIndex; TestSetup.MaxVoltageEntered = 0; Recalculate(); }},
    {MaxVoltageControl + ZoneValueBand, [] { DirectEntryWindowNotBuilt(); Recalculate(); }},
    {MaxVoltageControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.CollectorPolarity); AfterHandChange(); }},
    {MaxVoltageControl + ZoneValueOptionRight, [] { ++TestSetup.ImpedanceIndex; Recalculate(); }},

    // Maximum current and the collector pulse.
    {MaxCurrentControl + ZoneValueDecrease,
     [] { --TestSetup.MaxCurrentIndex; TestSetup.MaxCurrentEntered = 0; Recalculate(); }},
    {MaxCurrentControl + ZoneValueIncrease,
     [] { ++TestSetup.MaxCurrentIndex; TestSetup.MaxCurrentEntered = 0; Recalculate(); }},
    {MaxCurrentControl + ZoneValueBand, [] { DirectEntryWindowNotBuilt(); Recalculate(); }},
    {MaxCurrentControl + ZoneValueOptionRight, CycleCollectorPulseLength},

    // Step size (of the current or voltage ladder, by output mode), step polarity, mode.
    {StepSizeControl + ZoneValueDecrease, [] { ChangeStepIndex(-1); }},
    {StepSizeControl + ZoneValueIncrease, [] { ChangeStepIndex(+1); }},
    {StepSizeControl + ZoneValueBand, [] { DirectEntryWindowNotBuilt(); Recalculate(); }},
    {StepSizeControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.StepPolarity); AfterHandChange(); }},
    {StepSizeControl + ZoneValueOptionRight,
     [] {
       std::string& mode = TestSetup.SetupBaseGateOutputMode;
       mode = mode == "I" ? "V" : "I";
       AfterHandChange();
     }},

    // Offset level, offset polarity and offset range.
    {OffsetControl + ZoneValueDecrease,
     [] { --TestSetup.OffsetIndex; TestSetup.OffsetEntered = 0; Recalculate(); }},
    {OffsetControl + ZoneValueIncrease,
     [] { ++TestSetup.OffsetIndex; TestSetup.OffsetEntered = 0; Recalculate(); }},
    {OffsetControl + ZoneValueBand, [] { DirectEntryWindowNotBuilt(); Recalculate(); }},
    {OffsetControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.OffsetPolarity); AfterHandChange(); }},
    {OffsetControl + ZoneValueOptionRight, [] { ++TestSetup.OffsetRange; Recalculate(); }},

    // Number of steps and the base/gate pulse.
    {NumberOfStepsControl + ZoneValueDecrease, [] { --TestSetup.NumberOfSteps; Recalculate(); }},
    {NumberOfStepsControl + ZoneValueIncrease, [] { ++TestSetup.NumberOfSteps; Recalculate(); }},
    {NumberOfStepsControl + ZoneValueOptionRight, CycleBaseGatePulseLength},

    // Sample runs: previous, next, first, last.
    {SampleRunControl + ZoneValueDecrease, [] { BrowseSampleRun(SampleRunNumber - 1); }},
    {SampleRunControl + ZoneValueIncrease, [] { BrowseSampleRun(SampleRunNumber + 1); }},
    {SampleRunControl + ZoneValueOptionLeft, [] { BrowseSampleRun(1); }},
    {SampleRunControl + ZoneValueOptionRight, [] { BrowseSampleRun(SampleRunCount); }},

    // Device presets.
    {DeviceRow + 1, [] { Preset("NPN"); }},
    {DeviceRow + 2, [] { Preset("PNP"); }},
    {DeviceRow + 3, [] { Preset("NFET"); }},
    {DeviceRow + 4, [] { Preset("PFET"); }},
    {DeviceRow + 5, [] { Preset("DIODE"); }},
    {DeviceRow + 6, [] { Preset("MORE"); }},
    {FetRow + 1, [] { Preset("N-DEPL"); }},
    {FetRow + 2, [] { Preset("P-DEPL"); }},
    {FetRow + 3, [] { Preset("N-ENH"); }},
    {FetRow + 4, [] { Preset("P-ENH"); }},
    {FetRow + 5, [] { Preset("N-JFET"); }},
    {FetRow + 6, [] { Preset("P-JFET"); }},
    {MoreRow + 1, [] { Preset("SCR"); }},
    {MoreRow + 2, [] { Preset("OPTO"); }},
    {MoreRow + 3, [] { Preset("REG"); }},
    {MoreRow + 4, [] { Preset("-"); }},
    {MoreRow + 5, [] { Preset("-"); }},
    {MoreRow + 6, [] { Preset("-"); }},

    // Cursor nudges: X moves left/right; the lower id of each Y pair raises the cursor.
    {CursorXADown, [] { CursorXA.Value -= XAxis.CursorStep; }},
    {CursorXAUp, [] { CursorXA.Value += XAxis.CursorStep; }},
    {CursorXBDown, [] { CursorXB.Value -= XAxis.CursorStep; }},
    {CursorXBUp, [] { CursorXB.Value += XAxis.CursorStep; }},
    {CursorYAUp, [] { CursorYA.Value += YAxis.CursorStep; }},
    {CursorYADown, [] { CursorYA.Value -= YAxis.CursorStep; }},
    {CursorYBUp, [] { CursorYB.Value += YAxis.CursorStep; }},
    {CursorYBDown, [] { CursorYB.Value -= YAxis.CursorStep; }},

    // Cursor switches, locks and zeroing.
    {CursorXAShown, [] { ToggleFlag(CursorXA.Shown); }},
    {CursorXBShown, [] { ToggleFlag(CursorXB.Shown); }},
    {CursorXLocked, [] { ToggleFlag(CursorXLock.Locked); }},
    {CursorXZero, [] { CursorXA.Value = CursorXB.Value = 0.0; CursorXLock.Locked = 0; }},
    {SlopeToggle, [] { SlopeShown = frame::InvertFlag(SlopeShown != 0 ? 1 : 0); }},
    {CursorYAShown, [] { ToggleFlag(CursorYA.Shown); }},
    {CursorYBShown, [] { ToggleFlag(CursorYB.Shown); }},
    {CursorYLocked, [] { ToggleFlag(CursorYLock.Locked); }},
    {CursorYZero, [] { CursorYA.Value = CursorYB.Value = 0.0; CursorYLock.Locked = 0; }},
};

}  // namespace

// ---- the dispatch ----

void ControlDispatch() {
  const int32_t id = screen::ClickedZone;
  if (id != 0) {
    for (const DispatchRow& row : DispatchTable) {
      if (row.Id == id) {
        row.Action();
        break;
      }
    }
  }
  // One press acts once.
  screen::ClickedZone = 0;
}

}  // namespace zolt::tracer
