// The curve tracer's start-up (its order and the state it leaves), the main layout, and
// the drawing chain placing everything for the size painted in the same pass.
#include "frame/app.h"
#include "frame/update.h"
#include "link/calibration_stream.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "screen_fixture.h"
#include "support/temp_folder.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/setup.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer::testing {
namespace {

bool operator==(const screen::PixelRect& a, const screen::PixelRect& b) {
  return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height;
}

class StartUp : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    platform::headless::Reset();
    screen::ScreenState = {};
    ASSERT_TRUE(platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "ZOLT", 0));
  }
  zolt::testing::TempFolder folder_;
};

TEST_F(StartUp, BringsTheCurveTracerIntoItsStartState) {
  CursorXA.Shown = 0;
  CursorYB.Shown = 0;
  CursorXLock.Locked = 1;
  CursorYLock.Locked = 1;
  TestConfiguration = 300;
  frame::FrameLoopState.MainLayoutVariant = 4;
  link::CalibrationStream.CalStreamState = link::CalStreamDone;
  link::CalibrationStream.CalibrationFile = "elsewhere.txt";

  StartCurveTracer();

  EXPECT_EQ(screen::ScreenState.ScreenOpen, 1);
  EXPECT_EQ(screen::ScreenState.ScreenWidth, 1400);
  EXPECT_EQ(screen::ScreenState.ScreenHeight, 800);
  EXPECT_EQ(platform::headless::SurfaceWidth(), 1400);
  EXPECT_EQ(link::CalibrationStream.CalibrationFile, "settings/KVR820_cal.txt");
  EXPECT_EQ(link::CalibrationStream.CalStreamState, link::CalStreamAwaitMarker);
  // The missing calibration file is reported by its reader, and start-up goes on.
  ASSERT_FALSE(platform::headless::MessagesShown().empty());

  // An empty run folder: run 1 is asked for and nothing is shown; the set-up texts are built.
  EXPECT_EQ(SampleRunNumber, 1);
  EXPECT_EQ(SampleRunCount, 1);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 0);
  EXPECT_EQ(TestSetup.MaxVoltageText, "13 V");

  EXPECT_EQ(TestConfiguration, 100);
  EXPECT_EQ(frame::FrameLoopState.MainLayoutVariant, 1);
  EXPECT_TRUE(screen::PlotRect == (screen::PixelRect{303, 78, 1094, 569}));
  EXPECT_TRUE(screen::BelowPlotRect == (screen::PixelRect{303, 649, 1094, 148}));
  EXPECT_EQ(frame::AppInfo.UpdateUrl, frame::UpdateServer + frame::ManualQuery);
  for (const CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) EXPECT_EQ(c->Shown, 1);
  EXPECT_EQ(CursorXLock.Locked, 0);
  EXPECT_EQ(CursorYLock.Locked, 0);
}

TEST_F(StartUp, LayoutIsAppliedOnlyWhenAsked) {
  screen::ScreenState.ScreenWidth = 1920;
  screen::ScreenState.ScreenHeight = 1080;
  screen::PlotRect = {1, 2, 3, 4};
  ComputeMainLayout(0);
  EXPECT_TRUE(screen::PlotRect == (screen::PixelRect{1, 2, 3, 4}));
  ComputeMainLayout(1);
  EXPECT_TRUE(screen::PlotRect == (screen::PixelRect{303, 78, 1614, 849}));
  EXPECT_TRUE(screen::BelowPlotRect == (screen::PixelRect{303, 929, 1614, 148}));
}

using DrawingChain = ScreenTest;

TEST_F(DrawingChain, OnePassPlacesCurvesAndCursorsForTheSizePainted) {
  FillTransistorCurves(7, 500);
  CursorXA.Value = 5;
  DrawScreen();  // the first pass: no plot area painted before
  EXPECT_EQ(PlotWidth, 1208);
  EXPECT_EQ(CursorXA.Pixel, 972);
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelX[1][0], 368);

  screen::ScreenState.ScreenWidth = 1400;
  screen::ScreenState.ScreenHeight = 800;
  DrawScreen();  // a new window size
  EXPECT_EQ(PlotWidth, 1400 - 608 - 104);
  EXPECT_EQ(CursorXA.Pixel, 368 + 344);
  EXPECT_TRUE(AnyPixel(711, 560, 713, 600, platform::MakeColour(255, 255, 255)));  // XA's dashes
}

}  // namespace
}  // namespace zolt::tracer::testing
