// Sample runs: measures the runs installed with the program as app/sampleruns_KVR/0001.csv
// to 0003.csv (a diode, an N-channel MOSFET and an NPN transistor) with the curve-tracer
// simulator, the way a user measures them with the instrument: the device preset is
// pressed, the set-up dialled, then Connect, HV ENABLE and RUN, with the program's own
// per-frame handler, reader thread and run-file writer turning as the main loop turns
// them, on the headless gui. The committed files were made by running it once:
//
//     build/tools/sample-runs/make-sample-runs app/sampleruns_KVR
//
// Each run is measured against a simulator started with the matching device, in a
// temporary working folder; the run files are copied to the folder given, numbered from 1
// in the order below (an empty folder counts as holding run 1, so the program itself
// saves the first run there as number 2). The transistor comes last: the program shows
// the newest run at start, under the NPN / PNP configuration it starts with.
//
// Sections: the runs; the session; main.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frame/csv.h"
#include "frame/settings.h"
#include "link/calibration.h"
#include "link/calibration_stream.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "support/simulator_process.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"
#include "tracer/zones.h"

namespace zolt::tracer {
namespace {

// ---- the runs ----

struct SampleRun {
  const char* device;  // the simulator's --device
  int presetSegment;   // segment of the device row: 1 NPN, 3 NFET, 5 DIODE
  int configuration;   // the configuration the preset selects
  const char* title;
  std::function<void(TestSetupRecord&)> dial;  // the set-up after the preset
};

const std::vector<SampleRun> Runs = {
    {"diode", 5, 500, "Silicon diode (simulated)",
     [](TestSetupRecord& t) {
       t.MaxVoltageIndex = 0;    // 3 V
       t.MaxCurrentIndex = 9;    // 50 mA: automatic impedance 24 R
       t.NumberOfSteps = 1;      // the fewest sweeps a run makes
     }},
    {"nmos", 3, 300, "N-channel MOSFET (simulated)",
     [](TestSetupRecord& t) {
       t.MaxVoltageIndex = 2;    // 13 V
       t.MaxCurrentIndex = 13;   // 200 mA: automatic impedance 24 R
       t.VoltageStepIndex = 5;   // 0.1 V steps
       t.OffsetRange = 3;        // from 2.0 V
       t.OffsetIndex = 20;
       t.NumberOfSteps = 6;
     }},
    {"npn", 1, 100, "NPN transistor (simulated)",
     [](TestSetupRecord& t) {
       t.MaxVoltageIndex = 3;    // 20 V
       t.MaxCurrentIndex = 9;    // 50 mA: automatic impedance 270 R
       t.CurrentStepIndex = 11;  // 20 uA steps from 0
       t.OffsetIndex = 0;
       t.NumberOfSteps = 6;
     }},
};

// ---- the session ----

// Turns the handler as the main loop does (1 ms a turn) until the condition holds.
bool RunUntil(const std::function<bool()>& condition, int ms) {
  const int64_t deadline = platform::ElapsedMilliseconds() + ms;
  while (platform::ElapsedMilliseconds() < deadline) {
    HandleCurveTracerFrame();
    if (condition()) return true;
    platform::Delay(1);
  }
  return false;
}

bool Press(int zone, const std::function<bool()>& condition, int ms = 5000) {
  screen::ClickedZone = zone;
  return RunUntil(condition, ms);
}

// Measures one run; its file name in the working folder's run folder goes to `saved`.
bool Measure(const SampleRun& run, std::string& saved) {
  std::printf("%s: configuration %d, device %s\n", run.title, run.configuration, run.device);
  RunControl = {};
  TestSetup = {};
  RecalculateTestSetup();
  auto presetApplied = [&run] { return AppliedTestConfiguration == run.configuration; };
  if (!Press(ZoneDeviceRow + run.presetSegment, presetApplied, 100)) {
    std::fprintf(stderr, "the preset did not select configuration %d\n", run.configuration);
    return false;
  }
  run.dial(TestSetup);
  RecalculateTestSetup();
  GraphTitleText = run.title;

  testing::SimulatorProcess simulator;
  if (!simulator.Start({"--link", "ports/COM1", "--device", run.device}) ||
      !simulator.WaitForLink("ports/COM1")) {
    std::fprintf(stderr, "the simulator did not start\n");
    return false;
  }
  const int32_t before = SampleRunCount;
  const bool measured =
      Press(ZoneConnectButton, [] { return RunControl.RunPhase == 1; }) &&
      Press(ZoneHighVoltageButton, [] { return RunControl.RunPhase == 2; }) &&
      Press(ZoneRunButton, [] { return RunControl.RunPhaseText == "Test complete"; }, 120000) &&
      Press(ZoneConnectButton, [] { return RunControl.RunPhase == 0; });
  link::StopLinkThread();
  if (!measured || SampleRunCount == before) {
    std::fprintf(stderr, "the run did not complete (phase %d, %s)\n", RunControl.RunPhase,
                 RunControl.RunPhaseText.c_str());
    return false;
  }
  for (int c = 0; c <= TestSetup.NumberOfSteps; ++c) {
    std::printf("  curve %d: %d points\n", c, DisplayedSweeps.TotalEntries[c] + 1);
  }
  saved = SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber);
  return true;
}

// A fresh working folder (made the working folder) with the calibration file of the
// simulated unit, read as the start-up reads it.
bool PrepareFolder() {
  char pattern[] = "/tmp/zolt-sample-runs-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) return false;
  std::filesystem::create_directories(SampleRunFolder);
  std::filesystem::create_directories("settings");
  testing::SimulatorProcess writer;
  if (!writer.Start({"--write-cal", "settings/KVR820_cal.txt"}) || writer.Wait() != 0) return false;
  link::ReadCalibrationFile("settings/KVR820_cal.txt");
  link::ComputeCalibrationCoefficients();
  link::CalibrationStream.CalStreamState = link::CalStreamAwaitMarker;
  frame::AppSettings = {};
  frame::AppSettings.ComPort = 1;
  frame::AppSettings.SaveCSVFileEnabled = "No";
  SampleRunNumber = 1;
  SampleRunCount = 1;
  return true;
}

}  // namespace
}  // namespace zolt::tracer

// ---- main ----

int main(int argc, char** argv) {
  using namespace zolt::tracer;
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample-runs DEST_FOLDER\n");
    return 2;
  }
  const fs::path destination = fs::absolute(argv[1]);
  zolt::platform::headless::Reset();
  if (!PrepareFolder()) {
    std::fprintf(stderr, "make-sample-runs: could not prepare a working folder\n");
    return 1;
  }
  const fs::path work = fs::current_path();
  std::vector<std::string> saved(Runs.size());
  for (size_t k = 0; k < Runs.size(); ++k) {
    if (!Measure(Runs[k], saved[k])) return 1;
  }
  std::error_code error;
  fs::create_directories(destination, error);
  for (size_t k = 0; k < Runs.size(); ++k) {
    const std::string name = zolt::frame::MakeCsvFileName(static_cast<int32_t>(k + 1));
    fs::copy_file(work / saved[k], destination / name, fs::copy_options::overwrite_existing, error);
    if (error) {
      std::fprintf(stderr, "make-sample-runs: %s: %s\n", name.c_str(), error.message().c_str());
      return 1;
    }
    std::printf("%s\n", (destination / name).c_str());
  }
  fs::remove_all(work, error);
  return 0;
}
