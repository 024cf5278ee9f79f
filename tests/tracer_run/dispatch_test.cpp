// The control dispatch: every control acts once per press and no other id acts; cursor
// nudges; the step-size and polarity rows; browsing stored runs; the settings marks open
// the settings window on their panel's tab; one-shot requests that the run phase of the
// pass does not take are dropped.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "frame/app.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/link_state.h"
#include "platform/gui_headless.h"
#include "screen/hot_zones.h"
#include "support/temp_folder.h"
#include "tracer/cursors.h"
#include "tracer/dispatch.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

// The tab the settings window last opened on (-1: not opened); the window is closed at
// once, as the user would.
int OpenedTab = -1;

void CloseSettingsWindowAtOnce() {
  if (!platform::IsWindow(300)) return;
  OpenedTab = platform::GetGadgetState(40);
  platform::headless::PushClose(300);
}

// Everything a press may change, as one text.
std::string State() {
  const TestSetupRecord& t = TestSetup;
  const RunControlRecord& r = RunControl;
  std::ostringstream s;
  s << t.MaxVoltageIndex << ' ' << t.MaxCurrentIndex << ' ' << t.ImpedanceIndex << ' '
    << t.VoltageStepIndex << ' ' << t.CurrentStepIndex << ' ' << t.OffsetIndex << ' '
    << t.OffsetRange << ' ' << t.NumberOfSteps << ' ' << t.CollectorPolarity << ' '
    << t.StepPolarity << ' ' << t.OffsetPolarity << ' ' << t.SetupBaseGateOutputMode << ' '
    << t.SetupCollectorPulseLength << ' ' << t.SetupBaseGatePulseLength << ' '
    << t.DeviceRowMask << ' ' << t.FetRowShown << ' ' << t.FetRowMask << ' ' << t.MoreRowShown
    << ' ' << t.MoreRowMask << ' ' << t.MaxVoltageEntered << t.MaxCurrentEntered
    << t.StepEntered << t.OffsetEntered << " | " << r.RunRequest << r.HaltRequest
    << r.ConnectRequest << r.HighVoltageRequest << " | " << TestConfiguration << ' '
    << SampleRunNumber << ' ' << RunInfo.GraphTitle << " | ";
  for (const CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB})
    s << c->Value << ' ' << c->Shown << ' ';
  s << CursorXLock.Locked << CursorYLock.Locked << SlopeShown << " | "
    << platform::headless::HelpRequests().size() << ' ' << OpenedTab;
  return s.str();
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    frame::AppSettings = {};
    for (int n = 1; n <= 3; ++n) {
      testing::WriteFile("sampleruns_KVR/000" + std::to_string(n) + ".csv",
                         "Step,TotalSteps,Entry,TotalEntries\r\n0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,I,0,0,0,0,0,0,0,0,x,300,Run " +
                             std::to_string(n) + "\r\n");
    }
    BaseState();
    // Every window that opens from its zone closes at once, changing nothing.
    platform::headless::SetWaitHook([] {
      CloseSettingsWindowAtOnce();
      for (int window : {301, 302})
        if (platform::IsWindow(window)) platform::headless::PushClose(window);
    });
  }

  // A state in the middle of every ladder, so that every control has room to act.
  void BaseState() {
    TestSetup = {};
    TestSetupRecord& t = TestSetup;
    t.MaxVoltageIndex = t.MaxCurrentIndex = t.VoltageStepIndex = t.CurrentStepIndex = 5;
    t.OffsetIndex = 5;
    t.OffsetRange = 2;
    t.ImpedanceIndex = 1;
    t.SetupCollectorPulseLength = 0.0;
    t.SetupBaseGatePulseLength = 0.0;
    t.MaxVoltageEntered = t.MaxCurrentEntered = t.StepEntered = t.OffsetEntered = 1;
    t.EnteredMaxVoltage = 20.0;
    t.EnteredMaxCurrent = 0.02;
    RecalculateTestSetup();
    RunControl = {};
    RunControl.RunPhase = 2;
    TestConfiguration = 300;
    SampleRunNumber = 2;
    SampleRunCount = 3;
    RunInfo.GraphTitle = "Run 2";
    for (CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) {
      *c = {};
      c->Value = 1.0;
      c->Shown = 1;
    }
    CursorXLock = CursorYLock = {};
    XAxis.CursorStep = 0.25;
    YAxis.CursorStep = 0.5;
    SlopeShown = 0;
    OpenedTab = -1;
  }

  void Dispatch(int32_t id) {
    screen::ClickedZone = id;
    ControlDispatch();
  }

  testing::TempFolder folder;
};

TEST_F(DispatchTest, EveryControlActsOncePerPressAndNoOtherIdActs) {
  const std::set<int32_t> acting = {
      // help icons and settings marks
      299, 311, 323, 335, 347, 359, 371, 383, 395, 407,
      298, 310, 322, 334, 346, 358, 370, 382, 394, 406,
      // run, halt, connect, high voltage
      61, 73, 265, 637,
      // value controls
      410, 411, 422, 423, 427, 428, 434, 435, 440, 446, 447, 451, 452, 458, 459, 463, 464,
      470, 471, 476, 482, 483, 487, 488,
      // device presets
      494, 495, 496, 497, 498, 499, 506, 507, 508, 509, 510, 511, 518, 519, 520,
      // cursors
      529, 541, 553, 565, 577, 589, 601, 613, 650, 651, 652, 653, 654, 758, 759, 760, 761};
  for (int32_t id = 0; id <= 1000; ++id) {
    SCOPED_TRACE(id);
    BaseState();
    const std::string before = State();
    Dispatch(id);
    EXPECT_EQ(screen::ClickedZone, 0);
    const std::string after = State();
    if (acting.count(id) != 0) {
      EXPECT_NE(after, before);
    } else {
      EXPECT_EQ(after, before);
    }
    ControlDispatch();  // the same pass again, with no new press
    EXPECT_EQ(State(), after);
  }
}

TEST_F(DispatchTest, LadderAndBrowseControlsMoveOneStepPerPress) {
  const TestSetupRecord& t = TestSetup;
  struct Case {
    int32_t id;
    std::function<int32_t()> value;
    int32_t expected;
  };
  const Case cases[] = {
      {410, [] { return TestConfiguration; }, 299}, {411, [] { return TestConfiguration; }, 301},
      {422, [&] { return t.MaxVoltageIndex; }, 4},  {423, [&] { return t.MaxVoltageIndex; }, 6},
      {428, [&] { return t.ImpedanceIndex; }, 2},   {434, [&] { return t.MaxCurrentIndex; }, 4},
      {435, [&] { return t.MaxCurrentIndex; }, 6},  {447, [&] { return t.CurrentStepIndex; }, 6},
      {458, [&] { return t.OffsetIndex; }, 4},      {459, [&] { return t.OffsetIndex; }, 6},
      {464, [&] { return t.OffsetRange; }, 3},      {470, [&] { return t.NumberOfSteps; }, 5},
      {471, [&] { return t.NumberOfSteps; }, 7},    {482, [] { return SampleRunNumber; }, 1},
      {483, [] { return SampleRunNumber; }, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    BaseState();
    Dispatch(c.id);
    EXPECT_EQ(c.value(), c.expected);
  }
  BaseState();
  Dispatch(433 + 7);  // the collector pulse moves one place: continuous to 80 us
  EXPECT_EQ(t.SetupCollectorPulseLength, 80e-6);
  Dispatch(469 + 7);
  EXPECT_EQ(t.SetupBaseGatePulseLength, 80e-6);
}

TEST_F(DispatchTest, HelpIconsOpenTheManualAtTheirTopics) {
  frame::AppInfo.ManualPath = "help/KVR820_MANUAL.chm";
  const std::pair<int32_t, const char*> icons[] = {
      {289, "Cursors.htm"},          {301, "GraphTitle.htm"},       {313, "TestGraphMode.htm"},
      {325, "ConnectStatus.htm"},    {337, "CollectorSupply.htm"},  {349, "StepGenerator.htm"},
      {361, "DisplayedResults.htm"}, {373, "SweepLiveValues.htm"},  {385, "KeyMeasurement.htm"},
      {397, "SweepSettings.htm"}};
  for (const auto& [base, topic] : icons) Dispatch(base + 10);
  const auto& requests = platform::headless::HelpRequests();
  ASSERT_EQ(requests.size(), std::size(icons));
  for (size_t k = 0; k < requests.size(); ++k) {
    EXPECT_EQ(requests[k].File, "help/KVR820_MANUAL.chm");
    EXPECT_EQ(requests[k].Topic, icons[k].second);
  }
}

TEST_F(DispatchTest, SettingsMarksOpenTheSettingsWindowOnTheirPanelsTab) {
  const std::pair<int32_t, int> marks[] = {{298, 9}, {310, 8}, {322, 3}, {334, 2}, {346, 4},
                                           {358, 5}, {370, 7}, {382, 6}, {394, 10}, {406, 11}};
  for (const auto& [zone, tab] : marks) {
    frame::Captions.Run = "old";
    Dispatch(zone);
    EXPECT_EQ(OpenedTab, tab) << zone;
    EXPECT_FALSE(platform::IsWindow(300));
    // Only the connect status panel's mark reloads the captions afterwards.
    EXPECT_EQ(frame::Captions.Run, zone == 334 ? "RUN" : "old") << zone;
  }
}

TEST_F(DispatchTest, YNudgesRunOppositeToX) {
  Dispatch(529);
  EXPECT_EQ(CursorXA.Value, 0.75);
  Dispatch(541);
  Dispatch(541);
  EXPECT_EQ(CursorXA.Value, 1.25);
  Dispatch(553);
  EXPECT_EQ(CursorXB.Value, 0.75);
  Dispatch(577);  // the lower id of a Y pair raises the cursor
  EXPECT_EQ(CursorYA.Value, 1.5);
  Dispatch(589);
  Dispatch(589);
  EXPECT_EQ(CursorYA.Value, 0.5);
  Dispatch(601);
  EXPECT_EQ(CursorYB.Value, 1.5);
  Dispatch(613);
  EXPECT_EQ(CursorYB.Value, 1.0);

  CursorXLock.Locked = 1;
  Dispatch(653);
  EXPECT_EQ(CursorXA.Value, 0.0);
  EXPECT_EQ(CursorXB.Value, 0.0);
  EXPECT_EQ(CursorXLock.Locked, 0);
  EXPECT_EQ(CursorYA.Value, 0.5);
}

TEST_F(DispatchTest, StepSizeFollowsTheOutputModeAndHandChangesClearPresets) {
  TestSetup.SetupBaseGateOutputMode = "V";
  Dispatch(446);
  EXPECT_EQ(TestSetup.VoltageStepIndex, 4);
  EXPECT_EQ(TestSetup.CurrentStepIndex, 5);
  EXPECT_EQ(TestSetup.StepEntered, 0);
  TestSetup.SetupBaseGateOutputMode = "I";
  Dispatch(446);
  EXPECT_EQ(TestSetup.CurrentStepIndex, 4);
  EXPECT_EQ(TestSetup.VoltageStepIndex, 4);

  // Ladder ends hold.
  TestSetup.MaxVoltageIndex = 11;
  Dispatch(421 + 2);
  EXPECT_EQ(TestSetup.MaxVoltageIndex, 11);
  EXPECT_EQ(TestSetup.MaxVoltageEntered, 0);
  TestSetup.NumberOfSteps = 1;
  Dispatch(469 + 1);
  EXPECT_EQ(TestSetup.NumberOfSteps, 1);

  Dispatch(493 + 3);  // NFET: FET row shown
  EXPECT_EQ(TestSetup.FetRowShown, 1);
  EXPECT_EQ(TestSetup.SetupBaseGateOutputMode, "V");
  TestSetup.OffsetPolarity = "odd";
  Dispatch(457 + 6);
  EXPECT_EQ(TestSetup.OffsetPolarity, "Positive");
  EXPECT_EQ(TestSetup.FetRowShown, 0);
  EXPECT_EQ(TestSetup.DeviceRowMask, 0);

  Dispatch(445 + 7);  // mode toggle
  EXPECT_EQ(TestSetup.SetupBaseGateOutputMode, "I");
  TestSetup.SetupBaseGateOutputMode = "x";
  Dispatch(445 + 7);
  EXPECT_EQ(TestSetup.SetupBaseGateOutputMode, "I");
}

TEST_F(DispatchTest, BrowsingStoredRunsWaitsWhileARunIsUnderWay) {
  Dispatch(481 + 2);
  EXPECT_EQ(SampleRunNumber, 3);
  EXPECT_EQ(RunInfo.GraphTitle, "Run 3");
  for (int32_t phase = 3; phase <= 9; ++phase) {
    SCOPED_TRACE(phase);
    RunControl.RunPhase = phase;
    for (int32_t id : {482, 483, 487, 488}) Dispatch(id);
    EXPECT_EQ(SampleRunNumber, 3);
    EXPECT_EQ(RunInfo.GraphTitle, "Run 3");
  }
  RunControl.RunPhase = 1;
  Dispatch(481 + 6);
  EXPECT_EQ(SampleRunNumber, 1);
  EXPECT_EQ(RunInfo.GraphTitle, "Run 1");
  Dispatch(481 + 1);  // below the first: stays at 1
  EXPECT_EQ(SampleRunNumber, 1);
  Dispatch(481 + 7);
  EXPECT_EQ(SampleRunNumber, 3);
}

TEST_F(DispatchTest, RequestsNotTakenByTheirPhaseAreDroppedAtTheEndOfThePass) {
  link::LinkState.Connected = 1;  // as connected, though no port is open
  RunControl.RunPhase = 1;  // high voltage off: a run press is not taken
  screen::ClickedZone = 61;
  HandleCurveTracerFrame();
  EXPECT_EQ(RunControl.RunPhase, 1);
  EXPECT_EQ(RunControl.RunRequest, 0);
  EXPECT_EQ(screen::ClickedZone, 0);
  screen::ClickedZone = 73;  // no halt outside a run
  HandleCurveTracerFrame();
  EXPECT_EQ(RunControl.RunPhase, 1);
  EXPECT_EQ(RunControl.HaltRequest, 0);
  HandleCurveTracerFrame();
  EXPECT_EQ(RunControl.RunPhase, 1);
  link::LinkState.Connected = 0;

  // A configuration press is applied, clamped, by the same pass.
  TestConfiguration = 100;
  AppliedTestConfiguration = 100;
  screen::ClickedZone = 409 + 1;
  HandleCurveTracerFrame();
  EXPECT_EQ(TestConfiguration, 100);
  EXPECT_EQ(AppliedTestConfiguration, 99);
  HandleCurveTracerFrame();  // the clamped number is applied once more
  EXPECT_EQ(AppliedTestConfiguration, 100);
}

}  // namespace
}  // namespace zolt::tracer
