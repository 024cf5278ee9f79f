#include "screen_fixture.h"

#include <cmath>

#include "frame/fonts.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer::testing {

void PrepareScreen(int32_t width, int32_t height) {
  platform::SetDisplayDpi(96, 96);
  frame::LoadProgramFonts();
  frame::ClearLanguageTable();
  frame::LanguageState = {};
  frame::LoadUiTexts();
  frame::AppSettings.AlternateDisplayColours = "No";
  screen::SetColourScheme();
  screen::ScreenState.ScreenOpen = 1;
  screen::ScreenState.ScreenWidth = width;
  screen::ScreenState.ScreenHeight = height;
  screen::CreateCanvasImage();
  screen::ClearHotZones();
  screen::PlotRect = {};

  for (int i = 0; i < MaxCurves; ++i) DisplayedSweeps.TotalEntries[i] = 0;
  for (auto& v : GraphPlotData.ValidPoints) v = 0;
  GraphPlotData.LastPlottedCurve = 0;
  for (auto& v : GraphPlotData.LabelValue) v = 0;
  XAxis = {};
  YAxis = {};
  PlotLeft = PlotTop = PlotWidth = PlotHeight = 0;
  SlopeShown = 0;
  for (CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) {
    *c = {};
    c->Shown = 1;
  }
  CursorXLock = {};
  CursorYLock = {};
  RunControl.RunPhase = 0;
  RunControl.RunPhaseText = "Disconnected";
  RunControl.LastStopReason.clear();
  TestSetup = {};
  TestSetup.SetupBaseGateOutputMode = "I";
  for (auto& s : ShownStepSetups) s = {};
  RunInfo = {};
  SampleRunNumber = 7;
  DisplayedRunFile = 7;
  GraphTitleText.clear();
  TestConfiguration = 100;
  UseCollectorConfiguration();
}

void UseCollectorConfiguration() {
  GraphSettings = {"NPN / PNP", "IC vs VCE", "X axis: VCE", "Y axis: IC",
                   "vc", "V", "V", "CE", "Collector-Emitter Voltage",
                   "ic", "A", "I", "C", "Collector Current",
                   "tib", "A", "I", "B", "Base Current"};
}

void FillTransistorCurves(int curves, int points, double maxVolts) {
  for (int c = 0; c < MaxCurves; ++c) DisplayedSweeps.TotalEntries[c] = c < curves ? points - 1 : 0;
  for (int c = 0; c < curves; ++c) {
    const double ib = (c + 1) * 10e-6;
    for (int j = 0; j < points; ++j) {
      SweepPoint& p = DisplayedSweeps.Point[c][j];
      p = {};
      p.VC_V = maxVolts * j / (points - 1);
      p.IC_A = 100 * ib * (1 - std::exp(-p.VC_V / 0.3)) * (1 + p.VC_V / 60);
      p.TIB_A = ib;
    }
  }
  ++DisplayedSweepsRevision;
}

void DrawScreen() { RepaintCurveTracerScreen(); }

platform::Colour Pixel(int x, int y) { return platform::ImagePixel(screen::CanvasImage, x, y); }

bool AnyPixel(int left, int top, int right, int bottom, platform::Colour colour) {
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      if (Pixel(x, y) == colour) return true;
  return false;
}

void SaveCanvas(const std::string& name) { platform::SavePngImage(screen::CanvasImage, "/tmp/" + name + ".png"); }

}  // namespace zolt::tracer::testing
