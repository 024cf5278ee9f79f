// The pointer step: hit testing on the press edge, cursor drags by their labels, and
// presses and releases in the plot area.
#include <gtest/gtest.h>

#include "platform/gui_headless.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen_fixture.h"
#include "tracer/cursors.h"

namespace zolt::screen {
namespace {

// One pass of the pointer step with the button down or up and the pointer at (x, y).
void Pass(int down, int x, int y) {
  platform::headless::SetMousePosition(x, y);
  PointerState.LeftMouseDown = down;
  HandleScreenMouse();
}

void Click(int x, int y) {
  Pass(1, x, y);
  Pass(0, x, y);
}

class HotZones : public ScreenTest {};

TEST_F(HotZones, EdgesAreInclusive) {
  SetHotZone(5, 10, 20, 30, 40);
  for (auto [x, y] : {std::pair{10, 30}, {20, 40}, {10, 40}, {20, 30}, {15, 35}}) {
    ClickedZone = 0;
    Click(x, y);
    EXPECT_EQ(ClickedZone, 5) << x << "," << y;
  }
  for (auto [x, y] : {std::pair{9, 35}, {21, 35}, {15, 29}, {15, 41}}) {
    Click(x, y);
    EXPECT_EQ(ClickedZone, 5) << "kept after a miss at " << x << "," << y;
  }
  ClickedZone = 0;
  SetHotZone(5, 10, 10, 30, 40);
  Click(11, 35);
  EXPECT_EQ(ClickedZone, 0);
  Click(10, 35);
  EXPECT_EQ(ClickedZone, 5);
}

TEST_F(HotZones, LowestIdWinsAndOnlyRowsOneToAThousandCount) {
  SetHotZone(7, 0, 100, 0, 100);
  SetHotZone(3, 50, 150, 50, 150);
  SetHotZone(0, 0, 1000, 0, 1000);
  SetHotZone(1001, 0, 1000, 0, 1000);
  SetHotZone(5000, 0, 1000, 0, 1000);
  Click(60, 60);
  EXPECT_EQ(ClickedZone, 3);
  Click(20, 20);
  EXPECT_EQ(ClickedZone, 7);
  ClickedZone = 0;
  Click(500, 500);
  EXPECT_EQ(ClickedZone, 0);
  SetHotZone(5001, 0, 1, 0, 1);  // outside the table: ignored
  SetHotZone(-1, 0, 1, 0, 1);
  EXPECT_EQ(ZoneCaption(5001), "");
}

TEST_F(HotZones, HoldingTheButtonNeverRepeatsAClick) {
  SetHotZone(9, 0, 100, 0, 100);
  Pass(1, 10, 10);
  EXPECT_EQ(ClickedZone, 9);
  ClickedZone = 0;  // the handler acted on it
  for (int i = 0; i < 5; ++i) Pass(1, 10 + i, 10);
  EXPECT_EQ(ClickedZone, 0);
  Pass(0, 10, 10);
  EXPECT_EQ(ClickedZone, 0);
  Pass(1, 10, 10);
  EXPECT_EQ(ClickedZone, 9);
}

TEST_F(HotZones, PendingClickKeptByAMissAndReplacedByAHit) {
  SetHotZone(4, 0, 10, 0, 10);
  SetHotZone(9, 50, 60, 50, 60);
  ClickedZone = 4;
  Click(30, 30);
  EXPECT_EQ(ClickedZone, 4);
  Click(55, 55);
  EXPECT_EQ(ClickedZone, 9);
}

TEST_F(HotZones, ClearingKeepsLeftTopBottomAndCaptions) {
  SetHotZone(12, 10, 20, 10, 20);
  SetHotZone(13, -5, 20, 10, 20);
  SetHotZone(1001, 1, 2, 3, 4);
  HotZoneText[12] = "Run";
  ClearHotZones();
  EXPECT_EQ(HotZone[12].Left, 10);
  EXPECT_EQ(HotZone[12].Right, 0);
  EXPECT_EQ(HotZone[12].Top, 10);
  EXPECT_EQ(HotZone[12].Bottom, 20);
  EXPECT_EQ(HotZone[1001].Right, 2);
  EXPECT_EQ(ZoneCaption(12), "Run");
  Click(15, 15);
  EXPECT_EQ(ClickedZone, 0);
  Click(0, 15);  // only an x between Left and 0 can still hit a cleared row
  EXPECT_EQ(ClickedZone, 13);
}

TEST_F(HotZones, CursorsArePickedUpByTheirLabelsAndFollowFromTheNextPass) {
  tracer::CursorXA.LabelLeft = 100;
  tracer::CursorXA.LabelRight = 120;
  tracer::CursorXA.LabelTop = 50;
  tracer::CursorXA.LabelBottom = 60;
  tracer::CursorYB.LabelLeft = 110;  // overlaps the XA label
  tracer::CursorYB.LabelRight = 130.5;
  tracer::CursorYB.LabelTop = 55;
  tracer::CursorYB.LabelBottom = 70;
  tracer::CursorXA.DragPixel = 7;

  Pass(1, 115, 58);  // both labels hold the pointer
  EXPECT_EQ(tracer::CursorXA.Dragging, 1);
  EXPECT_EQ(tracer::CursorYB.Dragging, 1);
  EXPECT_EQ(tracer::CursorXB.Dragging, 0);
  EXPECT_EQ(tracer::CursorXA.DragPixel, 7);  // not moved on the press pass
  Pass(1, 300, 200);
  EXPECT_EQ(tracer::CursorXA.DragPixel, 300);  // X cursors follow x
  EXPECT_EQ(tracer::CursorYB.DragPixel, 200);  // Y cursors follow y
  Pass(1, -1, -1);  // the pointer left the client area
  EXPECT_EQ(tracer::CursorXA.DragPixel, -1);
  Pass(0, -1, -1);
  EXPECT_EQ(tracer::CursorXA.Dragging, 0);
  EXPECT_EQ(tracer::CursorYB.Dragging, 0);

  Pass(1, 131, 60);  // just right of both labels
  EXPECT_EQ(tracer::CursorYB.Dragging, 0);
  Pass(0, 131, 60);
  Pass(1, 130, 60);
  EXPECT_EQ(tracer::CursorYB.Dragging, 1);
  EXPECT_EQ(tracer::CursorXA.Dragging, 0);
}

TEST_F(HotZones, DragInPlotEndsOnlyByAReleaseInsideThePlot) {
  PlotRect = {50, 40, 100, 80};  // x 50..150, y 40..120 inclusive
  Pass(1, 150, 120);
  EXPECT_EQ(PointerState.DragInPlot, 1);
  EXPECT_EQ(PointerState.PressX, 150);
  EXPECT_EQ(PointerState.PressY, 120);
  EXPECT_EQ(PointerState.PlotRight, 150);
  EXPECT_EQ(PointerState.PlotBottom, 120);
  Pass(1, 200, 60);  // dragged out of the plot
  Pass(0, 90, 60);   // released: the last held position was outside
  EXPECT_EQ(PointerState.DragInPlot, 1);
  EXPECT_EQ(PointerState.MouseX, 200);
  Pass(1, 10, 10);  // a press outside does not start a drag nor end one
  EXPECT_EQ(PointerState.PressX, 150);
  Pass(1, 70, 70);
  Pass(0, 75, 72);  // released after holding inside: the pointer is read anew
  EXPECT_EQ(PointerState.DragInPlot, 0);
  EXPECT_EQ(PointerState.MouseX, 75);
  EXPECT_EQ(PointerState.MouseY, 72);
}

TEST_F(HotZones, OnePressCanStartADragInThePlotPickACursorAndHitAZone) {
  PlotRect = {0, 0, 400, 300};
  tracer::CursorXB.LabelLeft = 90;
  tracer::CursorXB.LabelRight = 110;
  tracer::CursorXB.LabelTop = 0;
  tracer::CursorXB.LabelBottom = 12;
  SetHotZone(600, 90, 110, 0, 12);
  Pass(1, 100, 5);
  EXPECT_EQ(PointerState.DragInPlot, 1);
  EXPECT_EQ(tracer::CursorXB.Dragging, 1);
  EXPECT_EQ(ClickedZone, 600);
}

}  // namespace
}  // namespace zolt::screen
