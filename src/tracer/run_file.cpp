// Run files and sample runs: the run record and per-step set-up entries made at the start
// of a run, the save of a finished run or of the measured part of one cut short (35 named
// columns, 40 cells a line, every point of every step, written by the CSV writer's line
// rule) as a new file under a number no file holds, and the loading of a stored run,
// however long, into the display copy.
//
// Sections: the file's columns; run record; saving; loading.
#include "tracer/run_file.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "frame/csv.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/system.h"
#include "tracer/run_info.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- the file's columns ----

namespace {

enum RunFileColumn : int {
  ColStep,
  ColTotalSteps,
  ColEntry,
  ColTotalEntries,
  ColRunStatus,
  ColVR,
  ColVB,
  ColVC,
  ColIR,
  ColIB,
  ColIC,
  ColTIB,
  ColTVB,
  // Per-step set-up, on each step's first line.
  ColCollectorMaxVoltage,
  ColCollectorResistorOhms,
  ColCollectorMaxCurrent,
  ColBaseGateOutputMode,
  ColBaseGateResistorOhms,
  ColBaseGateOffsetCurrent,
  ColBaseGateActiveCurrent,
  ColBaseGateOffsetVoltage,
  ColBaseGateActiveVoltage,
  ColCollectorPulseLength,
  ColBaseGatePulseLength,
  ColSampleRate,
  ColBaseGateClampMode,
  // Run-wide, on the first point line only.
  ColGraphType,
  ColGraphTitle,
  ColNotes,
  ColDate,
  ColTime,
  ColModelID,
  ColFirmwareID,
  ColSerialID,
  ColCalibrationDate,
  NamedColumns,
};

// Every line holds the named columns and five empty cells.
constexpr int RunFileCells = 40;

constexpr const char* ColumnNames[NamedColumns] = {
    "Step",
    "TotalSteps",
    "Entry",
    "TotalEntries",
    "RunStatus",
    "VR_V",
    "VB_V",
    "VC_V",
    "IR_A",
    "IB_A",
    "IC_A",
    "TIB_A",
    "TVB_V",
    "CollectorMaxVoltage",
    "CollectorResistorOhms",
    "CollectorMaxCurrent",
    "BaseGateOutputMode",
    "BaseGateResistorOhms",
    "BaseGateOffsetCurrent",
    "BaseGateActiveCurrent",
    "BaseGateOffsetVoltage",
    "BaseGateActiveVoltage",
    "CollectorPulseLength",
    "BaseGatePulseLength",
    "SampleRate",
    "BaseGateClampMode",
    "GraphType",
    "GraphTitle",
    "Notes",
    "Date",
    "Time",
    "ModelID",
    "FirmwareID",
    "SerialID",
    "CalibrationDate",
};

constexpr int32_t LastRunNumber = 9999;
constexpr int32_t LastDisplayedPoint = DisplayedPointsPerCurve - 1;

std::string Real(double value) { return frame::RealToText(value); }

int32_t ToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string SaveDate(const platform::DateTime& now) {
  char year[16];
  std::snprintf(year, sizeof year, "%04d", now.Year);
  return TwoDigits(now.Day) + "/" + TwoDigits(now.Month) + "/" + year;
}

std::string SaveTime(const platform::DateTime& now) {
  return TwoDigits(now.Hour) + ":" + TwoDigits(now.Minute) + ":" + TwoDigits(now.Second);
}

}  // namespace

// ---- run record ----

void PrepareRunRecord() {
  const TestSetupRecord& t = TestSetup;
  RunInfoRecord& info = RunInfo;
  info.GraphType = TestConfiguration;
  info.GraphTitle = GraphTitleText;
  info.Notes = "Notes here";
  info.ModelID = "KVR820";
  info.FirmwareID = "502-2.s";
  info.SerialID = "0X0X0X";
  info.CalibrationDate = "unknown";
  info.TotalSteps = t.NumberOfSteps;
  info.RunSampleRate = frame::AppSettings.SampleRate;

  // Each sweep steps the base/gate level by one step size from the offset.
  const int32_t lastStep = std::clamp(info.TotalSteps, 0, StepSetupCount - 1);
  for (int32_t i = 0; i <= lastStep; ++i) {
    StepSetup& entry = StepSetups[i];
    entry.FirstDuration = 1.0;
    entry.SecondDuration = 10.0;
    entry.CollectorMaxVoltage = t.SetupCollectorMaxVoltage;
    entry.CollectorMaxCurrent = t.SetupCollectorMaxCurrent;
    entry.CollectorResistorOhms = t.SetupCollectorResistorOhms;
    entry.CollectorCurrentRange = t.SetupCollectorCurrentRange;
    entry.CollectorPulseLength = t.SetupCollectorPulseLength;
    entry.BaseGateResistorOhms = t.SetupBaseGateResistorOhms;
    entry.BaseGateRange = t.SetupBaseGateRange;
    entry.BaseGatePulseLength = t.SetupBaseGatePulseLength;
    entry.BaseGateOutputMode = t.SetupBaseGateOutputMode;
    entry.BaseGateClampMode = frame::AppSettings.ClampModeSetting;
    if (entry.BaseGateOutputMode == "I") {
      entry.BaseGateOffsetCurrent = t.SetupOffsetCurrent;
      entry.BaseGateActiveCurrent = t.SetupOffsetCurrent + t.SetupStepCurrent * i;
      entry.BaseGateOffsetVoltage = 0.0;
      entry.BaseGateActiveVoltage = 0.0;
    } else {
      entry.BaseGateOffsetCurrent = 0.0;
      entry.BaseGateActiveCurrent = 0.0;
      entry.BaseGateOffsetVoltage = t.SetupOffsetVoltage;
      entry.BaseGateActiveVoltage = t.SetupOffsetVoltage + t.SetupStepVoltage * i;
    }

    RunSetupSnapshot& shown = ShownStepSetups[i];
    shown.SampleRate = frame::AppSettings.SampleRate;
    shown.CollectorMaxVoltage = entry.CollectorMaxVoltage;
    shown.CollectorMaxCurrent = entry.CollectorMaxCurrent;
    shown.CollectorResistorOhms = entry.CollectorResistorOhms;
    shown.CollectorCurrentRange = entry.CollectorCurrentRange;
    shown.CollectorPulseLength = entry.CollectorPulseLength;
    shown.BaseGateOutputMode = entry.BaseGateOutputMode;
    shown.BaseGateClampMode = entry.BaseGateClampMode;
    shown.BaseGateResistorOhms = entry.BaseGateResistorOhms;
    shown.BaseGateRange = entry.BaseGateRange;
    shown.BaseGateOffsetCurrent = entry.BaseGateOffsetCurrent;
    shown.BaseGateActiveCurrent = entry.BaseGateActiveCurrent;
    shown.BaseGateOffsetVoltage = entry.BaseGateOffsetVoltage;
    shown.BaseGateActiveVoltage = entry.BaseGateActiveVoltage;
    shown.BaseGatePulseLength = entry.BaseGatePulseLength;
  }
}

// ---- saving ----

namespace {

// Run files the last save could not write, each with why, reported after the lock.
std::vector<std::string> UnsavedRunFiles;

void NoteUnsaved(const std::string& text) { UnsavedRunFiles.push_back(text); }

// The cells of one point line, from the display copy. The set-up columns are filled on
// each step's first line and the run-wide ones on the run's first line; elsewhere they
// are empty.
void FillPointCells(std::string (&cells)[RunFileCells], int32_t step, int32_t entry,
                    const platform::DateTime& saved) {
  const RunInfoRecord& info = RunInfo;
  const SweepPoint& point = DisplayedSweeps.Point[step][entry];
  cells[ColStep] = std::to_string(step);
  cells[ColTotalSteps] = std::to_string(info.TotalSteps);
  cells[ColEntry] = std::to_string(entry);
  cells[ColTotalEntries] = std::to_string(DisplayedSweeps.TotalEntries[step]);
  cells[ColRunStatus] = std::to_string(point.RunStatus);
  cells[ColVR] = Real(point.VR_V);
  cells[ColVB] = Real(point.VB_V);
  cells[ColVC] = Real(point.VC_V);
  cells[ColIR] = Real(point.IR_A);
  cells[ColIB] = Real(point.IB_A);
  cells[ColIC] = Real(point.IC_A);
  cells[ColTIB] = Real(point.TIB_A);
  cells[ColTVB] = Real(point.TVB_V);
  for (int column = ColCollectorMaxVoltage; column < RunFileCells; ++column) cells[column].clear();
  if (entry != 0) return;

  const StepSetup& s = StepSetups[step];
  cells[ColCollectorMaxVoltage] = Real(s.CollectorMaxVoltage);
  cells[ColCollectorResistorOhms] = Real(s.CollectorResistorOhms);
  cells[ColCollectorMaxCurrent] = Real(s.CollectorMaxCurrent);
  cells[ColBaseGateOutputMode] = s.BaseGateOutputMode;
  cells[ColBaseGateResistorOhms] = Real(s.BaseGateResistorOhms);
  cells[ColBaseGateOffsetCurrent] = Real(s.BaseGateOffsetCurrent);
  cells[ColBaseGateActiveCurrent] = Real(s.BaseGateActiveCurrent);
  cells[ColBaseGateOffsetVoltage] = Real(s.BaseGateOffsetVoltage);
  cells[ColBaseGateActiveVoltage] = Real(s.BaseGateActiveVoltage);
  cells[ColCollectorPulseLength] = Real(s.CollectorPulseLength);
  cells[ColBaseGatePulseLength] = Real(s.BaseGatePulseLength);
  cells[ColSampleRate] = Real(info.RunSampleRate);
  cells[ColBaseGateClampMode] = s.BaseGateClampMode;
  if (step != 0) return;

  cells[ColGraphType] = std::to_string(info.GraphType);
  cells[ColGraphTitle] = info.GraphTitle;
  cells[ColNotes] = info.Notes;
  cells[ColDate] = SaveDate(saved);
  cells[ColTime] = SaveTime(saved);
  cells[ColModelID] = info.ModelID;
  cells[ColFirmwareID] = info.FirmwareID;
  cells[ColSerialID] = info.SerialID;
  cells[ColCalibrationDate] = info.CalibrationDate;
}

// The run file of the run on display: the header and one line per point, every point of
// every step. It is written by the CSV writer's line rule but not through the shared
// grid, whose rows could not hold a long run.
std::string RunFileText() {
  std::string cells[RunFileCells];
  for (int column = 0; column < NamedColumns; ++column) cells[column] = ColumnNames[column];
  const int32_t lastStep = std::clamp(RunInfo.TotalSteps, 0, MaxCurves - 1);
  size_t lines = 1;
  for (int32_t step = 0; step <= lastStep; ++step)
    lines += static_cast<size_t>(std::clamp(DisplayedSweeps.TotalEntries[step], 0, LastDisplayedPoint)) + 1;

  std::string text;
  text.reserve(lines * 160);  // a point line takes about 135 bytes
  frame::AppendCsvLine(text, ',', cells, RunFileCells);
  const platform::DateTime saved = platform::LocalDateTime();
  for (int32_t step = 0; step <= lastStep; ++step) {
    const int32_t lastEntry = std::clamp(DisplayedSweeps.TotalEntries[step], 0, LastDisplayedPoint);
    for (int32_t entry = 0; entry <= lastEntry; ++entry) {
      FillPointCells(cells, step, entry, saved);
      frame::AppendCsvLine(text, ',', cells, RunFileCells);
    }
  }
  return text;
}

// The run file names from `first` up, for WriteNewFile: an empty name past the last run
// number ends them. `number` follows the name last given, so it holds the one taken.
std::function<std::string(int)> RunFileNamesFrom(int32_t first, int32_t& number) {
  return [first, &number](int k) {
    if (first > LastRunNumber - k) return std::string();
    number = first + k;
    return frame::MakeCsvFileName(number);
  };
}

void LogSaved(const std::string& path, const std::string& text) { frame::ReportMessage("Run", path, text); }

// The names a copy of run `number` may take in the copy folder: the run's own name, then
// the same with "-2", "-3" ... before ".csv", so that a file already there is kept and the
// copy still carries its run's number (later copies keep their own names).
constexpr int CopyNameVariants = 1000;

std::function<std::string(int)> CopyNamesOf(int32_t number) {
  return [number](int k) {
    if (k >= CopyNameVariants) return std::string();
    const std::string name = frame::MakeCsvFileName(number);
    if (k == 0) return name;
    return name.substr(0, name.size() - 4) + "-" + std::to_string(k + 1) + ".csv";
  };
}

// The copy of the run saved as `number` into the chosen folder; a file there under the
// run's name is kept.
void SaveRunCopy(const std::string& text, int32_t number, const std::string& path) {
  const std::string folder = frame::SettingFolderPath(frame::AppSettings.SaveCSVFileLocation);
  // A copy folder that is the run folder itself already holds the run.
  if (platform::SamePlace(folder.empty() ? "." : folder, SampleRunFolder)) return;
  const std::string name = frame::MakeCsvFileName(number);
  std::string taken;
  if (platform::WriteNewFile(folder, text, CopyNamesOf(number), taken) != platform::NewFileResult::Written) {
    NoteUnsaved(frame::Translate("The copy of the run could not be written to") + " " + folder + name);
  } else if (taken != name) {
    LogSaved(folder + taken, folder + name + " was there already and is kept; the copy of " + path +
                                 " was written as " + folder + taken + ".");
  }
}

}  // namespace

void SaveRunCsvFile(const std::string& incomplete) {
  std::string text = RunFileText();

  // The run takes the first number free above the highest known; the folder is looked at
  // too. A number is taken only where its name is free, so that no file is ever replaced:
  // a name that another program took meanwhile, or that a folder holds, is passed over.
  // Counted in 64 bits: a name such as "20240101123456.csv" reads as the largest 32-bit
  // number, above which no run number is left.
  const int64_t next =
      int64_t{std::max(SampleRunCount, frame::FindHighestCsvNumber(SampleRunFolder))} + 1;
  const auto first = static_cast<int32_t>(std::min<int64_t>(next, int64_t{LastRunNumber} + 1));
  int32_t number = first;
  std::string name;
  switch (platform::WriteNewFile(SampleRunFolder, text, RunFileNamesFrom(first, number), name)) {
    case platform::NewFileResult::Written: {
      SampleRunNumber = number;
      SampleRunCount = number;
      DisplayedRunFile = number;
      const std::string path = SampleRunFolder + "/" + name;
      LogSaved(path, incomplete.empty() ? "The run was saved." : "The run was saved incomplete: " + incomplete + ".");
      if (frame::ToLower(frame::AppSettings.SaveCSVFileEnabled) == "yes") SaveRunCopy(text, number, path);
      break;
    }
    case platform::NewFileResult::NoNameFree:
      NoteUnsaved(frame::Translate("There is no free run number left in") + " " + SampleRunFolder + "/");
      break;
    case platform::NewFileResult::Failed:
      NoteUnsaved(frame::Translate("The run could not be written to") + " " + SampleRunFolder + "/" +
                  frame::MakeCsvFileName(first));
      break;
  }
  text = std::string();
  platform::ReleaseFreedMemory();
  platform::Delay(100);
}

void ReportUnsavedRunFiles() {
  std::vector<std::string> texts;
  texts.swap(UnsavedRunFiles);
  for (const std::string& text : texts) {
    frame::ReportMessage("Error", frame::Translate("Run file not saved"),
                         text + ". " + frame::Translate("The run stays on display."));
  }
}

// ---- loading ----

namespace {

void ClearDisplayedCounts() {
  for (int32_t& total : DisplayedSweeps.TotalEntries) total = 0;
  ++DisplayedSweepsRevision;
}

}  // namespace

void LoadSampleRun() {
  if (SampleRunNumber > SampleRunCount) {
    SampleRunCount = frame::FindHighestCsvNumber(SampleRunFolder);
    if (SampleRunNumber > SampleRunCount) SampleRunNumber = SampleRunCount;
  }
  if (SampleRunNumber < 1) SampleRunNumber = 1;

  ReadRunCsvFile(SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber));
  DisplayedRunFile =
      platform::FileExists(SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber)) ? SampleRunNumber : NoRunFile;

  GraphTitleText = RunInfo.GraphTitle;
  TestConfiguration = RunInfo.GraphType;
  ApplyTestConfiguration(TestConfiguration);
  SetDeviceType("");

  LastSampleCurve = MaxCurves - 1;
  for (int c = 0; c < MaxCurves; ++c) {
    if (DisplayedSweeps.TotalEntries[c] == 0) {
      LastSampleCurve = c - 1;
      break;
    }
  }
}

void ReadRunCsvFile(const std::string& path) {
  // The file's bytes are held only while it is read.
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) {
    ClearDisplayedCounts();
    return;
  }
  ReadRunCsvText(bytes);
  bytes = std::string();
  platform::ReleaseFreedMemory();
}

void ReadRunCsvText(std::string_view text) {
  ClearDisplayedCounts();
  // The header line is read like the others: its names read as curve 0, point 0, and the
  // first point line then overwrites what it set.
  for (std::string_view line : platform::SplitTextLines(text)) {
    frame::SplitCsvLine(line);
    const std::string* f = frame::CsvFields;
    const int64_t curve = frame::ParseInteger(f[ColStep]);
    const int64_t entry = frame::ParseInteger(f[ColEntry]);
    // Lines that name a curve or point the display does not have are left out.
    if (curve < 0 || curve >= MaxCurves || entry < 0 || entry > LastDisplayedPoint) continue;
    const int c = static_cast<int>(curve);
    const int p = static_cast<int>(entry);

    if (DisplayedSweeps.TotalEntries[c] < p) DisplayedSweeps.TotalEntries[c] = p;

    if (p == 0) {
      RunSetupSnapshot& shown = ShownStepSetups[c];
      shown.CollectorMaxVoltage = frame::ParseReal(f[ColCollectorMaxVoltage]);
      shown.CollectorResistorOhms = frame::ParseReal(f[ColCollectorResistorOhms]);
      shown.CollectorMaxCurrent = frame::ParseReal(f[ColCollectorMaxCurrent]);
      shown.BaseGateOutputMode = f[ColBaseGateOutputMode];
      shown.BaseGateResistorOhms = frame::ParseReal(f[ColBaseGateResistorOhms]);
      shown.BaseGateOffsetCurrent = frame::ParseReal(f[ColBaseGateOffsetCurrent]);
      shown.BaseGateActiveCurrent = frame::ParseReal(f[ColBaseGateActiveCurrent]);
      shown.BaseGateOffsetVoltage = frame::ParseReal(f[ColBaseGateOffsetVoltage]);
      shown.BaseGateActiveVoltage = frame::ParseReal(f[ColBaseGateActiveVoltage]);
      shown.CollectorPulseLength = frame::ParseReal(f[ColCollectorPulseLength]);
      shown.BaseGatePulseLength = frame::ParseReal(f[ColBaseGatePulseLength]);
      shown.SampleRate = frame::ParseReal(f[ColSampleRate]);
      shown.BaseGateClampMode = f[ColBaseGateClampMode];
      if (c == 0) {
        RunInfoRecord& info = RunInfo;
        info.GraphType = ToInt32(frame::ParseInteger(f[ColGraphType]));
        info.GraphTitle = f[ColGraphTitle];
        info.Notes = f[ColNotes];
        info.Date = f[ColDate];
        info.Time = f[ColTime];
        info.ModelID = f[ColModelID];
        info.FirmwareID = f[ColFirmwareID];
        info.SerialID = f[ColSerialID];
        info.CalibrationDate = f[ColCalibrationDate];
      }
    }

    SweepPoint& point = DisplayedSweeps.Point[c][p];
    point.RunStatus = ToInt32(frame::ParseInteger(f[ColRunStatus]));
    point.VR_V = frame::ParseReal(f[ColVR]);
    point.VB_V = frame::ParseReal(f[ColVB]);
    point.VC_V = frame::ParseReal(f[ColVC]);
    point.IR_A = frame::ParseReal(f[ColIR]);
    point.IB_A = frame::ParseReal(f[ColIB]);
    point.IC_A = frame::ParseReal(f[ColIC]);
    point.TIB_A = frame::ParseReal(f[ColTIB]);
    point.TVB_V = frame::ParseReal(f[ColTVB]);
  }
}

}  // namespace zolt::tracer
