// The power analyser: the analysis of one block of 1,600 samples (target 10 us), and one
// drawing pass of its screen at 1920 x 1080 on the headless gui with a 50 Hz signal in
// the ring (target: median 3 ms). Run from the build folder, where the icons are.
//
// The drawing pass runs 10 repetitions and reports their mean, median and spread.
#include <benchmark/benchmark.h>

#include <cmath>

#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/synthesis.h"
#include "frame/app.h"
#include "frame/fonts.h"
#include "frame/translate.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/gui.h"

namespace zolt::analyser {
namespace {

// A mains-like signal over the whole ring: 325 V at 50 Hz, 5 A with a third harmonic.
void FillRing() {
  const double w = 2 * 3.14159265358979323846 * 50 / 16000;
  for (int i = 0; i < link::PmxRingSamples; ++i) {
    link::PmxVoltageSamples[i] = 325 * std::sin(w * i);
    link::PmxCurrentSamples[i] = 5 * std::sin(w * i - 0.5) + 1.5 * std::sin(3 * w * i);
  }
}

void AnalyseBlock(benchmark::State& state) {
  FillRing();
  int32_t block = 0;
  for (auto _ : state) {
    AnalysePmxBlock(block);
    block = (block + 1) % link::PmxRingBlocks;
    benchmark::DoNotOptimize(PmxReadings.PmxFrequency);
  }
}

void DrawingPass(benchmark::State& state) {
  platform::InitialiseGui();
  frame::LoadProgramFonts();
  frame::LoadUiTexts();
  platform::OpenWindow(frame::MainWindow, 0, 0, 1920, 1080, "ZOLT", platform::WindowTitleBar);
  StartPowerAnalyser();
  FillRing();
  for (int b = 0; b < 4; ++b) {
    link::PmxSampleRing.PmxPublishedBlock = b + 1;
    HandOverNextBlock();
  }
  link::PmxLinkState.PmxStatusText = "Connected";
  frame::FrameLoopState.RedrawAll = 1;
  DrawPowerAnalyserScreen();
  frame::FrameLoopState.RedrawAll = 0;
  // Every part painted, as after a change of the bar (a pass with nothing changed paints
  // almost nothing).
  for (auto _ : state) {
    PmxPaintedParts = {};
    DrawPowerAnalyserScreen();
  }
}

BENCHMARK(AnalyseBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawingPass)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace zolt::analyser

BENCHMARK_MAIN();
