// The main loop's turn rate on the headless gui, with the curve tracer's own front end in
// a copy of the program folder (the newest sample run shown, not connected):
//
//   Idle       nothing changes: the loop turns and every pass is left out;
//   Redrawing  cursor XA moves every turn, so every pass due (one per 16 ms) is drawn,
//              as during a run.
//
// Each case runs the program for two seconds and reports "turns_per_s" (target: >= 950
// idle, >= 900 redrawing) and "passes_per_s".
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "frame/app.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "tracer/cursors.h"
#include "tracer/run_phases.h"
#include "tracer/startup.h"

namespace zolt::frame {
namespace {

namespace fs = std::filesystem;

// A program folder of its own, made from the shipped one.
class ProgramFolder {
 public:
  ProgramFolder() {
    char pattern[] = "/tmp/zolt-loop-bench.XXXXXX";
    folder_ = mkdtemp(pattern);
    fs::copy(ZOLT_APP_DIR, folder_, fs::copy_options::recursive);
    previous_ = fs::current_path();
    fs::current_path(folder_);
  }
  ~ProgramFolder() {
    fs::current_path(previous_);
    fs::remove_all(folder_);
  }

 private:
  fs::path folder_, previous_;
};

void Turns(benchmark::State& state, bool redrawing) {
  ProgramFolder folder;
  CurveTracerFrontEnd = {tracer::StartCurveTracer, tracer::HandleCurveTracerFrame, tracer::DrawCurveTracerScreen,
                         tracer::CurveTracerScreenChanged};
  constexpr int64_t Seconds = 2;
  int64_t turns = 0, passes = 0;
  for (auto _ : state) {
    platform::headless::Reset();
    int64_t start = 0;
    int64_t counted = 0;
    const int presentsBefore = platform::headless::PresentCount();
    int presentsAtStart = 0;
    platform::headless::SetWaitHook([&] {
      const int64_t now = platform::ElapsedMilliseconds();
      // The first second starts the program and draws its first passes.
      if (start == 0) start = now + 1000, presentsAtStart = platform::headless::PresentCount();
      if (now < start) {
        presentsAtStart = platform::headless::PresentCount();
        return;
      }
      ++counted;
      if (redrawing) tracer::CursorXA.Value = 1.0 + 1e-4 * static_cast<double>(counted);
      if (now >= start + Seconds * 1000) platform::headless::PushClose(MainWindow);
    });
    MainProgram();
    platform::headless::SetWaitHook(nullptr);
    turns += counted;
    passes += platform::headless::PresentCount() - std::max(presentsAtStart, presentsBefore);
  }
  CurveTracerFrontEnd = {};
  const double seconds = static_cast<double>(Seconds * state.iterations());
  state.counters["turns_per_s"] = static_cast<double>(turns) / seconds;
  state.counters["passes_per_s"] = static_cast<double>(passes) / seconds;
}

void Idle(benchmark::State& state) { Turns(state, false); }
void Redrawing(benchmark::State& state) { Turns(state, true); }

BENCHMARK(Idle)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(Redrawing)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace zolt::frame

BENCHMARK_MAIN();
