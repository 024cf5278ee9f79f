// The cursor update (lock step, drags, pixels) and dragging a cursor by its label through
// the screen's pointer step.
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "screen/hot_zones.h"
#include "screen_fixture.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"

namespace zolt::tracer::testing {
namespace {

class CursorUpdate : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    PlotLeft = 100;
    PlotTop = 50;
    PlotWidth = 400;
    PlotHeight = 200;
  }
};

TEST_F(CursorUpdate, PixelsAndNudgeStepsFollowTheSpans) {
  CursorXA.Value = 2.5;
  CursorYA.Value = -1;
  UpdateGraphCursors(0, 10, 0, -4);
  EXPECT_DOUBLE_EQ(XAxis.CursorStep, 0.005);
  EXPECT_DOUBLE_EQ(YAxis.CursorStep, -0.002);
  EXPECT_DOUBLE_EQ(CursorXA.Pixel, 200);
  EXPECT_DOUBLE_EQ(CursorYA.Pixel, 200);
  EXPECT_DOUBLE_EQ(CursorYB.Pixel, 250);
}

TEST_F(CursorUpdate, ALockedPairMovesTogetherFromTheNextPass) {
  CursorXA.Value = 1;
  CursorXB.Value = 2;
  UpdateGraphCursors(0, 10, 0, 10);  // placed while unlocked
  CursorXLock.Locked = 1;
  UpdateGraphCursors(0, 10, 0, 10);
  ASSERT_EQ(CursorXB.Value, 2);

  // Dragging XA by 0.5 (a fifth of 400 px = 2.5 V per 100 px: 20 px).
  CursorXA.Dragging = 1;
  CursorXA.DragPixel = 100 + 60;  // 1.5 V
  UpdateGraphCursors(0, 10, 0, 10);
  EXPECT_DOUBLE_EQ(CursorXA.Value, 1.5);
  EXPECT_DOUBLE_EQ(CursorXB.Value, 2);  // the drag comes after the lock step
  CursorXA.Dragging = 0;
  UpdateGraphCursors(0, 10, 0, 10);
  EXPECT_DOUBLE_EQ(CursorXB.Value, 2.5);

  // Moving XB moves XA too; once unlocked, XA moves alone.
  CursorXB.Value = 3.5;
  UpdateGraphCursors(0, 10, 0, 10);
  EXPECT_DOUBLE_EQ(CursorXA.Value, 2.5);
  CursorXLock.Locked = 0;
  CursorXA.Value = 0;
  UpdateGraphCursors(0, 10, 0, 10);
  EXPECT_DOUBLE_EQ(CursorXB.Value, 3.5);
}

TEST_F(CursorUpdate, DragsStopAtTheSpanEnds) {
  for (CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) c->Dragging = 1;
  CursorXA.DragPixel = 5000;
  CursorXB.DragPixel = -1;  // pointer outside the window
  CursorYA.DragPixel = 50;  // the plot's top edge
  CursorYB.DragPixel = 900;
  UpdateGraphCursors(0, -3, 0, 0.002);
  EXPECT_DOUBLE_EQ(CursorXA.Value, -3);
  EXPECT_DOUBLE_EQ(CursorXB.Value, 0);
  EXPECT_DOUBLE_EQ(CursorYA.Value, 0.002);
  EXPECT_DOUBLE_EQ(CursorYB.Value, 0);
}

class CursorDrag : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    platform::headless::Reset();
    ASSERT_TRUE(platform::OpenWindow(23, 0, 0, 1920, 1080, "ZOLT", 0));
    screen::PointerState = {};
    FillTransistorCurves(7, 500);  // X full scale 10 V over 1208 px from x = 368
  }
  void Press(int x, int y) {
    platform::headless::SetMousePosition(x, y);
    screen::PointerState.LeftMouseDown = 1;
    screen::HandleScreenMouse();
  }
  void Move(int x, int y) {
    platform::headless::SetMousePosition(x, y);
    screen::HandleScreenMouse();
  }
  void Release() {
    screen::PointerState.LeftMouseDown = 0;
    screen::HandleScreenMouse();
  }
};

TEST_F(CursorDrag, ALabelDraggedAlongTheAxisCarriesTheCursor) {
  CursorXA.Value = 5;
  DrawScreen();
  ASSERT_EQ(CursorXA.Pixel, 972);
  Press(972, 64);  // on XA's label, above the plot
  EXPECT_EQ(CursorXA.Dragging, 1);
  EXPECT_EQ(CursorXB.Dragging, 0);
  Move(1274, 300);  // three quarters along the plot
  DrawScreen();
  EXPECT_DOUBLE_EQ(CursorXA.Value, 7.5);
  EXPECT_EQ(CursorXA.Pixel, 1274);
  Release();
  EXPECT_EQ(CursorXA.Dragging, 0);
  Move(400, 300);
  DrawScreen();
  EXPECT_DOUBLE_EQ(CursorXA.Value, 7.5);
}

TEST_F(CursorDrag, AHiddenCursorCannotBePickedUp) {
  CursorXA.Value = 5;
  DrawScreen();
  CursorXA.Shown = 0;
  DrawScreen();
  Press(972, 64);
  EXPECT_EQ(CursorXA.Dragging, 0);
}

}  // namespace
}  // namespace zolt::tracer::testing
