// Control dispatch: one row per control, in the order the panels are painted, mapping
// the zone pressed in this pass to its action. Actions change set-up values, flags and
// one-shot requests, browse the stored runs, open the manual or a modal window (which
// returns when it has closed); nothing here talks to the instrument.
//
// Sections: zone ids; actions; the table; the dispatch.
#include "tracer/dispatch.h"

#include <string>

#include "frame/app.h"
#include "frame/bits.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "screen/hot_zones.h"
#include "settingswindow/settings_window.h"
#include "tracer/cursors.h"
#include "tracer/direct_entry.h"
#include "tracer/graph.h"
#include "tracer/graph_title.h"
#include "tracer/run_file.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"
#include "tracer/zones.h"

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

// Segments of the cursor panel's toggle bars.
constexpr int32_t CursorXAShown = ZoneXCursorBar + 1, CursorXBShown = ZoneXCursorBar + 2;
constexpr int32_t CursorXLocked = ZoneXCursorBar + 3, CursorXZero = ZoneXCursorBar + 4;
constexpr int32_t SlopeToggle = ZoneXCursorBar + 5;
constexpr int32_t CursorYAShown = ZoneYCursorBar + 1, CursorYBShown = ZoneYCursorBar + 2;
constexpr int32_t CursorYLocked = ZoneYCursorBar + 3, CursorYZero = ZoneYCursorBar + 4;

// ---- actions ----

void Recalculate() { RecalculateTestSetup(); }

void OpenTopic(const char* topic) { platform::OpenHelp(frame::AppInfo.ManualPath, topic); }

// A modal window has closed: the screen is painted whole again, and the press that opened
// the window counts as released (its release went to the window's own loop).
void AfterModalWindow() {
  frame::FrameLoopState.RedrawAll = 1;
  screen::PointerState.LeftMouseDown = 0;
}

// The settings window opens on the tab of the panel whose mark was pressed; its port scan
// may take the instrument's port, which the curve tracer then gives up as a disconnect.
void OpenSettings() {
  settingswindow::ReleaseInstrumentLink = ReleaseInstrumentLink;
  settingswindow::OpenSettingsWindow(screen::ClickedZone);
  AfterModalWindow();
}

void EnterDirectly() {
  OpenDirectEntryWindow();
  AfterModalWindow();
  RecalculateTestSetup();
}

void EditGraphTitle() {
  OpenGraphTitleWindow();
  AfterModalWindow();
}

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
    {ZoneCursorsPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneCursorsPanel + ZoneHeaderHelp, [] { OpenTopic("Cursors.htm"); }},
    // Graph title panel: the title and the bar open the graph-title window.
    {ZoneGraphTitlePanel + ZoneHeaderTitle, EditGraphTitle},
    {ZoneGraphTitlePanel + ZoneHeaderSettings, OpenSettings},
    {ZoneGraphTitlePanel + ZoneHeaderHelp, [] { OpenTopic("GraphTitle.htm"); }},
    {ZoneGraphTitlePanel + ZoneHeaderRest, EditGraphTitle},
    // Test / graph mode panel.
    {ZoneTestGraphModePanel + ZoneHeaderSettings, OpenSettings},
    {ZoneTestGraphModePanel + ZoneHeaderHelp, [] { OpenTopic("TestGraphMode.htm"); }},
    // Connect status panel (its settings page is followed by a reload of the captions).
    {ZoneConnectStatusPanel + ZoneHeaderSettings, [] { OpenSettings(); frame::LoadUiTexts(); }},
    {ZoneConnectStatusPanel + ZoneHeaderHelp, [] { OpenTopic("ConnectStatus.htm"); }},
    // Collector supply panel.
    {ZoneCollectorSupplyPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneCollectorSupplyPanel + ZoneHeaderHelp, [] { OpenTopic("CollectorSupply.htm"); }},
    // Step generator panel.
    {ZoneStepGeneratorPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneStepGeneratorPanel + ZoneHeaderHelp, [] { OpenTopic("StepGenerator.htm"); }},
    // Displayed results panel.
    {ZoneDisplayedResultsPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneDisplayedResultsPanel + ZoneHeaderHelp, [] { OpenTopic("DisplayedResults.htm"); }},
    // Sweep / live values panel.
    {ZoneSweepLiveValuesPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneSweepLiveValuesPanel + ZoneHeaderHelp, [] { OpenTopic("SweepLiveValues.htm"); }},
    // Key measurement panel.
    {ZoneKeyMeasurementPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneKeyMeasurementPanel + ZoneHeaderHelp, [] { OpenTopic("KeyMeasurement.htm"); }},
    // Sweep settings panel.
    {ZoneSweepSettingsPanel + ZoneHeaderSettings, OpenSettings},
    {ZoneSweepSettingsPanel + ZoneHeaderHelp, [] { OpenTopic("SweepSettings.htm"); }},

    // Run, halt, connect and high voltage only raise requests for the run phases.
    {ZoneRunButton, [] { RunControl.RunRequest = 1; }},
    {ZoneHaltButton, [] { RunControl.HaltRequest = 1; }},
    {ZoneConnectButton, [] { RunControl.ConnectRequest = 1; }},
    {ZoneHighVoltageButton, [] { RunControl.HighVoltageRequest = 1; }},

    // Test configuration: the number only; the handler applies (and clamps) it.
    {ZoneTestConfigControl + ZoneValueDecrease, [] { --TestConfiguration; }},
    {ZoneTestConfigControl + ZoneValueIncrease, [] { ++TestConfiguration; }},

    // Maximum voltage, collector polarity and series impedance.
    {ZoneMaxVoltageControl + ZoneValueDecrease,
     [] { --TestSetup.MaxVoltageIndex; TestSetup.MaxVoltageEntered = 0; Recalculate(); }},
    {ZoneMaxVoltageControl + ZoneValueIncrease,
     [] { ++TestSetup.MaxVoltageIndex; TestSetup.MaxVoltageEntered = 0; Recalculate(); }},
    {ZoneMaxVoltageControl + ZoneValueBand, EnterDirectly},
    {ZoneMaxVoltageControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.CollectorPolarity); AfterHandChange(); }},
    {ZoneMaxVoltageControl + ZoneValueOptionRight, [] { ++TestSetup.ImpedanceIndex; Recalculate(); }},

    // Maximum current and the collector pulse.
    {ZoneMaxCurrentControl + ZoneValueDecrease,
     [] { --TestSetup.MaxCurrentIndex; TestSetup.MaxCurrentEntered = 0; Recalculate(); }},
    {ZoneMaxCurrentControl + ZoneValueIncrease,
     [] { ++TestSetup.MaxCurrentIndex; TestSetup.MaxCurrentEntered = 0; Recalculate(); }},
    {ZoneMaxCurrentControl + ZoneValueBand, EnterDirectly},
    {ZoneMaxCurrentControl + ZoneValueOptionRight, CycleCollectorPulseLength},

    // Step size (of the current or voltage ladder, by output mode), step polarity, mode.
    {ZoneStepSizeControl + ZoneValueDecrease, [] { ChangeStepIndex(-1); }},
    {ZoneStepSizeControl + ZoneValueIncrease, [] { ChangeStepIndex(+1); }},
    {ZoneStepSizeControl + ZoneValueBand, EnterDirectly},
    {ZoneStepSizeControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.StepPolarity); AfterHandChange(); }},
    {ZoneStepSizeControl + ZoneValueOptionRight,
     [] {
       std::string& mode = TestSetup.SetupBaseGateOutputMode;
       mode = mode == "I" ? "V" : "I";
       AfterHandChange();
     }},

    // Offset level, offset polarity and offset range.
    {ZoneOffsetControl + ZoneValueDecrease,
     [] { --TestSetup.OffsetIndex; TestSetup.OffsetEntered = 0; Recalculate(); }},
    {ZoneOffsetControl + ZoneValueIncrease,
     [] { ++TestSetup.OffsetIndex; TestSetup.OffsetEntered = 0; Recalculate(); }},
    {ZoneOffsetControl + ZoneValueBand, EnterDirectly},
    {ZoneOffsetControl + ZoneValueOptionLeft,
     [] { TogglePolarity(TestSetup.OffsetPolarity); AfterHandChange(); }},
    {ZoneOffsetControl + ZoneValueOptionRight, [] { ++TestSetup.OffsetRange; Recalculate(); }},

    // Number of steps and the base/gate pulse.
    {ZoneNumberOfStepsControl + ZoneValueDecrease, [] { --TestSetup.NumberOfSteps; Recalculate(); }},
    {ZoneNumberOfStepsControl + ZoneValueIncrease, [] { ++TestSetup.NumberOfSteps; Recalculate(); }},
    {ZoneNumberOfStepsControl + ZoneValueOptionRight, CycleBaseGatePulseLength},

    // Sample runs: previous, next, first, last.
    {ZoneSampleRunControl + ZoneValueDecrease, [] { BrowseSampleRun(SampleRunNumber - 1); }},
    {ZoneSampleRunControl + ZoneValueIncrease, [] { BrowseSampleRun(SampleRunNumber + 1); }},
    {ZoneSampleRunControl + ZoneValueOptionLeft, [] { BrowseSampleRun(1); }},
    {ZoneSampleRunControl + ZoneValueOptionRight, [] { BrowseSampleRun(SampleRunCount); }},

    // Device presets.
    {ZoneDeviceRow + 1, [] { Preset("NPN"); }},
    {ZoneDeviceRow + 2, [] { Preset("PNP"); }},
    {ZoneDeviceRow + 3, [] { Preset("NFET"); }},
    {ZoneDeviceRow + 4, [] { Preset("PFET"); }},
    {ZoneDeviceRow + 5, [] { Preset("DIODE"); }},
    {ZoneDeviceRow + 6, [] { Preset("MORE"); }},
    {ZoneFetRow + 1, [] { Preset("N-DEPL"); }},
    {ZoneFetRow + 2, [] { Preset("P-DEPL"); }},
    {ZoneFetRow + 3, [] { Preset("N-ENH"); }},
    {ZoneFetRow + 4, [] { Preset("P-ENH"); }},
    {ZoneFetRow + 5, [] { Preset("N-JFET"); }},
    {ZoneFetRow + 6, [] { Preset("P-JFET"); }},
    {ZoneMoreRow + 1, [] { Preset("SCR"); }},
    {ZoneMoreRow + 2, [] { Preset("OPTO"); }},
    {ZoneMoreRow + 3, [] { Preset("REG"); }},
    {ZoneMoreRow + 4, [] { Preset("-"); }},
    {ZoneMoreRow + 5, [] { Preset("-"); }},
    {ZoneMoreRow + 6, [] { Preset("-"); }},

    // Cursor nudges: X moves left/right; the lower id of each Y pair raises the cursor.
    {ZoneCursorXADown, [] { CursorXA.Value -= XAxis.CursorStep; }},
    {ZoneCursorXAUp, [] { CursorXA.Value += XAxis.CursorStep; }},
    {ZoneCursorXBDown, [] { CursorXB.Value -= XAxis.CursorStep; }},
    {ZoneCursorXBUp, [] { CursorXB.Value += XAxis.CursorStep; }},
    {ZoneCursorYAUp, [] { CursorYA.Value += YAxis.CursorStep; }},
    {ZoneCursorYADown, [] { CursorYA.Value -= YAxis.CursorStep; }},
    {ZoneCursorYBUp, [] { CursorYB.Value += YAxis.CursorStep; }},
    {ZoneCursorYBDown, [] { CursorYB.Value -= YAxis.CursorStep; }},

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
