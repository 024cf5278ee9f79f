// The direct-entry and graph-title windows, opened from their zones and worked through
// scripted gadget events: what each keeps, how each closes, and the run file's title.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/app.h"
#include "frame/csv.h"
#include "frame/settings.h"
#include "platform/gui_headless.h"
#include "screen/format.h"
#include "screen/hot_zones.h"
#include "support/temp_folder.h"
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
using platform::WindowEvent;

constexpr int MaxVoltageBand = 424, StepSizeBand = 448, GraphTitleZone = 309, GraphTitleBar = 312;

// Runs one step per wait of the window's loop (the first once the window is open). The
// hook is copied for each wait, so the steps and their count are shared.
void Script(std::vector<std::function<void()>> steps) {
  auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
  auto next = std::make_shared<size_t>(0);
  headless::SetWaitHook([shared, next] {
    if (*next < shared->size()) (*shared)[(*next)++]();
  });
}

void Press(int32_t zone) {
  screen::ClickedZone = zone;
  screen::PointerState.LeftMouseDown = 1;
  ControlDispatch();
}

// Leaving the window: another window of the program takes the activation.
void LeaveFor(int window, int other) {
  platform::SetActiveWindow(other);
  headless::PushEvent({platform::EventType::Deactivate, window, -1, platform::GadgetEventKind::None});
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
    int32_t flags[4];
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
    std::vector<std::function<void()>> steps;
    for (const auto& [gadget, text] : c.used) {
      steps.push_back([gadget, text] {
        if (text) {
          headless::TypeIntoGadget(gadget, text);
        } else {
          headless::ClickGadget(gadget);
        }
      });
    }
    steps.push_back([] { headless::PushClose(DirectEntryWindow); });
    Script(steps);
    OpenDirectEntryWindow();
    const TestSetupRecord& t = TestSetup;
    EXPECT_FALSE(platform::IsWindow(DirectEntryWindow));
    EXPECT_DOUBLE_EQ(t.EnteredMaxVoltage, c.voltage);
    EXPECT_DOUBLE_EQ(t.EnteredMaxCurrent, c.current);
    EXPECT_DOUBLE_EQ(c.mode[0] == 'I' ? t.EnteredStepCurrent : t.EnteredStepVoltage, c.step);
    EXPECT_DOUBLE_EQ(c.mode[0] == 'I' ? t.EnteredOffsetCurrent : t.EnteredOffsetVoltage, c.offset);
    const int32_t flags[] = {t.MaxVoltageEntered, t.MaxCurrentEntered, t.StepEntered, t.OffsetEntered};
    EXPECT_EQ(std::vector<int32_t>(flags, flags + 4), std::vector<int32_t>(c.flags, c.flags + 4));
  }
}

TEST_F(WindowsTest, DirectEntryShowsItsValuesAndOneUnitPairAndKeepsThemWhenLeft) {
  TestSetupRecord& t = TestSetup;
  t.SetupBaseGateOutputMode = "I";
  t.EnteredStepCurrent = 0.000123456789012345;
  t.EnteredStepCurrentUnit = "uA";
  t.EnteredMaxVoltage = 12.5;
  t.OffsetEntered = 1;
  std::vector<std::string> seen;
  Script({[&] {
            seen = {platform::WindowTitle(DirectEntryWindow),
                    std::to_string(platform::WindowClientWidth(DirectEntryWindow)) + "x" +
                        std::to_string(platform::WindowClientHeight(DirectEntryWindow)),
                    platform::GetGadgetText(306), platform::GetGadgetText(308),
                    platform::GetGadgetText(310), platform::GetGadgetText(316),
                    platform::GetGadgetText(307) + platform::GetGadgetText(314)};
            for (int box : {307, 309, 311, 312, 313, 317, 318, 319})
              seen.back() += " " + std::to_string(platform::GetGadgetState(box));
            // Only this window losing the activation closes it.
            platform::SetActiveWindow(frame::MainWindow);
            headless::PushEvent({platform::EventType::Deactivate, frame::MainWindow, -1, {}});
          },
          [] {
            platform::SetActiveWindow(DirectEntryWindow);
            headless::ClickGadget(312);  // the ticked unit stays ticked
          },
          [] { headless::ClickGadget(315); },  // hidden in current mode: cannot be used
          [] { LeaveFor(DirectEntryWindow, frame::MainWindow); }});
  Press(StepSizeBand);
  EXPECT_EQ(seen, (std::vector<std::string>{"Direct Entry", "720x320", "12.5", "0", "123.4567890123",
                                            "0", "Use DirectmV 0 0 0 1 0 1 0 1"}));
  EXPECT_FALSE(platform::IsWindow(DirectEntryWindow));
  // Written back as shown, ten decimals in the shown unit; the flags and units as they were.
  EXPECT_DOUBLE_EQ(t.EnteredStepCurrent, 0.0001234567890123);
  EXPECT_EQ(t.EnteredStepCurrentUnit + t.EnteredStepVoltageUnit, "uAmV");
  EXPECT_EQ(t.MaxVoltageEntered + t.MaxCurrentEntered + t.StepEntered, 0);
  EXPECT_EQ(t.OffsetEntered, 1);
  EXPECT_EQ(screen::PointerState.LeftMouseDown, 0);
  EXPECT_EQ(screen::ClickedZone, 0);
}

TEST_F(WindowsTest, TypedValuesReplaceTheLaddersAfterTheWindowCloses) {
  Script({[] { headless::TypeIntoGadget(306, "-7"); },
          [] { headless::TypeIntoGadget(308, "0.5"); },
          [] { headless::PushClose(DirectEntryWindow); }});
  Press(MaxVoltageBand);
  EXPECT_EQ(TestSetup.SetupCollectorMaxVoltage, -7.0);
  EXPECT_EQ(TestSetup.SetupCollectorMaxCurrent, -0.5);
  EXPECT_EQ(TestSetup.MaxVoltageText, screen::FormatVoltage(-7.0, "", ""));
  EXPECT_EQ(frame::FrameLoopState.RedrawAll, 1);
  Press(MaxVoltageBand + 1 - 3);  // the ladder's "-": the ladder's value again
  EXPECT_EQ(TestSetup.MaxVoltageEntered, 0);
  EXPECT_EQ(TestSetup.SetupCollectorMaxVoltage, 6.5);
}

// Saves a run of one curve, with `dataLines` lines after the heading, as a run ends.
std::string SaveRun(int dataLines, const std::string& title) {
  GraphTitleText = title;
  TestSetup.NumberOfSteps = 0;
  for (int32_t& total : DisplayedSweeps.TotalEntries) total = 0;
  DisplayedSweeps.TotalEntries[0] = dataLines - 1;
  PrepareRunRecord();
  SaveRunCsvFile();
  return SampleRunFolder + "/" + frame::MakeCsvFileName(SampleRunNumber);
}

TEST_F(WindowsTest, GraphTitleUpdateRewritesOnlyTheTitleCellOfTheRunOnDisplay) {
  const std::string title = "\"Q1\", 25 C";
  for (int dataLines : {1, 2}) {
    SCOPED_TRACE(dataLines);
    const std::string earlier = SaveRun(dataLines, "Old title");
    const std::string before = testing::ReadFile(earlier);
    const std::string path = SaveRun(dataLines, "Old title");
    std::string expected = testing::ReadFile(path);
    std::string shown;
    Script({[&] { shown = platform::WindowTitle(GraphTitleWindow) + "|" + platform::GetGadgetText(303); },
            [&] { headless::TypeIntoGadget(303, title); },
            [] { headless::ClickGadget(305); }});
    Press(GraphTitleZone);
    EXPECT_EQ(shown, "Graph Title|Old title");
    EXPECT_EQ(GraphTitleText, title);
    expected.replace(expected.find(",Old title,"), 11, ",\"\"\"Q1\"\", 25 C\",");
    EXPECT_EQ(testing::ReadFile(path), expected);
    EXPECT_EQ(testing::ReadFile(earlier), before);
    ReadRunCsvFile(path);
    EXPECT_EQ(RunInfo.GraphTitle, title);
    EXPECT_EQ(RunInfo.Notes, "Notes here");
    EXPECT_EQ(RunInfo.CalibrationDate, "unknown");
  }
  // The next run's file carries the title and reads it back.
  ReadRunCsvFile(SaveRun(3, GraphTitleText));
  EXPECT_EQ(RunInfo.GraphTitle, title);
  EXPECT_EQ(RunInfo.ModelID, "KVR820");
}

TEST_F(WindowsTest, GraphTitleCancelCloseBoxAndLeavingDiscardTheTyping) {
  const std::function<void()> closers[] = {
      [] { headless::ClickGadget(304); },
      [] { headless::PushClose(GraphTitleWindow); },
      [] { LeaveFor(GraphTitleWindow, frame::MainWindow); },
  };
  const std::string path = SaveRun(2, "Kept");
  const std::string before = testing::ReadFile(path);
  for (const auto& close : closers) {
    Script({[] { headless::TypeIntoGadget(303, "typed"); }, close});
    Press(GraphTitleBar);
    EXPECT_FALSE(platform::IsWindow(GraphTitleWindow));
    EXPECT_EQ(GraphTitleText, "Kept");
  }
  EXPECT_EQ(testing::ReadFile(path), before);

  // An empty title is stored too, also when the run file on display is missing.
  SampleRunNumber = 20;
  Script({[] { headless::TypeIntoGadget(303, ""); }, [] { headless::ClickGadget(305); }});
  Press(GraphTitleBar);
  EXPECT_EQ(GraphTitleText, "");
  EXPECT_FALSE(testing::Exists(SampleRunFolder + "/0020.csv"));
}

TEST_F(WindowsTest, AWindowThatCannotOpenIsReportedAndChangesNothing) {
  GraphTitleText = "Kept";
  TestSetup.EnteredMaxVoltage = 3.0;
  headless::FailNextWindowOpen();
  OpenGraphTitleWindow();
  headless::FailNextWindowOpen();
  OpenDirectEntryWindow();
  EXPECT_EQ(GraphTitleText, "Kept");
  EXPECT_EQ(TestSetup.EnteredMaxVoltage, 3.0);
  const auto& shown = headless::MessagesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Title, "Error - ");
  EXPECT_EQ(shown[0].Text, "KVR820_GraphTitleWindow won't start");
  EXPECT_EQ(shown[1].Text, "KVR820_DirectEntry_Window won't start");
  EXPECT_EQ(shown[1].Icon, platform::MessageIcon::Error);
}

}  // namespace
}  // namespace zolt::tracer
