// Whether the curve tracer's screen needs painting: a record of everything its drawing
// chain reads (whole records where they are small, so that a field added later is seen
// too), compared with the one taken when the last pass was due. Appended points show as
// changed counts, rewritten ones as a new DisplayedSweepsRevision.
//
// The record is taken before the pass it lets run, so a pass that itself changes what it
// reads (a drag moving a cursor, the lock step moving its partner) is followed by one more
// pass, which finds the screen settled.
#include <array>
#include <cstdint>
#include <string>

#include "frame/app.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

namespace {

struct ShownState {
  // Screen and frame.
  int32_t ScreenOpen = 0, ScreenWidth = 0, ScreenHeight = 0;
  double DpiX = 0, DpiY = 0;
  screen::ColourSchemeRecord Colours;
  frame::AppSettingsRecord Settings;
  frame::UiCaptions Captions;
  std::string LanguageApplied;
  int32_t LanguageColumn = 0;
  std::string MicroSign;
  // The run as the panels show it (the fields the run phases own; the reader's are not
  // read here).
  int32_t RunPhase = 0;
  std::string RunPhaseText, LastStopReason;
  int32_t LinkLost = 0;
  std::string ComStatusText;
  std::string VcReadout, VrReadout, IcReadout, VbReadout;
  // Set-up, configuration and the run on display.
  TestSetupRecord Setup;
  int32_t TestConfiguration = 0;
  GraphSettingsRecord Graph;
  std::string GraphTitle;
  int32_t SampleRunNumber = 0;
  int32_t DisplayedRunFile = 0;
  int32_t GraphType = 0;
  RunSetupSnapshot ShownSetup;
  uint64_t PointsRevision = 0;
  std::array<int32_t, MaxCurves> PointCounts{};
  // Cursors, with the pointer's drag.
  std::array<CursorRecord, 6> Cursors;
  int64_t Slope = 0;

  bool operator==(const ShownState&) const = default;
};

// Fills `s` with what the screen shows now; assigning into a record used before reuses
// its texts' storage.
void TakeCurrent(ShownState& s) {
  const screen::ScreenStateRecord& screenState = screen::ScreenState;
  s.ScreenOpen = screenState.ScreenOpen;
  s.ScreenWidth = screenState.ScreenWidth;
  s.ScreenHeight = screenState.ScreenHeight;
  s.DpiX = platform::DisplayDpiX();
  s.DpiY = platform::DisplayDpiY();
  s.Colours = screen::ColourScheme;
  s.Settings = frame::AppSettings;
  s.Captions = frame::Captions;
  s.LanguageApplied = frame::LanguageState.LanguageApplied;
  s.LanguageColumn = frame::LanguageState.LanguageColumn;
  s.MicroSign = frame::AppInfo.MicroSign;
  s.RunPhase = RunControl.RunPhase;
  s.RunPhaseText = RunControl.RunPhaseText;
  s.LastStopReason = RunControl.LastStopReason;
  s.LinkLost = RunControl.LinkLost;
  s.ComStatusText = RunControl.ComStatusText;
  s.VcReadout = LiveReadouts.VcReadoutText;
  s.VrReadout = LiveReadouts.VrReadoutText;
  s.IcReadout = LiveReadouts.IcReadoutText;
  s.VbReadout = LiveReadouts.VbReadoutText;
  s.Setup = TestSetup;
  s.TestConfiguration = TestConfiguration;
  s.Graph = GraphSettings;
  s.GraphTitle = GraphTitleText;
  s.SampleRunNumber = SampleRunNumber;
  s.DisplayedRunFile = DisplayedRunFile;
  s.GraphType = RunInfo.GraphType;
  s.ShownSetup = ShownStepSetups[0];
  s.PointsRevision = DisplayedSweepsRevision;
  for (int c = 0; c < MaxCurves; ++c) s.PointCounts[c] = DisplayedSweeps.TotalEntries[c];
  s.Cursors = {CursorXA, CursorXB, CursorYA, CursorYB, CursorXLock, CursorYLock};
  s.Slope = SlopeShown;
}

// Two records taken in turn: the one of the last pass due and the one taken now, which
// becomes the last when it differs.
ShownState taken[2];
int lastShown = 0;
bool anyShown = false;

}  // namespace

bool CurveTracerScreenChanged() {
  ShownState& now = taken[1 - lastShown];
  TakeCurrent(now);
  if (anyShown && now == taken[lastShown]) return false;
  lastShown = 1 - lastShown;
  anyShown = true;
  return true;
}

}  // namespace zolt::tracer
