// Run files and sample runs: the exact bytes of a saved run, a save read back whole,
// run numbering, a folder that cannot be written, lines the display cannot hold, and
// damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"
#include "support/window_script.h"
#include "tracer/graph_title.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

constexpr const char* Header =
    "Step,TotalSteps,Entry,TotalEntries,RunStatus,VR_V,VB_V,VC_V,IR_A,IB_A,IC_A,TIB_A,TVB_V,"
    "CollectorMaxVoltage,CollectorResistorOhms,CollectorMaxCurrent,BaseGateOutputMode,"
    "BaseGateResistorOhms,BaseGateOffsetCurrent,BaseGateActiveCurrent,BaseGateOffsetVoltage,"
    "BaseGateActiveVoltage,CollectorPulseLength,BaseGatePulseLength,SampleRate,"
    "BaseGateClampMode,GraphType,GraphTitle,Notes,Date,Time,ModelID,FirmwareID,SerialID,"
    "CalibrationDate,,,,,";

// A line of 40 cells from the cells given, the rest empty.
std::string Line(std::vector<std::string> cells) {
  cells.resize(40);
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + cells[i];
  return line + "\r\n";
}

// True when the text has the shape of the mask, where '9' stands for any digit.
bool Shaped(const std::string& text, const std::string& mask) {
  if (text.size() != mask.size()) return false;
  for (size_t i = 0; i < mask.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (mask[i] == '9' ? !digit : text[i] != mask[i]) return false;
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start + 2));
  return lines;
}

class RunFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    frame::AppSettings = {};
    frame::AppSettings.SaveCSVFileEnabled = "No";
    RunInfo = {};
    TestSetup = {};
    for (StepSetup& entry : StepSetups) entry = {};
    for (int c = 0; c < MaxCurves; ++c) {
      DisplayedSweeps.TotalEntries[c] = 0;
      ShownStepSetups[c] = {};
    }
    SampleRunNumber = 1;
    SampleRunCount = 1;
    testing::MakeFolder(SampleRunFolder);
  }

  testing::TempFolder folder;

  // A run of two steps: step 0 holds points 0 and 1, step 1 holds point 0 only.
  void MakeSmallRun() {
    RunInfo.TotalSteps = 1;
    RunInfo.GraphType = 100;
    RunInfo.GraphTitle = "Gain, NPN";
    RunInfo.Notes = "Notes here";
    RunInfo.ModelID = "KVR820";
    RunInfo.FirmwareID = "502-2.s";
    RunInfo.SerialID = "0X0X0X";
    RunInfo.CalibrationDate = "unknown";
    RunInfo.RunSampleRate = 50.0;
    for (int s = 0; s < 2; ++s) {
      StepSetup& e = StepSetups[s];
      e.CollectorMaxVoltage = 30.0;
      e.CollectorResistorOhms = 2550.0;
      e.CollectorMaxCurrent = 0.01;
      e.BaseGateOutputMode = "I";
      e.BaseGateResistorOhms = 27000.0;
      e.BaseGateActiveCurrent = 1e-5 * s;
      e.CollectorPulseLength = 0.0003;
      e.BaseGateClampMode = "ClampOnIdle";
    }
    DisplayedSweeps.TotalEntries[0] = 1;
    DisplayedSweeps.TotalEntries[1] = 0;
    SweepPoint& a = DisplayedSweeps.Point[0][0];
    a = {};
    a.RunStatus = 6;
    a.VC_V = 1.0 / 3.0;
    a.VR_V = 0.5;
    a.VB_V = -0.7;
    a.IC_A = 0.001;
    SweepPoint& b = DisplayedSweeps.Point[0][1];
    b = {};
    b.RunStatus = 2;
    b.VC_V = 2.0;
    b.IC_A = 1.5e-12;
    SweepPoint& c = DisplayedSweeps.Point[1][0];
    c = {};
    c.RunStatus = 2;
    c.TIB_A = 1e-5;
  }
};

TEST_F(RunFileTest, SavedFileHoldsTheExactColumns) {
  MakeSmallRun();
  SaveRunCsvFile();
  EXPECT_EQ(SampleRunNumber, 2);
  const std::vector<std::string> lines = Lines(testing::ReadFile("sampleruns_KVR/0002.csv"));
  ASSERT_EQ(lines.size(), 4u);

  // Date and time of saving, in their fixed forms.
  const std::string first = lines[1];
  const size_t at = first.find(",Notes here,");
  ASSERT_NE(at, std::string::npos);
  const std::string date = first.substr(at + 12, 10);
  const std::string time = first.substr(at + 23, 8);
  EXPECT_TRUE(Shaped(date, "99/99/9999")) << date;
  EXPECT_TRUE(Shaped(time, "99:99:99")) << time;

  EXPECT_EQ(lines[0], std::string(Header) + "\r\n");
  EXPECT_EQ(first, Line({"0", "1", "0", "1", "6", "0.5", "-0.7", "0.3333333333", "0", "0", "0.001",
                         "0", "0", "30", "2550", "0.01", "I", "27000", "0", "0", "0", "0",
                         "0.0003", "0", "50", "ClampOnIdle", "100", "\"Gain, NPN\"",
                         "Notes here", date, time, "KVR820", "502-2.s", "0X0X0X",
                         "unknown"}));
  EXPECT_EQ(lines[2], Line({"0", "1", "1", "1", "2", "0", "0", "2", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(lines[3], Line({"1", "1", "0", "0", "2", "0", "0", "0", "0", "0", "0", "0.00001",
                            "0", "30", "2550", "0.01", "I", "27000", "0", "0.00001", "0", "0",
                            "0.0003", "0", "50", "ClampOnIdle"}));
}

TEST_F(RunFileTest, SavedRunLoadsBackWhole) {
  MakeSmallRun();
  ShownStepSetups[0].CollectorCurrentRange = 2;  // not in the file: kept
  SaveRunCsvFile();
  const SweepPoint saved = DisplayedSweeps.Point[0][0];

  for (int c = 0; c < MaxCurves; ++c) DisplayedSweeps.TotalEntries[c] = 7;
  DisplayedSweeps.Point[0][0] = {};
  RunInfo = {};
  LoadSampleRun();

  EXPECT_EQ(SampleRunNumber, 2);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 1);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[1], 0);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[2], 0);
  const SweepPoint& p = DisplayedSweeps.Point[0][0];
  EXPECT_EQ(p.RunStatus, saved.RunStatus);
  EXPECT_NEAR(p.VC_V, saved.VC_V, 1e-10);
  EXPECT_EQ(p.VB_V, saved.VB_V);
  EXPECT_EQ(p.IC_A, saved.IC_A);
  EXPECT_EQ(DisplayedSweeps.Point[0][1].IC_A, 0.0);  // 1.5e-12 is below ten decimals
  EXPECT_EQ(DisplayedSweeps.Point[1][0].TIB_A, 1e-5);

  EXPECT_EQ(RunInfo.GraphTitle, "Gain, NPN");
  EXPECT_EQ(GraphTitleText, "Gain, NPN");
  EXPECT_EQ(RunInfo.GraphType, 100);
  EXPECT_EQ(TestConfiguration, 100);
  EXPECT_EQ(RunInfo.ModelID, "KVR820");
  EXPECT_EQ(RunInfo.CalibrationDate, "unknown");
  EXPECT_EQ(ShownStepSetups[1].BaseGateActiveCurrent, 1e-5);
  EXPECT_EQ(ShownStepSetups[1].SampleRate, 50.0);
  EXPECT_EQ(ShownStepSetups[0].BaseGateClampMode, "ClampOnIdle");
  EXPECT_EQ(ShownStepSetups[0].CollectorCurrentRange, 2);
  EXPECT_EQ(LastSampleCurve, 0);  // curve 1 holds a single point
}

TEST_F(RunFileTest, LongestRunIsSavedAndLoadedBackWhole) {
  // 25 sweeps of 10,001 points, every value distinct and exact in ten decimals (n / 1024).
  constexpr int Last = AcquiredPointsPerCurve - 1;
  auto value = [](int s, int e, int field) { return ((s * 10001 + e) * 8 + field - 40000) / 1024.0; };
  auto fill = [&](SweepPoint& p, int s, int e) {
    double* fields[] = {&p.VR_V, &p.VB_V, &p.VC_V, &p.IR_A, &p.IB_A, &p.IC_A, &p.TIB_A, &p.TVB_V};
    for (int f = 0; f < 8; ++f) *fields[f] = value(s, e, f);
    p.RunStatus = (s + e) % 0x8000;
  };
  RunInfo.TotalSteps = MaxCurves - 1;
  for (int s = 0; s < MaxCurves; ++s) {
    DisplayedSweeps.TotalEntries[s] = Last;
    for (int e = 0; e <= Last; ++e) fill(DisplayedSweeps.Point[s][e], s, e);
  }
  SaveRunCsvFile();
  const std::string text = testing::ReadFile("sampleruns_KVR/0002.csv");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + MaxCurves * (Last + 1));
  EXPECT_EQ(text.compare(text.rfind("\r\n24,") + 2, 18, "24,24,10000,10000,"), 0);

  for (auto& curve : DisplayedSweeps.Point) std::fill(std::begin(curve), std::end(curve), SweepPoint{});
  LoadSampleRun();
  EXPECT_EQ(LastSampleCurve, MaxCurves - 1);
  int wrong = 0;
  for (int s = 0; s < MaxCurves; ++s) {
    EXPECT_EQ(DisplayedSweeps.TotalEntries[s], Last);
    for (int e = 0; e <= Last && wrong < 5; ++e) {
      SweepPoint expected;
      fill(expected, s, e);
      if (!(DisplayedSweeps.Point[s][e] == expected)) ADD_FAILURE() << "point " << s << "/" << e << " (" << ++wrong << ")";
    }
  }
}

TEST_F(RunFileTest, HeaderOnlyFileHoldsNoRunAndSaysSoOnce) {
  testing::WriteFile("sampleruns_KVR/0001.csv", std::string(Header) + "\r\n");
  TestConfiguration = 300;
  LoadSampleRun();
  LoadSampleRun();
  EXPECT_EQ(RunInfo.GraphTitle, "");
  EXPECT_EQ(RunInfo.GraphType, 0);
  EXPECT_EQ(TestConfiguration, 100);  // 0 clamped on applying
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 0);
  EXPECT_EQ(ShownStepSetups[0].BaseGateOutputMode, "");
  EXPECT_EQ(DisplayedRunFile, NoRunFile);
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Text, "sampleruns_KVR/0001.csv: holds no run.");
}

TEST_F(RunFileTest, RunsAreNumberedAboveTheHighestKnown) {
  // No run files: the scan gives 1, loading asks for run 1 and the first save is run 2.
  SampleRunNumber = 9999;
  LoadSampleRun();
  EXPECT_EQ(SampleRunNumber, 1);
  EXPECT_EQ(SampleRunCount, 1);
  MakeSmallRun();
  SaveRunCsvFile();
  SaveRunCsvFile();
  EXPECT_TRUE(testing::Exists("sampleruns_KVR/0002.csv"));
  EXPECT_TRUE(testing::Exists("sampleruns_KVR/0003.csv"));
  EXPECT_EQ(SampleRunNumber, 3);
  EXPECT_EQ(SampleRunCount, 3);

  // Runs 1..12 on disk: the newest is shown, the next save is 13.
  for (int n = 4; n <= 12; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "sampleruns_KVR/%04d.csv", n);
    testing::WriteFile(name, std::string(Header) + "\r\n");
  }
  SampleRunNumber = 9999;
  SampleRunCount = 1;
  LoadSampleRun();
  EXPECT_EQ(SampleRunNumber, 12);
  SampleRunNumber = 0;
  LoadSampleRun();
  EXPECT_EQ(SampleRunNumber, 1);
  SaveRunCsvFile();
  EXPECT_EQ(SampleRunNumber, 13);
}

TEST_F(RunFileTest, SaveNeverOverwritesARunItDidNotKnow) {
  testing::WriteFile("sampleruns_KVR/0005.csv", "kept");
  SampleRunCount = -1;  // no scan yet
  MakeSmallRun();
  SaveRunCsvFile();
  EXPECT_EQ(SampleRunNumber, 6);
  EXPECT_EQ(testing::ReadFile("sampleruns_KVR/0005.csv"), "kept");
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0001.csv"));

  // A name whose number is no run number counts for nothing.
  testing::WriteFile("sampleruns_KVR/0001.csv", "kept");
  testing::WriteFile("sampleruns_KVR/20240101123456.csv", "");
  SaveRunCsvFile();
  EXPECT_EQ(testing::ReadFile("sampleruns_KVR/0001.csv"), "kept");
  EXPECT_EQ(SampleRunNumber, 7);
  EXPECT_EQ(SampleRunCount, 7);
  ReportUnsavedRunFiles();
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

TEST_F(RunFileTest, UnwritableRunFileIsReportedAndTheRunStaysOnDisplay) {
  std::filesystem::remove_all(SampleRunFolder);  // the program creates no folders
  MakeSmallRun();
  SampleRunNumber = 4;
  SampleRunCount = 7;
  SaveRunCsvFile();
  EXPECT_EQ(SampleRunNumber, 4);  // numbers as they were, so the next save tries again
  EXPECT_EQ(SampleRunCount, 7);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 1);
  EXPECT_EQ(DisplayedSweeps.Point[0][1].VC_V, 2.0);

  ASSERT_TRUE(platform::headless::MessagesShown().empty());  // not while the lock is held
  ReportUnsavedRunFiles();
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Title.rfind("Error", 0), 0u);
  EXPECT_NE(shown[0].Text.find("sampleruns_KVR/0008.csv"), std::string::npos);
  ReportUnsavedRunFiles();  // reported once
  EXPECT_EQ(platform::headless::MessagesShown().size(), 1u);
}

TEST_F(RunFileTest, CopyGoesToTheChosenFolderAndAFailedCopyIsReported) {
  MakeSmallRun();
  frame::AppSettings.SaveCSVFileEnabled = "YES";
  frame::AppSettings.SaveCSVFileLocation = "copies\\";
  testing::MakeFolder("copies");
  SaveRunCsvFile();
  EXPECT_EQ(testing::ReadFile("copies/0002.csv"), testing::ReadFile("sampleruns_KVR/0002.csv"));

  frame::AppSettings.SaveCSVFileLocation = "missing\\";
  SaveRunCsvFile();
  EXPECT_EQ(SampleRunNumber, 3);  // the run itself was saved
  ReportUnsavedRunFiles();
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].Text.find("missing/0003.csv"), std::string::npos);

  std::filesystem::remove_all(SampleRunFolder);  // neither written: one box tells of both
  SaveRunCsvFile();
  ReportUnsavedRunFiles();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].Text.find("on display. The copy of the run could not be written to missing/0004.csv"), std::string::npos);
}

// Saves into folders that lack features or room, or that hold stray names, and then the
// title's Update of the run saved: no run is lost while it can be written, no file is
// replaced or left half-written, and what fails is told with the system's cause.
TEST_F(RunFileTest, SavesOnEveryFolderReplaceNothingAndTellWhyTheyFail) {
  constexpr unsigned Poor = platform::FaultNoRenameNoReplace | platform::FaultNoHardLink;
  constexpr unsigned Full = platform::FaultDiskFull;
  struct Row {
    const char* Name;
    const char* FaultyFolder;
    unsigned Faults;       // while the run is saved
    unsigned TitleFaults;  // in the run folder while the title is updated
    const char* Stray;     // a file in the run folder before
    bool Saved, Copied;
    unsigned Mode;       // given to the run file before the Update; 0: as written
    const char* Logged;  // the run file's name and text in the log
    size_t Boxes;
  } rows[] = {
      {"no rename without replace", "copies", platform::FaultNoRenameNoReplace, 0, "", true, true, 0, "0002.csv,The run was saved.", 0},
      {"no link either", "copies", Poor, 0, "", true, true, 0, "0002.csv,The run was saved.", 0},
      {"no link in the run folder", "sampleruns_KVR", Poor, 0, "", true, true, 0, "0002.csv,The run was saved.", 0},
      {"copy folder full", "copies", Full, 0, "", true, false, 0,
       "The run was saved as sampleruns_KVR/0002.csv. The copy of the run could not be written to "
       "copies/0002.csv: No space left on device.", 1},
      {"copy folder full, no link", "copies", Poor | Full, 0, "", true, false, 0, "copies/0002.csv: No space left on device.", 1},
      {"run folder full", "sampleruns_KVR", Full, 0, "", false, true, 0,
       "sampleruns_KVR/0002.csv: No space left on device. The run stays on display. A copy of the run was saved as "
       "copies/0002.csv.", 1},
      {"run folder full, no link", "sampleruns_KVR", Poor | Full, 0, "", false, true, 0, "0002.csv: No space left", 1},
      {"stray 9999.csv", "", 0, 0, "9999.csv", true, true, 0, "so the run took the free number 2 below it.", 0},
      {"a name like a date", "", 0, 0, "20240101123456.csv", true, true, 0, "0002.csv,The run was saved.", 0},
      {"protected run file", "", 0, 0, "", true, true, 0444,
       "The title could not be written into sampleruns_KVR/0002.csv: Permission denied. The graph shows the title the "
       "file holds.", 1},
      {"its mode kept", "", 0, 0, "", true, true, 0640, "0002.csv,The run was saved.", 0},
      {"full disk for the title", "", 0, Full, "", true, true, 0, "0002.csv: No space left on device.", 1},
  };
  MakeSmallRun();
  frame::AppSettings.SaveCSVFileEnabled = "Yes";
  frame::AppSettings.SaveCSVFileLocation = "copies\\";
  const std::string run = "sampleruns_KVR/0002.csv", copy = "copies/0002.csv";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    for (const char* name : {"sampleruns_KVR", "copies", "log.txt"}) std::filesystem::remove_all(name);
    testing::MakeFolder(SampleRunFolder);
    testing::MakeFolder("copies");
    if (*row.Stray) testing::WriteFile(SampleRunFolder + "/" + row.Stray, "run");
    platform::headless::Reset();
    SampleRunCount = -1;
    DisplayedRunFile = UnsavedRun;
    GraphTitleText = "Gain, NPN";
    platform::SetFileFaults(row.FaultyFolder, row.Faults);
    SaveRunCsvFile();
    ReportUnsavedRunFiles();
    const std::string saved = row.Saved ? testing::ReadFile(run) : "";
    if (row.Mode) ::chmod(run.c_str(), row.Mode);
    struct stat before {}, after {};
    ::stat(run.c_str(), &before);
    platform::SetFileFaults(SampleRunFolder, row.TitleFaults);
    testing::ScriptWindow(GraphTitleWindow, {[] { platform::headless::TypeIntoGadget(303, "New"); },
                                             [] { platform::headless::ClickGadget(305); }});
    OpenGraphTitleWindow();
    platform::headless::SetWaitHook(nullptr);
    platform::SetFileFaults("", 0);

    const bool titled = row.Saved && !row.TitleFaults && row.Mode != 0444;
    EXPECT_EQ(GraphTitleText, titled || !row.Saved ? "New" : "Gain, NPN");
    EXPECT_EQ(std::filesystem::exists(run), row.Saved);
    if (row.Saved) {
      EXPECT_EQ(testing::ReadFile(run).find(",New,") != std::string::npos, titled);
      EXPECT_EQ(::stat(run.c_str(), &after), 0);
      EXPECT_EQ(after.st_mode, before.st_mode);
    }
    EXPECT_EQ(std::filesystem::exists(copy), row.Copied);
    if (row.Copied) {
      const std::string copied = testing::ReadFile(copy);
      EXPECT_TRUE(row.Saved ? copied == saved : copied.starts_with("Step,TotalSteps,"));
    }
    // Nothing else is left in either folder: no temporary file, no half-written one.
    EXPECT_EQ(platform::ListFolder(SampleRunFolder).size(), (*row.Stray ? 1u : 0u) + row.Saved);
    EXPECT_EQ(platform::ListFolder("copies").size(), row.Copied ? 1u : 0u);
    EXPECT_NE(testing::ReadFile("log.txt").find(row.Logged), std::string::npos) << testing::ReadFile("log.txt");
    EXPECT_EQ(platform::headless::MessagesShown().size(), row.Boxes);
  }
}

TEST_F(RunFileTest, LinesOutsideTheDisplayAreSkipped) {
  testing::WriteFile("sampleruns_KVR/0001.csv",
                     std::string(Header) + "\r\n" +
                         Line({"0", "2", "0", "1", "6", "0", "0", "1.5"}) +
                         Line({"25", "2", "3", "1", "6", "0", "0", "9"}) +
                         Line({"-1", "2", "4", "1", "6", "0", "0", "9"}) +
                         Line({"1", "2", "32001", "1", "6", "0", "0", "9"}) +
                         Line({"1", "2", "-2", "1", "6", "0", "0", "9"}) +
                         Line({"1", "2", "32000", "1", "6", "0", "0", "4.5"}));
  LoadSampleRun();
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 0);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[1], 32000);
  EXPECT_EQ(DisplayedSweeps.Point[0][0].VC_V, 1.5);
  EXPECT_EQ(DisplayedSweeps.Point[1][32000].VC_V, 4.5);
  EXPECT_EQ(LastSampleCurve, -1);
}


TEST_F(RunFileTest, DamagedFilesShowWhatTheyHoldAndTellWhatIsMissing) {
  // Step 0 holds points 0..3, point 2 not finite; step 1 holds point 0.
  MakeSmallRun();
  DisplayedSweeps.TotalEntries[0] = 3;
  DisplayedSweeps.Point[0][2] = {0, NAN, NAN, -INFINITY, INFINITY};
  DisplayedSweeps.Point[0][3] = {0, 3.0};
  SaveRunCsvFile();
  const std::string good = testing::ReadFile("sampleruns_KVR/0002.csv");
  testing::WriteFile("sampleruns_KVR/0004.csv", good);
  const size_t header = good.find("\r\n"), line1 = good.find("\r\n0,1,1,") + 2, line3 = good.find("\r\n0,1,3,") + 2;
  std::string doubled = good;
  for (size_t at = 0; (at = doubled.find("\r\n", at)) != std::string::npos; at += 3) doubled.insert(at, "\r");

  struct Row {
    const char* Name;
    std::string Text;  // none: no file
    uintmax_t Size;    // above the text's, when larger; 1: a folder, ~0: a pipe
    int Total0;
    double PointOneVc;  // NaN: a gap
    bool Kept;          // title and set-up shown
    const char* Told;
  } rows[] = {
      {"as written", good, 0, 3, 2.0, true, nullptr},
      {"blank lines", good.substr(0, header) + "\r\n \r\n" + good.substr(header) + "\r\n", 0, 3, 2.0, true, nullptr},
      {"doubled CRs", doubled, 0, 3, 2.0, true, nullptr},
      {"missing line", good.substr(0, line1) + good.substr(good.find("\r\n", line1) + 2), 0, 3, NAN, true,
       "0003.csv holds less than it names: 1 of 5 points missing"},
      {"cut short", good.substr(0, line3 + 10), 0, 3, 2.0, true, "1 of 2 steps missing."},
      {"too large", "x", uintmax_t{65} << 20, 0, NAN, false, "0003.csv: too large to be a run file"},
      {"no file", "", 0, 0, NAN, false, nullptr},
      {"a folder in its place", "", 1, 0, NAN, false, "0003.csv: Is a directory."},
      {"a pipe nothing writes to", "", ~uintmax_t{0}, 0, NAN, false, "0003.csv: holds no run."},
      {"junk", "\x9b" + good.substr(line1), 0, 0, NAN, false, "0003.csv: holds no run."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::filesystem::remove("sampleruns_KVR/0003.csv");
    if (!row.Text.empty()) testing::WriteFile("sampleruns_KVR/0003.csv", row.Text);
    if (row.Size == ~uintmax_t{0}) ASSERT_EQ(::mkfifo("sampleruns_KVR/0003.csv", 0600), 0);
    else if (row.Size == 1) testing::MakeFolder("sampleruns_KVR/0003.csv");
    else if (row.Size) std::filesystem::resize_file("sampleruns_KVR/0003.csv", row.Size);
    DisplayedSweeps.Point[0][1].VC_V = 7.0;  // the run shown before
    const size_t told = platform::headless::MessagesShown().size();
    for (int visit = 0; visit < 2; ++visit) {  // told once
      SampleRunNumber = 3;
      LoadSampleRun();
    }
    EXPECT_EQ(DisplayedSweeps.TotalEntries[0], row.Total0);
    const SweepPoint* points = DisplayedSweeps.Point[0];
    if (row.Total0 > 0) {
      EXPECT_TRUE(points[1].VC_V == row.PointOneVc || std::isnan(points[1].VC_V + row.PointOneVc)) << points[1].VC_V;
      EXPECT_TRUE(std::isnan(points[2].VR_V) && points[2].VB_V == -INFINITY && points[2].IC_A == INFINITY);
    }
    EXPECT_EQ(GraphTitleText, row.Kept ? "Gain, NPN" : "");
    EXPECT_EQ(ShownStepSetups[0].CollectorMaxVoltage, row.Kept ? 30.0 : 0.0);
    // Gaps stretch no axis and give no value at a cursor, but keep their place.
    GraphSettings.XQuantity = "VC";
    GraphSettings.YQuantity = "IC";
    ComputeCurveExtents(2.5, 2.5);
    EXPECT_TRUE(std::isfinite(XAxis.Min + XAxis.Max + YAxis.Min + YAxis.Max + YAtCursorXA[0]));
    EXPECT_EQ(GraphPlotData.ValidPoints[0], row.Total0);
    const auto& shown = platform::headless::MessagesShown();
    ASSERT_EQ(shown.size(), told + (row.Told ? 1 : 0));
    if (row.Told) {
      EXPECT_NE(shown.back().Text.find(row.Told), std::string::npos) << shown.back().Text;
    }
  }
}

}  // namespace
}  // namespace zolt::tracer
