// The COM port page's scan state: the step of the scan (0 = none running) and the port
// being probed, one step per pass of the settings window's loop.
//
// Main thread only.
#pragma once

#include <cstdint>

namespace zolt::settingswindow {

struct ComScanRecord {
  int32_t ComScanStep = 0;  // 0..7
  int32_t ComScanPort = 1;  // 1..99, 100 once the last port has been probed
  // The scan's pauses in ms: before the first port, before each probe, after each probe.
  int StartPauseMs = 500;
  int ProbePauseMs = 50;
  int NextPauseMs = 50;
};

inline ComScanRecord ComScan;

// Serial port number used to try a port while the curve tracer's link holds its own.
constexpr int ProbeTrialPort = 28;

}  // namespace zolt::settingswindow
