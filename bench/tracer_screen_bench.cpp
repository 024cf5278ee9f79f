// Drawing passes of the curve tracer's screen at 1920 x 1080 on the headless gui, for a
// typical run (7 curves of 500 points) and a full acquisition (25 curves of 10,001
// points, swept up and back with measurement noise):
//
//   Repaint          every step of the chain computed and painted anew;
//   ReadingsChanged  the main loop's pass after a live reading changed (the pass a
//                    connected, idle instrument causes);
//   CursorMoved      the pass after cursor XA moved;
//   PointsAdded      the pass after a run added 20 points to the last curve.
//
// Besides the time, each case reports "fills": its time as a multiple of one fill of the
// whole 1920 x 1080 canvas measured in the same run, a figure that holds on a slower or a
// busier machine. Targets: a typical pass <= 6 fills, a full set's <= 40.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "frame/fonts.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

using Clock = std::chrono::steady_clock;

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
  LiveReadouts.VcReadoutText = "0.000 V";
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
  ++DisplayedSweepsRevision;
}

// One fill of the whole canvas, the median of a few.
double FillSeconds() {
  std::vector<double> times;
  for (int k = 0; k < 31; ++k) {
    const Clock::time_point start = Clock::now();
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(0, 0, 1920, 1080, platform::MakeColour(k, 0, 0));
    platform::StopDrawing();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + 15, times.end());
  return times[15];
}

enum class Change { None, Readings, Cursor, Points };

void Pass(benchmark::State& state, int curves, int points, bool noisy, Change change, bool repaint) {
  PrepareScreen();
  FillCurves(curves, points, noisy);
  const int last = curves - 1;
  const int32_t fullCurve = DisplayedSweeps.TotalEntries[last];
  if (change == Change::Points) DisplayedSweeps.TotalEntries[last] = fullCurve / 2;
  DrawCurveTracerScreen();  // lays the plot out and fills what is kept
  const double fill = FillSeconds();

  int64_t turn = 0;
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    ++turn;
    switch (change) {
      case Change::None: break;
      case Change::Readings: LiveReadouts.VcReadoutText = turn % 2 ? "1.234 V" : "1.235 V"; break;
      case Change::Cursor: CursorXA.Value = turn % 2 ? 2.5 : 2.0; break;
      case Change::Points: {
        int32_t& total = DisplayedSweeps.TotalEntries[last];
        total += 20;
        if (total > fullCurve) {  // a new run of the last curve
          total = fullCurve / 2;
          ++DisplayedSweepsRevision;
        }
        break;
      }
    }
    if (repaint)
      RepaintCurveTracerScreen();
    else
      DrawCurveTracerScreen();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  state.counters["fills"] = seconds / static_cast<double>(std::max<int64_t>(turn, 1)) / fill;
}

void TypicalRepaint(benchmark::State& s) { Pass(s, 7, 500, false, Change::None, true); }
void TypicalReadingsChanged(benchmark::State& s) { Pass(s, 7, 500, false, Change::Readings, false); }
void TypicalCursorMoved(benchmark::State& s) { Pass(s, 7, 500, false, Change::Cursor, false); }
void TypicalPointsAdded(benchmark::State& s) { Pass(s, 7, 500, false, Change::Points, false); }
void FullRepaint(benchmark::State& s) { Pass(s, 25, 10001, true, Change::None, true); }
void FullReadingsChanged(benchmark::State& s) { Pass(s, 25, 10001, true, Change::Readings, false); }
void FullCursorMoved(benchmark::State& s) { Pass(s, 25, 10001, true, Change::Cursor, false); }
void FullPointsAdded(benchmark::State& s) { Pass(s, 25, 10001, true, Change::Points, false); }

#define ZOLT_PASS(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
ZOLT_PASS(TypicalRepaint);
ZOLT_PASS(TypicalReadingsChanged);
ZOLT_PASS(TypicalCursorMoved);
ZOLT_PASS(TypicalPointsAdded);
ZOLT_PASS(FullRepaint);
ZOLT_PASS(FullReadingsChanged);
ZOLT_PASS(FullCursorMoved);
ZOLT_PASS(FullPointsAdded);

}  // namespace
}  // namespace zolt::tracer

BENCHMARK_MAIN();
