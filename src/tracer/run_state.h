// The curve tracer's run state and measured curves.
//
// RunControl is shared by the run phases (main thread) and the reader thread; every
// field the reader writes or the run phases read from it is touched only while the
// InstrumentMutex (link/link_state.h) is held. AcquiredSweeps is written by the reader
// thread under the mutex; DisplayedSweeps belongs to the main thread.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace zolt::tracer {

constexpr int MaxCurves = 25;                  // steps 0..24
constexpr int AcquiredPointsPerCurve = 10001;  // points 0..10000
constexpr int DisplayedPointsPerCurve = 32001; // points 0..32000

struct RunControlRecord {
  // Owned by the run phases (main thread).
  int32_t RunPhase = 0;           // 0..9
  std::string RunPhaseText;       // translated phase name, or the sweep progress in phase 5
  std::string LastStopReason;     // translated reason the last sweep or run ended
  int32_t RunRequest = 0;         // one-shot requests, cleared at the end of every pass
  int32_t HaltRequest = 0;
  int32_t ConnectRequest = 0;
  int32_t HighVoltageRequest = 0;
  std::string SweepCommand;       // "Run" / "Stop", emptied by the control block once sent
  std::string HighVoltageCommand; // "Start" / "Stop", emptied likewise
  std::string CommsEnable;        // "On" / "Off", kept
  int32_t ControlFlag13 = 0;      // marks the first control block after a connect
  int32_t ControlFlag14 = 0;
  int32_t ControlFlag15 = 0;
  int32_t SweepNumber = 0;        // sweep being run, 0..TotalSteps; also its set-up entry
  int32_t LinkLost = 0;           // 1 from a lost link until the next connect
  std::string ComStatusText;      // shown after "Com Status:"; the lost link's text

  // Written by the reader thread from each good status frame.
  std::string RunState;           // "Idling", "Pre-ramp", "Ramping", "Stopping"
  std::string PreviousRunState;
  int32_t HighVoltageOn = 0;
  int32_t StopCode = 0;           // 0..15
  int32_t StepIndex = 0;          // curve under acquisition; -1 at run start
  int32_t PointIndex = 0;         // point within the curve; -1 at run start
  int32_t NewFrame = 0;           // 1 after every good frame; cleared by the run phases
  int32_t LostFrames = 0;         // frames dropped as damaged; cleared at the run start
};

inline RunControlRecord RunControl;

// One measured point. HFE is used in the displayed set only (filled by the graph).
struct SweepPoint {
  int32_t RunStatus = 0;  // the frame's status word with bit 15 cleared
  double VC_V = 0.0;
  double VR_V = 0.0;
  double VB_V = 0.0;
  double IC_A = 0.0;
  double IR_A = 0.0;
  double IB_A = 0.0;
  double TIB_A = 0.0;     // the step's active base/gate current
  double TVB_V = 0.0;     // the step's active base/gate voltage
  double HFE = 0.0;

  bool operator==(const SweepPoint&) const = default;
};

// A point nothing was measured or read for: every value not finite, which the graph
// leaves as a gap and the measurements pass over.
inline SweepPoint MissingSweepPoint() {
  constexpr double Gap = std::numeric_limits<double>::quiet_NaN();
  SweepPoint p;
  p.VC_V = p.VR_V = p.VB_V = p.IC_A = p.IR_A = p.IB_A = p.TIB_A = p.TVB_V = p.HFE = Gap;
  return p;
}

struct AcquiredSweepSet {
  int32_t LastEntry[MaxCurves] = {};  // index of the last point written per curve
  SweepPoint Point[MaxCurves][AcquiredPointsPerCurve];
};

struct DisplayedSweepSet {
  int32_t TotalEntries[MaxCurves] = {};  // index of the last point held per curve
  SweepPoint Point[MaxCurves][DisplayedPointsPerCurve];
};

inline AcquiredSweepSet AcquiredSweeps;
inline DisplayedSweepSet DisplayedSweeps;

// Moves with every change of DisplayedSweeps that may rewrite points already counted (a
// new run, a run file loaded); appending points after a curve's last index moves only the
// counts. The drawing pass keeps what it computed from the points while neither moves, so
// code that writes DisplayedSweeps otherwise increments it. Main thread only.
inline uint64_t DisplayedSweepsRevision = 0;

}  // namespace zolt::tracer
