// Run files and sample runs: every completed run, and the measured part of a run cut
// short by a lost link, is written to "sampleruns_KVR/" + four-digit number + ".csv" (35
// named columns, 40 cells a line) as a new file, never in place of another; any stored
// run can be loaded back into DisplayedSweeps to be viewed and measured.
// Main thread only. PrepareRunRecord runs with the InstrumentMutex held; SaveRunCsvFile
// runs without it, reading only what the main thread alone writes (the display copy, the
// run record, the set-up entries), so that the reader goes on reading during a save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tracer/run_state.h"

namespace zolt::tracer {

inline const std::string SampleRunFolder = "sampleruns_KVR";

// The set-up of the run on display, one entry per curve.
struct RunSetupSnapshot {
  double CollectorMaxVoltage = 0.0;
  double CollectorMaxCurrent = 0.0;
  double CollectorResistorOhms = 0.0;
  int32_t CollectorCurrentRange = 0;
  double CollectorPulseLength = 0.0;
  std::string BaseGateOutputMode;
  std::string BaseGateClampMode;
  double BaseGateResistorOhms = 0.0;
  int32_t BaseGateRange = 0;
  double BaseGateOffsetCurrent = 0.0;
  double BaseGateActiveCurrent = 0.0;
  double BaseGateOffsetVoltage = 0.0;
  double BaseGateActiveVoltage = 0.0;
  double BaseGatePulseLength = 0.0;
  double SampleRate = 0.0;

  bool operator==(const RunSetupSnapshot&) const = default;
};

inline RunSetupSnapshot ShownStepSetups[MaxCurves];

inline int32_t SampleRunNumber = 1;   // the run number browsed to, and the last one saved
inline int32_t SampleRunCount = -1;   // the highest run number known to exist

// Which file holds the run on display: its run number; NoRunFile when none does (a number
// browsed to that has no file); UnsavedRun while the display holds a measured run that no
// file holds (a run under way, halted, cut short and not saved, or whose save failed).
// Only this file is ever rewritten for the run on display.
constexpr int32_t NoRunFile = 0;
constexpr int32_t UnsavedRun = -1;
inline int32_t DisplayedRunFile = NoRunFile;
inline int32_t LastSampleCurve = 0;   // last curve of the loaded run holding more than one point
inline std::string GraphTitleText;    // the title typed in the graph-title window

void PrepareRunRecord();
// Saves the run on display as a new file under the next free run number (and its copy,
// when enabled, under a name free in the copy folder); no file is ever replaced, and the
// log names the file written. `incomplete` says why a run that ended early did so, for
// the log; it is empty for a whole run. A file that cannot be written leaves the run on
// display, unsaved, and the run numbers as they were; the failure is kept for
// ReportUnsavedRunFiles.
void SaveRunCsvFile(const std::string& incomplete = {});
// Reports the run files the last save could not write, once each. Called by the
// per-frame handler after it has released the InstrumentMutex, so that a message box
// left open never holds up the reader thread.
void ReportUnsavedRunFiles();
// What a run file read names but does not hold: the steps of 0..TotalSteps that have no
// line, and in the steps it holds the points of 0..TotalEntries that have none.
// HoldsRun: the file begins with the run file's header and holds a point line.
struct RunFileShortfall {
  bool HoldsRun = false;
  int32_t StepsNamed = 0;
  int32_t StepsMissing = 0;
  int64_t PointsNamed = 0;
  int64_t PointsMissing = 0;
};

void LoadSampleRun();
// Shows the run file's run: what it holds, a point it does not hold as not finite (a gap
// on the graph). A file that is missing leaves the display, the title and the set-ups
// cleared; one too long to be a run (more than 64 MB) or holding none (no header, or no
// point line after it) too, and the user is told; a file that names steps or points it
// does not hold is shown with what it holds, and the user is told what is missing. Each
// file is told of once while the program runs. True when the file holds a run.
bool ReadRunCsvFile(const std::string& path);
// The same for a run file's bytes already in memory; tells no one, but returns what is
// missing.
RunFileShortfall ReadRunCsvText(std::string_view text);

}  // namespace zolt::tracer
