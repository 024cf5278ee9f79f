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
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <utility>
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

// What the last save could not write, each with why, reported after the lock.
struct PendingReport {
  std::string Title;
  std::string Text;
};
std::vector<PendingReport> PendingReports;

// A run the save could not write; `what` names the file and the cause, `copy` tells of
// the copy (empty when copies are off).
void NoteUnsaved(const std::string& what, const std::string& copy) {
  PendingReports.push_back({frame::Translate("Run file not saved"),
                            what + ". " + frame::Translate("The run stays on display.") + copy});
}

// Why the last file write failed, as the system tells it.
std::string Cause() { return ": " + platform::LastFileError(); }

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

// The run numbers a save tries, in order, each free when the folder was looked at: from one
// above the highest known up to the last run number, or, when the last is taken (a stray
// file named 9999.csv, say), from one above the highest run below the numbers taken at
// the top; then the free numbers below, so that no run is lost while a number is free.
std::vector<int32_t> RunNumbersToTry(int32_t highestKnown, const std::vector<bool>& used) {
  int32_t start = highestKnown + 1;
  if (start > LastRunNumber) {
    int32_t below = LastRunNumber;
    while (below >= 1 && used[static_cast<size_t>(below)]) --below;
    while (below >= 1 && !used[static_cast<size_t>(below)]) --below;
    start = std::max(below, 1) + 1;
  }
  std::vector<int32_t> numbers;
  for (int32_t n = start; n <= LastRunNumber; ++n)
    if (!used[static_cast<size_t>(n)]) numbers.push_back(n);
  for (int32_t n = 1; n < start; ++n)
    if (!used[static_cast<size_t>(n)]) numbers.push_back(n);
  return numbers;
}

// The names of those numbers, for WriteNewFile; `number` follows the name last given, so
// it holds the one taken.
std::function<std::string(int)> RunFileNamesOf(const std::vector<int32_t>& numbers, int32_t& number) {
  return [&numbers, &number](int k) {
    if (k >= static_cast<int>(numbers.size())) return std::string();
    number = numbers[static_cast<size_t>(k)];
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

// The copy of run `number` (saved as `path`, or in no file when empty) into the chosen
// folder; a file there under the run's name is kept. Returns the sentence that tells of
// it when it could not be written (the copy and why), else empty; `copied` gets the path
// written.
std::string SaveRunCopy(const std::string& text, int32_t number, const std::string& path, std::string& copied) {
  const std::string folder = frame::SettingFolderPath(frame::AppSettings.SaveCSVFileLocation);
  // A copy folder that is the run folder itself already holds the run.
  if (platform::SamePlace(folder.empty() ? "." : folder, SampleRunFolder)) return {};
  const std::string name = frame::MakeCsvFileName(number);
  std::string taken;
  if (platform::WriteNewFile(folder, text, CopyNamesOf(number), taken) != platform::NewFileResult::Written)
    return frame::Translate("The copy of the run could not be written to") + " " + folder + name + Cause() + ".";
  copied = folder + taken;
  if (taken != name) {
    const std::string of = path.empty() ? "the run" : path;
    LogSaved(copied, folder + name + " was there already and is kept; the copy of " + of + " was written as " + copied +
                         ".");
  }
  return {};
}

}  // namespace

void SaveRunCsvFile(const std::string& incomplete) {
  std::string text = RunFileText();

  // The run takes the first number free above the highest known; the folder is looked at
  // too, where only names of run numbers count. A number is taken only where its name is
  // free, so that no file is ever replaced: a name that another program took meanwhile,
  // or that a folder holds, is passed over.
  const std::vector<bool> used = frame::FindCsvNumbersInUse(SampleRunFolder);
  int32_t highest = std::clamp(SampleRunCount, 1, LastRunNumber);
  for (int32_t n = LastRunNumber; n > highest; --n) {
    if (used[static_cast<size_t>(n)]) {
      highest = n;
      break;
    }
  }
  const std::vector<int32_t> numbers = RunNumbersToTry(highest, used);
  int32_t number = numbers.empty() ? highest : numbers.front();
  std::string name;
  const bool copies = frame::ToLower(frame::AppSettings.SaveCSVFileEnabled) == "yes";
  std::string copied;
  const platform::NewFileResult result =
      platform::WriteNewFile(SampleRunFolder, text, RunFileNamesOf(numbers, number), name);
  switch (result) {
    case platform::NewFileResult::Written: {
      SampleRunNumber = number;
      SampleRunCount = number;
      DisplayedRunFile = number;
      const std::string path = SampleRunFolder + "/" + name;
      std::string saved = incomplete.empty() ? "The run was saved." : "The run was saved incomplete: " + incomplete + ".";
      if (number <= highest)
        saved += " No run number above " + std::to_string(highest) + " is free, so the run took the free number " +
                 std::to_string(number) + " below it.";
      LogSaved(path, saved);
      const std::string failed = copies ? SaveRunCopy(text, number, path, copied) : std::string();
      using frame::Translate;
      if (!failed.empty())
        PendingReports.push_back(
            {Translate("Run copy not saved"), Translate("The run was saved as") + " " + path + ". " + failed});
      break;
    }
    case platform::NewFileResult::NoNameFree:
    case platform::NewFileResult::Failed: {
      // The cause is taken before the copy, which keeps the run where the run folder cannot.
      const std::string what =
          result == platform::NewFileResult::Failed
              ? frame::Translate("The run could not be written to") + " " + SampleRunFolder + "/" +
                    frame::MakeCsvFileName(number) + Cause()
              : frame::Translate("There is no free run number left in") + " " + SampleRunFolder + "/";
      std::string copy = copies ? SaveRunCopy(text, number, "", copied) : std::string();
      if (!copied.empty()) copy = frame::Translate("A copy of the run was saved as") + " " + copied + ".";
      NoteUnsaved(what, copy.empty() ? copy : " " + copy);
      break;
    }
  }
  text = std::string();
  platform::ReleaseFreedMemory();
  platform::Delay(100);
}

void ReportUnsavedRunFiles() {
  std::vector<PendingReport> reports;
  reports.swap(PendingReports);
  for (const PendingReport& report : reports) frame::ReportMessage("Error", report.Title, report.Text);
}

// ---- loading ----
//
// A load shows what the file holds and nothing else: the display, the run-wide fields and
// the shown set-ups are cleared first; blank lines are no points; a point the file does
// not hold reads as not finite, which the graph leaves as a gap; and a file that names
// more steps or points than it holds is shown with what it holds, the user told once.

namespace {

// The longest run, 25 steps of 10,001 points, makes a file of about 35 MB: a file longer
// than this cannot be a run and is not read.
constexpr size_t LargestRunFile = size_t{64} << 20;
constexpr const char* LargestRunFileText = "64 MB";

// Which points of each curve the file holds, one bit a point.
constexpr int HeldWords = (DisplayedPointsPerCurve + 63) / 64;
uint64_t HeldPoints[MaxCurves][HeldWords];

bool Held(int c, int p) { return (HeldPoints[c][p >> 6] >> (p & 63)) & 1u; }
void Hold(int c, int p) { HeldPoints[c][p >> 6] |= uint64_t{1} << (p & 63); }

// The run on display before anything of a file is read: no points, and the fields a file
// sets back at their start values (the two ranges no file holds are kept).
void ClearShownRun() {
  for (int32_t& total : DisplayedSweeps.TotalEntries) total = 0;
  ++DisplayedSweepsRevision;
  RunInfoRecord info;
  info.TotalSteps = RunInfo.TotalSteps;
  info.RunSampleRate = RunInfo.RunSampleRate;
  RunInfo = info;
  for (RunSetupSnapshot& shown : ShownStepSetups) {
    RunSetupSnapshot cleared;
    cleared.CollectorCurrentRange = shown.CollectorCurrentRange;
    cleared.BaseGateRange = shown.BaseGateRange;
    shown = cleared;
  }
}

// Each line of the text that is not blank, until `read` gives false. A line ends at CR,
// LF, CR LF or NUL, so a CR LF at the end or CRs doubled by an editor make no line.
template <typename Read>
void ForEachLine(std::string_view text, Read read) {
  const size_t size = text.size();
  for (size_t begin = 0; begin < size;) {
    size_t end = begin;
    while (end < size && text[end] != '\r' && text[end] != '\n' && text[end] != '\0') ++end;
    const std::string_view line = text.substr(begin, end - begin);
    if (!frame::IsBlankLine(line) && !read(line)) return;
    begin = end + 1;
  }
}

// A line's cells 0..NamedColumns-1 as the CSV splitter takes them; cells the line does not
// reach are empty. A line without a double quote is cut at its commas in place; one with
// a quote goes through the splitter, whose fields the views then show until the next
// line.
using LineCells = std::string_view[NamedColumns];

void SplitRunFileLine(std::string_view line, LineCells& cells) {
  if (line.find('"') != std::string_view::npos) {
    frame::SplitCsvLine(line);
    for (int column = 0; column < NamedColumns; ++column) cells[column] = frame::CsvFields[column];
    return;
  }
  size_t at = 0;
  for (int column = 0; column < NamedColumns; ++column) {
    if (at > line.size()) {
      cells[column] = {};
      continue;
    }
    const size_t comma = std::min(line.find(',', at), line.size());
    cells[column] = line.substr(at, comma - at);
    at = comma + 1;
  }
}

// Whether a line is the header of a run file: its first cells are the first column names
// (a byte-order mark an editor put before them is passed over).
bool IsRunFileHeader(const LineCells& f) {
  std::string_view first = f[ColStep];
  if (first.starts_with("\xEF\xBB\xBF")) first.remove_prefix(3);
  return first == ColumnNames[ColStep] && f[ColTotalSteps] == ColumnNames[ColTotalSteps] &&
         f[ColEntry] == ColumnNames[ColEntry] && f[ColTotalEntries] == ColumnNames[ColTotalEntries];
}

int32_t ClampedInteger(std::string_view cell, int32_t low, int32_t high) {
  return static_cast<int32_t>(std::clamp<int64_t>(frame::ParseInteger(cell), low, high));
}

// The set-up cells of a step's first line, and the run-wide cells of the run's first.
void StoreStepSetup(int c, const LineCells& f) {
  RunSetupSnapshot& shown = ShownStepSetups[c];
  shown.CollectorMaxVoltage = frame::ParseStoredReal(f[ColCollectorMaxVoltage]);
  shown.CollectorResistorOhms = frame::ParseStoredReal(f[ColCollectorResistorOhms]);
  shown.CollectorMaxCurrent = frame::ParseStoredReal(f[ColCollectorMaxCurrent]);
  shown.BaseGateOutputMode = f[ColBaseGateOutputMode];
  shown.BaseGateResistorOhms = frame::ParseStoredReal(f[ColBaseGateResistorOhms]);
  shown.BaseGateOffsetCurrent = frame::ParseStoredReal(f[ColBaseGateOffsetCurrent]);
  shown.BaseGateActiveCurrent = frame::ParseStoredReal(f[ColBaseGateActiveCurrent]);
  shown.BaseGateOffsetVoltage = frame::ParseStoredReal(f[ColBaseGateOffsetVoltage]);
  shown.BaseGateActiveVoltage = frame::ParseStoredReal(f[ColBaseGateActiveVoltage]);
  shown.CollectorPulseLength = frame::ParseStoredReal(f[ColCollectorPulseLength]);
  shown.BaseGatePulseLength = frame::ParseStoredReal(f[ColBaseGatePulseLength]);
  shown.SampleRate = frame::ParseStoredReal(f[ColSampleRate]);
  shown.BaseGateClampMode = f[ColBaseGateClampMode];
  if (c != 0) return;
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

// A value cell left empty (a line cut short) holds no value either.
double PointValueCell(std::string_view cell) {
  return cell.empty() ? std::numeric_limits<double>::quiet_NaN() : frame::ParseStoredReal(cell);
}

void StorePoint(SweepPoint& point, const LineCells& f) {
  point.RunStatus = ToInt32(frame::ParseInteger(f[ColRunStatus]));
  point.VR_V = PointValueCell(f[ColVR]);
  point.VB_V = PointValueCell(f[ColVB]);
  point.VC_V = PointValueCell(f[ColVC]);
  point.IR_A = PointValueCell(f[ColIR]);
  point.IB_A = PointValueCell(f[ColIB]);
  point.IC_A = PointValueCell(f[ColIC]);
  point.TIB_A = PointValueCell(f[ColTIB]);
  point.TVB_V = PointValueCell(f[ColTVB]);
}

// Fills the gaps of the points on display with missing points, and counts what the
// file's lines name against what it holds.
RunFileShortfall CloseGaps(int32_t namedLastStep, const int32_t (&namedLastEntry)[MaxCurves]) {
  RunFileShortfall shortfall;
  shortfall.StepsNamed = namedLastStep + 1;
  const SweepPoint missing = MissingSweepPoint();
  for (int c = 0; c < MaxCurves; ++c) {
    const int32_t last = std::max(DisplayedSweeps.TotalEntries[c], 0);
    const int32_t named = namedLastEntry[c];
    bool anyHeld = false;
    int64_t heldNamed = 0;
    for (int32_t p = 0; p <= std::max(last, named); ++p) {
      const bool held = Held(c, p);
      if (!held && p <= last) DisplayedSweeps.Point[c][p] = missing;
      anyHeld |= held;
      heldNamed += held && p <= named;
    }
    if (!anyHeld) {
      shortfall.StepsMissing += c <= namedLastStep;
    } else if (named >= 0) {
      shortfall.PointsNamed += named + 1;
      shortfall.PointsMissing += named + 1 - heldNamed;
    }
  }
  return shortfall;
}

// What was told of each file, so that a file is told once while the program runs, however
// often it is visited: keyed by the file's version, its path and the text.
std::set<std::string> Told;

void TellOnce(const std::string& path, const std::string& type, const std::string& title, const std::string& text) {
  if (Told.insert(platform::FileVersion(path) + "\n" + type + "\n" + title + "\n" + text).second)
    frame::ReportMessage(type, title, text);
}

void ReportShortfall(const std::string& path, const RunFileShortfall& s) {
  using frame::Translate;
  std::string missing;
  if (s.StepsMissing > 0)
    missing += std::to_string(s.StepsMissing) + " " + Translate("of") + " " + std::to_string(s.StepsNamed) + " " +
               Translate("steps missing");
  if (s.PointsMissing > 0)
    missing += (missing.empty() ? "" : ", ") + std::to_string(s.PointsMissing) + " " + Translate("of") + " " +
               std::to_string(s.PointsNamed) + " " + Translate("points missing");
  TellOnce(path, "Warning", Translate("Run file incomplete"),
           path + " " + Translate("holds less than it names") + ": " + missing + ". " + Translate("What it holds is shown."));
}

}  // namespace

void LoadSampleRun() {
  if (SampleRunNumber > SampleRunCount) {
    SampleRunCount = frame::FindHighestCsvNumber(SampleRunFolder);
    if (SampleRunNumber > SampleRunCount) SampleRunNumber = SampleRunCount;
  }
  if (SampleRunNumber < 1) SampleRunNumber = 1;

  const bool read = ReadRunCsvFile(SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber));
  DisplayedRunFile = read ? SampleRunNumber : NoRunFile;

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

bool ReadRunCsvFile(const std::string& path) {
  // The file's bytes are held only while it is read. A file that is missing, too long to
  // be a run or holding none leaves the display cleared.
  std::string bytes;
  const platform::FileRead read = platform::ReadFileBytesUpTo(path, bytes, LargestRunFile);
  const std::string cause = read == platform::FileRead::CannotOpen ? platform::LastFileError() : std::string();
  const RunFileShortfall shortfall = ReadRunCsvText(read == platform::FileRead::Done ? bytes : std::string_view());
  bytes = std::string();
  platform::ReleaseFreedMemory();
  using frame::Translate;
  if (read == platform::FileRead::TooLarge) {
    TellOnce(path, "Error", Translate("Run file not loaded"),
             path + ": " + Translate("too large to be a run file") + " (> " + LargestRunFileText + ").");
  } else if (read == platform::FileRead::CannotOpen && (platform::FileExists(path) || platform::FolderExists(path))) {
    // A name that is there but cannot be read (no permission, a folder in its place) says why.
    TellOnce(path, "Error", Translate("Run file not loaded"), path + ": " + cause + ".");
  } else if (read == platform::FileRead::Done && !shortfall.HoldsRun) {
    TellOnce(path, "Warning", Translate("Run file not loaded"), path + ": " + Translate("holds no run") + ".");
  } else if (shortfall.StepsMissing > 0 || shortfall.PointsMissing > 0) {
    ReportShortfall(path, shortfall);
  }
  return read == platform::FileRead::Done && shortfall.HoldsRun;
}

RunFileShortfall ReadRunCsvText(std::string_view text) {
  ClearShownRun();
  std::memset(HeldPoints, 0, sizeof HeldPoints);
  int32_t namedLastStep = -1;
  int32_t namedLastEntry[MaxCurves];
  std::fill(std::begin(namedLastEntry), std::end(namedLastEntry), -1);
  bool firstLine = true;
  bool anyPoint = false;
  LineCells f;

  ForEachLine(text, [&](std::string_view line) {
    SplitRunFileLine(line, f);
    // A file that does not begin with the header is no run file; the header holds no
    // point, nor does any other line without a step and a point number.
    if (std::exchange(firstLine, false) && !IsRunFileHeader(f)) return false;
    if (!frame::BeginsWithNumber(f[ColStep]) || !frame::BeginsWithNumber(f[ColEntry])) return true;
    const int64_t curve = frame::ParseInteger(f[ColStep]);
    const int64_t entry = frame::ParseInteger(f[ColEntry]);
    // Lines that name a curve or point the display does not have are left out.
    if (curve < 0 || curve >= MaxCurves || entry < 0 || entry > LastDisplayedPoint) return true;
    const int c = static_cast<int>(curve);
    const int p = static_cast<int>(entry);

    namedLastStep = std::max(namedLastStep, ClampedInteger(f[ColTotalSteps], -1, MaxCurves - 1));
    namedLastEntry[c] = std::max(namedLastEntry[c], ClampedInteger(f[ColTotalEntries], -1, LastDisplayedPoint));
    if (DisplayedSweeps.TotalEntries[c] < p) DisplayedSweeps.TotalEntries[c] = p;
    if (p == 0) StoreStepSetup(c, f);
    StorePoint(DisplayedSweeps.Point[c][p], f);
    Hold(c, p);
    anyPoint = true;
    return true;
  });
  RunFileShortfall shortfall = CloseGaps(namedLastStep, namedLastEntry);
  shortfall.HoldsRun = anyPoint;
  return shortfall;
}

}  // namespace zolt::tracer
