// The direct-entry and graph-title windows, opened from their zones and worked through
// scripted gadget events: what each keeps, how each closes, and the run file's title.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/app.h"
#include "frame/csv.h"
#include "frame/settings.h"
#include "platform/gui_headless.h"
#include "screen/format.h"
#include "screen/hot_zones.h"
#include "support/temp_folder.h"
#include "support/window_script.h"
#include "tracer/direct_entry.h"
#include "tracer/dispatch.h"
#include "tracer/graph_title.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::tracer {
namespace {

namespace headless = platform::headless;
using testing::ScriptWindow;
using Steps = std::vector<testing::Step>;

void Press(int32_t zone) {
  screen::ClickedZone = zone;
  screen::PointerState.LeftMouseDown = 1;
  ControlDispatch();
}

// Another window of the program takes the activation.
void Leave(int window) {
  platform::SetActiveWindow(frame::MainWindow);
  headless::PushEvent({platform::EventType::Deactivate, window, -1, {}});
}

// Saves a run of one curve, `dataLines` lines after the heading, as a run ends.
std::string SaveRun(int dataLines, const std::string& title) {
  GraphTitleText = title;
  TestSetup.NumberOfSteps = 0;
  for (int32_t& total : DisplayedSweeps.TotalEntries) total = 0;
  DisplayedSweeps.TotalEntries[0] = dataLines - 1;
  PrepareRunRecord();
  SaveRunCsvFile();
  return SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber);
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    ASSERT_TRUE(platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "main", 0));
    TestSetup = {};
    RecalculateTestSetup();
    frame::FrameLoopState = {};
    frame::AppSettings = {};
    frame::AppSettings.SaveCSVFileEnabled = "No";
    SampleRunNumber = SampleRunCount = 1;
    testing::MakeFolder(SampleRunFolder);
  }
  testing::TempFolder folder;
};

TEST_F(WindowsTest, DirectEntryStoresTypedValuesInTheirUnits) {
  struct Case {
    const char* mode;
    std::vector<std::pair<int, const char*>> used;  // a field and the text typed, or a box
    double voltage, current, step, offset;
    std::vector<int32_t> flags;
  };
  const Case cases[] = {
      {"I", {{306, "5"}, {308, "-0.1"}}, 5, 0.1, 0, 0, {1, 1, 0, 0}},
      {"I", {{306, "-5"}, {308, "0.1"}}, -5, -0.1, 0, 0, {1, 1, 0, 0}},
      {"I", {{312, nullptr}, {310, "250"}, {316, "abc"}}, 0, 0, 0.00025, 0, {0, 0, 1, 1}},
      {"V", {{321, nullptr}, {316, "2"}, {310, "20"}}, 0, 0, 0.02, 2, {0, 0, 1, 1}},
      // "Use Direct" twice changes nothing; typing after clearing it switches it on again.
      {"I", {{309, nullptr}, {309, nullptr}, {307, nullptr}}, 0, 0, 0, 0, {1, 0, 0, 0}},
      {"I", {{308, "0.2"}, {309, nullptr}, {308, "0.3"}}, 0, 0.3, 0, 0, {0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    TestSetup = {};
    TestSetup.SetupBaseGateOutputMode = c.mode;
    Steps steps;
    for (const auto& [gadget, text] : c.used)
      steps.push_back([=] { text ? headless::TypeIntoGadget(gadget, text) : headless::ClickGadget(gadget); });
    steps.push_back([] { headless::PushClose(DirectEntryWindow); });
    ScriptWindow(DirectEntryWindow, steps);
    OpenDirectEntryWindow();
    const TestSetupRecord& t = TestSetup;
    const bool amps = c.mode[0] == 'I';
    EXPECT_EQ(t.EnteredMaxVoltage, c.voltage);
    EXPECT_EQ(t.EnteredMaxCurrent, c.current);
    EXPECT_DOUBLE_EQ(amps ? t.EnteredStepCurrent : t.EnteredStepVoltage, c.step);
    EXPECT_DOUBLE_EQ(amps ? t.EnteredOffsetCurrent : t.EnteredOffsetVoltage, c.offset);
    EXPECT_EQ((std::vector<int32_t>{t.MaxVoltageEntered, t.MaxCurrentEntered, t.StepEntered,
                                    t.OffsetEntered}), c.flags);
  }
}

TEST_F(WindowsTest, DirectEntryShowsItsValuesAndKeepsWhatWasTypedWhenLeft) {
  TestSetupRecord& t = TestSetup;
  t.EnteredStepCurrent = 0.000123456789012345;
  t.EnteredStepCurrentUnit = "uA";
  t.EnteredMaxVoltage = 12.5;
  t.OffsetEntered = 1;
  std::string seen;
  ScriptWindow(DirectEntryWindow,
               {[&] {
                  seen = platform::WindowTitle(DirectEntryWindow) + " " +
                         std::to_string(platform::WindowClientWidth(DirectEntryWindow)) + "x" +
                         std::to_string(platform::WindowClientHeight(DirectEntryWindow));
                  for (int field : {306, 308, 310, 316, 307}) seen += " " + platform::GetGadgetText(field);
                  for (int box : {307, 309, 311, 312, 313, 317, 318, 319})
                    seen += std::to_string(platform::GetGadgetState(box));
                  Leave(frame::MainWindow);  // only this window losing the activation closes it
                  // A field taking the focus is no typing.
                  headless::PushEvent({platform::EventType::Gadget, DirectEntryWindow, 308,
                                       platform::GadgetEventKind::Focus});
                },
                [] {
                  platform::SetActiveWindow(DirectEntryWindow);
                  headless::ClickGadget(312);  // the ticked unit stays ticked
                },
                [] { headless::ClickGadget(315); },  // the voltage units are hidden in mode "I"
                [] { headless::TypeIntoGadget(306, "-7"); }, [] { Leave(DirectEntryWindow); }});
  Press(448);
  EXPECT_EQ(seen, "Direct Entry 720x320 12.5 0 123.4567890123 0 Use Direct00010101");
  EXPECT_FALSE(platform::IsWindow(DirectEntryWindow));
  // Written back as shown, ten decimals in the shown unit; the other flags as they were.
  EXPECT_DOUBLE_EQ(t.EnteredStepCurrent, 0.0001234567890123);
  EXPECT_EQ(t.EnteredStepCurrentUnit + t.EnteredStepVoltageUnit, "uAmV");
  EXPECT_EQ(t.MaxCurrentEntered + t.StepEntered + t.OffsetEntered, 1);
  // The set-up is recalculated with the typed voltage and the screen repainted whole.
  EXPECT_EQ(t.SetupCollectorMaxVoltage, -7.0);
  EXPECT_EQ(t.MaxVoltageText, screen::FormatVoltage(-7.0, "", ""));
  EXPECT_EQ(frame::FrameLoopState.RedrawAll, 1);
  EXPECT_EQ(screen::PointerState.LeftMouseDown, 0);
  Press(422);  // the ladder's "-": the ladder's value again
  EXPECT_EQ(t.SetupCollectorMaxVoltage, 6.5);
}

// A text that reads as no usable number (infinite, or beyond what the steps' sums take)
// keeps its row's value and switch, and the user is told; no infinity reaches the screen
// or a run file.
TEST_F(WindowsTest, DirectEntryKeepsThePreviousValueOfAFieldThatIsNoUsableNumber) {
  TestSetupRecord& t = TestSetup;
  t.SetupBaseGateOutputMode = "I";
  t.EnteredMaxVoltage = 5;
  ScriptWindow(DirectEntryWindow, {[] { headless::TypeIntoGadget(306, "1e400"); },
                                   [] { headless::TypeIntoGadget(310, "-1e400"); },
                                   [] { headless::TypeIntoGadget(316, "1e305"); },
                                   [] { headless::PushClose(DirectEntryWindow); }});
  OpenDirectEntryWindow();
  EXPECT_EQ(t.EnteredMaxVoltage + t.EnteredStepCurrent + t.EnteredOffsetCurrent, 5);
  EXPECT_EQ(t.MaxVoltageEntered + t.StepEntered + t.OffsetEntered, 0);
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].Icon, platform::MessageIcon::Warning);
  EXPECT_NE(headless::MessagesShown()[0].Text.find("Offset Level: 1e305"), std::string::npos);
  RecalculateTestSetup();
  const std::string shown = t.StepCurrentText + t.StepMaxText + testing::ReadFile(SaveRun(1, ""));
  EXPECT_EQ(shown.find("Infinity"), std::string::npos) << shown;
}

TEST_F(WindowsTest, GraphTitleUpdateRewritesOnlyTheTitleCellOfTheRunOnDisplay) {
  const std::string title = "\"Q1\", 25 C";
  for (int dataLines : {1, 2}) {
    SCOPED_TRACE(dataLines);
    const std::string earlier = SaveRun(dataLines, "Old title");
    const std::string before = testing::ReadFile(earlier);
    const std::string path = SaveRun(dataLines, "Old title");
    std::string expected = testing::ReadFile(path);
    // Cancel, the close box and leaving the window discard the typing.
    for (const testing::Step& close : Steps{[] { headless::ClickGadget(304); },
                                            [] { headless::PushClose(GraphTitleWindow); },
                                            [] { Leave(GraphTitleWindow); }}) {
      ScriptWindow(GraphTitleWindow, {[] { headless::TypeIntoGadget(303, "typed"); }, close});
      Press(312);
      EXPECT_FALSE(platform::IsWindow(GraphTitleWindow));
      EXPECT_EQ(GraphTitleText, "Old title");
    }
    EXPECT_EQ(testing::ReadFile(path), expected);
    std::string shown;
    ScriptWindow(GraphTitleWindow,
                 {[&] { shown = platform::WindowTitle(GraphTitleWindow) + "|" + platform::GetGadgetText(303); },
                  [&] { headless::TypeIntoGadget(303, title); }, [] { headless::ClickGadget(305); }});
    Press(309);
    EXPECT_EQ(shown, "Graph Title|Old title");
    EXPECT_EQ(GraphTitleText, title);
    expected.replace(expected.find(",Old title,"), 11, ",\"\"\"Q1\"\", 25 C\",");
    EXPECT_EQ(testing::ReadFile(path), expected);
    EXPECT_EQ(testing::ReadFile(earlier), before);
    ReadRunCsvFile(path);
    EXPECT_EQ(RunInfo.GraphTitle, title);
    EXPECT_EQ(RunInfo.CalibrationDate, "unknown");
  }
  // The next run's file carries the title and reads it back.
  ReadRunCsvFile(SaveRun(3, GraphTitleText));
  EXPECT_EQ(RunInfo.GraphTitle, title);
  EXPECT_EQ(RunInfo.Notes, "Notes here");

  // An empty title is stored too, also when the run file on display is missing.
  SampleRunNumber = 20;
  ScriptWindow(GraphTitleWindow, {[] { headless::TypeIntoGadget(303, ""); }, [] { headless::ClickGadget(305); }});
  Press(312);
  EXPECT_EQ(GraphTitleText, "");
  EXPECT_FALSE(testing::Exists(SampleRunFolder + "/0020.csv"));
}

TEST_F(WindowsTest, AWindowThatCannotOpenIsReportedAndChangesNothing) {
  GraphTitleText = "Kept";
  TestSetup.EnteredMaxVoltage = 3.0;
  for (auto open : {OpenGraphTitleWindow, OpenDirectEntryWindow}) {
    headless::FailNextWindowOpen();
    open();
  }
  EXPECT_EQ(GraphTitleText, "Kept");
  EXPECT_EQ(TestSetup.EnteredMaxVoltage, 3.0);
  const auto& shown = headless::MessagesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Title + shown[0].Text, "Error - KVR820_GraphTitleWindow won't start");
  EXPECT_EQ(shown[1].Title + shown[1].Text, "Error - KVR820_DirectEntry_Window won't start");
  EXPECT_EQ(shown[1].Icon, platform::MessageIcon::Error);
}

}  // namespace
}  // namespace zolt::tracer
