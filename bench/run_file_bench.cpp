// Saving and loading the largest run the instrument delivers, 25 sweeps of 10,001 points
// with readings of full precision (about 31 MB of run file):
//
//   SaveLongestRun  SaveRunCsvFile of the run on display, its 100 ms pause included;
//   LoadLongestRun  LoadSampleRun of that file into the display.
//
// Targets: each <= 1 s. Besides the time, each case reports the heap it used, counted by
// the allocation functions below: "peak_MB" above what was held before the call, and
// "kept_MB" still held after it. LoadLongestRun also reports "kept_after_next_MB", held
// once a small run has been shown in its place, and "file_MB", the size of the file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "frame/settings.h"
#include "platform/gui_headless.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"

// ---- heap counting ----

namespace {

std::atomic<int64_t> heapHeld{0};
std::atomic<int64_t> heapPeak{0};

void* Counted(void* block) {
  if (block == nullptr) throw std::bad_alloc();
  const int64_t held = heapHeld += static_cast<int64_t>(malloc_usable_size(block));
  int64_t peak = heapPeak.load();
  while (held > peak && !heapPeak.compare_exchange_weak(peak, held)) {
  }
  return block;
}

// The replaced operator new below takes its blocks from malloc, so free is their match.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void Uncounted(void* block) {
  if (block == nullptr) return;
  heapHeld -= static_cast<int64_t>(malloc_usable_size(block));
  std::free(block);
}
#pragma GCC diagnostic pop

}  // namespace

void* operator new(size_t size) { return Counted(std::malloc(size == 0 ? 1 : size)); }
void* operator new[](size_t size) { return Counted(std::malloc(size == 0 ? 1 : size)); }
void operator delete(void* block) noexcept { Uncounted(block); }
void operator delete[](void* block) noexcept { Uncounted(block); }
void operator delete(void* block, size_t) noexcept { Uncounted(block); }
void operator delete[](void* block, size_t) noexcept { Uncounted(block); }

namespace zolt::tracer {
namespace {

constexpr double MB = 1024.0 * 1024.0;

// Starts counting the peak from what is held now; returns that.
int64_t StartCounting() {
  heapPeak = heapHeld.load();
  return heapHeld.load();
}

// The benchmarks work in a scratch folder of their own.
struct ScratchFolder {
  ScratchFolder() {
    char name[] = "/tmp/zolt-run-bench-XXXXXX";
    if (::mkdtemp(name) == nullptr || ::chdir(name) != 0) std::abort();
    path = name;
    std::filesystem::create_directory(SampleRunFolder);
  }
  ~ScratchFolder() {
    std::filesystem::current_path("/tmp");
    std::filesystem::remove_all(path);
  }
  std::string path;
};

// Collector characteristics of a transistor, 25 steps of 10,001 points, each reading with
// ten significant decimals, as measured readings have.
void FillLongestRun() {
  platform::headless::Reset();
  frame::AppSettings.SaveCSVFileEnabled = "No";
  RunInfo = {};
  RunInfo.TotalSteps = MaxCurves - 1;
  RunInfo.GraphType = 100;
  RunInfo.GraphTitle = "Longest run";
  uint32_t seed = 12345;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
  };
  for (int c = 0; c < MaxCurves; ++c) {
    DisplayedSweeps.TotalEntries[c] = AcquiredPointsPerCurve - 1;
    const double base = (c + 1) * 10e-6;
    for (int j = 0; j < AcquiredPointsPerCurve; ++j) {
      SweepPoint& p = DisplayedSweeps.Point[c][j];
      p.RunStatus = 0x46;
      p.VC_V = 30.0 * j / (AcquiredPointsPerCurve - 1) + 0.01 * noise();
      p.IC_A = base * 150.0 * (1.0 - std::exp(-p.VC_V / 0.3)) + 1e-6 * noise();
      p.VR_V = p.IC_A * 100.0;
      p.VB_V = 0.65 + 0.001 * noise();
      p.IR_A = p.IC_A;
      p.IB_A = base + 1e-7 * noise();
      p.TIB_A = base;
      p.TVB_V = 0.0;
    }
  }
}

void SaveLongestRun(benchmark::State& state) {
  ScratchFolder folder;
  FillLongestRun();
  int64_t peak = 0;
  int64_t kept = 0;
  for (auto _ : state) {
    SampleRunNumber = 1;
    SampleRunCount = 1;
    const int64_t before = StartCounting();
    SaveRunCsvFile();
    peak = heapPeak.load() - before;
    kept = heapHeld.load() - before;
    state.PauseTiming();
    std::filesystem::remove(SampleRunFolder + "/0002.csv");
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / MB;
  state.counters["kept_MB"] = static_cast<double>(kept) / MB;
}

void LoadLongestRun(benchmark::State& state) {
  ScratchFolder folder;
  FillLongestRun();
  SampleRunNumber = 1;
  SampleRunCount = 1;
  SaveRunCsvFile();  // run 2, the longest
  const int64_t fileBytes =
      static_cast<int64_t>(std::filesystem::file_size(SampleRunFolder + "/0002.csv"));
  DisplayedSweeps.TotalEntries[0] = 10;
  RunInfo.TotalSteps = 0;
  SaveRunCsvFile();  // run 3, a small one

  int64_t peak = 0;
  int64_t kept = 0;
  for (auto _ : state) {
    SampleRunNumber = 2;
    const int64_t before = StartCounting();
    LoadSampleRun();
    peak = heapPeak.load() - before;
    kept = heapHeld.load() - before;
  }
  const int64_t before = heapHeld.load() - kept;
  SampleRunNumber = 3;
  LoadSampleRun();
  if (DisplayedSweeps.TotalEntries[0] != 10) state.SkipWithError("the small run was not shown");
  state.counters["file_MB"] = static_cast<double>(fileBytes) / MB;
  state.counters["peak_MB"] = static_cast<double>(peak) / MB;
  state.counters["kept_MB"] = static_cast<double>(kept) / MB;
  state.counters["kept_after_next_MB"] = static_cast<double>(heapHeld.load() - before) / MB;
}

BENCHMARK(SaveLongestRun)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(LoadLongestRun)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace zolt::tracer

BENCHMARK_MAIN();
