// One complete drawing pass of the curve tracer's screen (extents to panel render) at
// 1920 x 1080 on the headless gui, for a typical run (7 curves of 500 points) and a full
// acquisition (25 curves of 10,001 points, swept up and back with measurement noise).
//
// Each case runs 10 repetitions and reports their mean, median and spread; the median is
// the figure that counts (targets: 3 ms typical, 16 ms full).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "frame/fonts.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/run_state.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

void PrepareScreen() {
  platform::SetDisplayDpi(96, 96);
  frame::LoadProgramFonts();
  frame::LoadUiTexts();
  screen::SetColourScheme();
  screen::ScreenState.ScreenOpen = 1;
  screen::ScreenState.ScreenWidth = 1920;
  screen::ScreenState.ScreenHeight = 1080;
  screen::CreateCanvasImage();

  GraphSettingsRecord& g = GraphSettings;
  g.ConfigText1 = "NPN / PNP";
  g.ConfigText2 = "IC vs VCE";
  g.XTitle = "X axis: VCE";
  g.YTitle = "Y axis: IC";
  g.XQuantity = "vc";
  g.XUnit = "V";
  g.XSymbol = "V";
  g.XSubscript = "CE";
  g.XDescription = "Collector-Emitter Voltage";
  g.YQuantity = "ic";
  g.YUnit = "A";
  g.YSymbol = "I";
  g.YSubscript = "C";
  g.YDescription = "Collector Current";
  g.CurveQuantity = "tib";
  g.CurveUnit = "A";

  for (CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) c->Shown = 1;
  CursorXA.Value = 2;
  CursorXB.Value = 8;
  CursorYA.Value = 0.002;
  CursorYB.Value = 0.006;
}

// Collector characteristics of a transistor: step c at base current (c + 1) x 10 uA.
// With noise, the collector voltage runs up to 10 V and back, and both readings carry
// measurement noise of a few pixels, as a full acquisition does.
void FillCurves(int curves, int points, bool noisy) {
  uint32_t seed = 12345;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return (static_cast<double>(seed >> 8) / 16777216.0) - 0.5;
  };
  for (int c = 0; c < MaxCurves; ++c) DisplayedSweeps.TotalEntries[c] = c < curves ? points - 1 : 0;
  for (int c = 0; c < curves; ++c) {
    const double ib = (c + 1) * 10e-6;
    for (int j = 0; j < points; ++j) {
      SweepPoint& p = DisplayedSweeps.Point[c][j];
      p = {};
      const double phase = static_cast<double>(j) / (points - 1);
      const double vc = noisy ? 10 * (1 - std::fabs(2 * phase - 1)) : 10 * phase;
      p.VC_V = vc + (noisy ? 0.02 * noise() : 0);
      p.IC_A = 100 * ib * (1 - std::exp(-vc / 0.3)) * (1 + vc / 60) + (noisy ? 5e-5 * noise() : 0);
      p.TIB_A = ib;
    }
  }
}

void DrawingPass(benchmark::State& state, int curves, int points, bool noisy) {
  PrepareScreen();
  FillCurves(curves, points, noisy);
  DrawCurveTracerScreen();  // lays the plot out once
  for (auto _ : state) DrawCurveTracerScreen();
}

void TypicalRun(benchmark::State& state) { DrawingPass(state, 7, 500, false); }
void FullAcquisition(benchmark::State& state) { DrawingPass(state, 25, 10001, true); }

BENCHMARK(TypicalRun)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(FullAcquisition)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace zolt::tracer

BENCHMARK_MAIN();
