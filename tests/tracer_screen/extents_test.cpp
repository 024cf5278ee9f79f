// Curve extents, the values where the curves cross the X cursors, and the plot data.
#include <cmath>

#include "screen_fixture.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"

namespace zolt::tracer::testing {
namespace {

// Curve `c` holds the given (VC, IC) entries; TotalEntries is the last index.
void SetCurve(int c, std::initializer_list<std::pair<double, double>> entries, int32_t status = 0) {
  int j = 0;
  for (const auto& [x, y] : entries) {
    SweepPoint& p = DisplayedSweeps.Point[c][j++];
    p = {};
    p.RunStatus = status;
    p.VC_V = x;
    p.IC_A = y;
    p.TIB_A = 1e-5 * (c + 1);
  }
  DisplayedSweeps.TotalEntries[c] = j - 1;
}

using CurveExtents = ScreenTest;

TEST_F(CurveExtents, ExtentsSpanTheWalkedEntriesOfEveryCurve) {
  SetCurve(0, {{0, 0}, {1, 2}, {2, 3}, {9, 99}});   // the last entry is not walked
  SetCurve(3, {{-1, 0.5}, {4, -2}, {5, 1}, {6, 1}});
  ComputeCurveExtents(0, 0);
  EXPECT_EQ(XAxis.Min, -1);
  EXPECT_EQ(XAxis.Max, 5);
  EXPECT_EQ(YAxis.Min, -2);
  EXPECT_EQ(YAxis.Max, 3);
  EXPECT_EQ(GraphPlotData.ValidPoints[0], 3);
  EXPECT_EQ(GraphPlotData.ValidPoints[1], 0);
  EXPECT_EQ(GraphPlotData.ValidPoints[3], 3);
}

TEST_F(CurveExtents, NoValidEntryLeavesTheEmptyExtents) {
  SetCurve(0, {{3, 3}});  // TotalEntries 0: nothing walked
  ComputeCurveExtents(0, 0);
  EXPECT_EQ(XAxis.Min, 1e38);
  EXPECT_EQ(XAxis.Max, -1e38);
  EXPECT_EQ(YAxis.Min, 1e38);
  EXPECT_EQ(GraphPlotData.ValidPoints[0], 0);
}

TEST_F(CurveExtents, EntriesWithAStopCodeCountForNothing) {
  SetCurve(0, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
  DisplayedSweeps.Point[0][1].RunStatus = 0x10;
  DisplayedSweeps.Point[0][2].RunStatus = 0x80;
  DisplayedSweeps.Point[0][3].RunStatus = 0x10F;  // bits outside 4 to 7 do not matter
  DisplayedSweeps.Point[0][3].VC_V = 50;
  ComputeCurveExtents(1.5, 2.5);
  EXPECT_EQ(GraphPlotData.ValidPoints[0], 2);
  EXPECT_EQ(XAxis.Max, 50);
  EXPECT_EQ(YAxis.Max, 3);
  // The crossings run from entry 0 straight to entry 3.
  EXPECT_DOUBLE_EQ(YAtCursorXA[0], 0 + 1.5 / 50 * 3);
  EXPECT_DOUBLE_EQ(YAtCursorXB[0], 0 + 2.5 / 50 * 3);
}

TEST_F(CurveExtents, EachCursorTakesTheFirstCrossing) {
  // A loop: out to 4 and back over the same X values with other Y values.
  SetCurve(0, {{0, 0}, {2, 2}, {4, 4}, {2, 10}, {0, 12}, {0, 0}});
  ComputeCurveExtents(1, 3);
  EXPECT_DOUBLE_EQ(YAtCursorXA[0], 1);
  EXPECT_DOUBLE_EQ(YAtCursorXB[0], 3);
  // A cursor exactly on an entry takes that entry's Y (the segment that reaches it).
  ComputeCurveExtents(2, 4);
  EXPECT_DOUBLE_EQ(YAtCursorXA[0], 2);
  EXPECT_DOUBLE_EQ(YAtCursorXB[0], 4);
}

TEST_F(CurveExtents, VerticalSegmentsGiveTheMiddleAndMissesGiveZero) {
  SetCurve(0, {{1, 0}, {1, 6}, {2, 8}, {0, 0}});
  SetCurve(1, {{5, 5}, {6, 6}, {0, 0}});
  ComputeCurveExtents(1, 7);
  EXPECT_DOUBLE_EQ(YAtCursorXA[0], 3);
  EXPECT_EQ(YAtCursorXB[0], 0);
  EXPECT_EQ(YAtCursorXA[1], 0);
  EXPECT_EQ(YAtCursorXB[1], 0);
}

using PlotData = ScreenTest;

TEST_F(PlotData, WalksEntriesByPositionIntoPixels) {
  SetCurve(2, {{0, 0}, {1, 2}, {2, 4}, {3, 6}});
  DisplayedSweeps.Point[2][1].RunStatus = 0x20;  // counted out, yet walked by position
  ComputeCurveExtents(0, 0);
  ASSERT_EQ(GraphPlotData.ValidPoints[2], 2);
  PlotLeft = 100;
  PlotTop = 50;
  PlotWidth = 200;
  PlotHeight = 100;
  ComputeGraphPlotData(0, 4, 0, 8);
  EXPECT_EQ(GraphPlotData.LastPlottedCurve, 2);
  EXPECT_EQ(GraphPlotData.ValueY[2][1], 2);
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelX[2][1], 150);
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelY[2][1], 125);
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelY[2][0], 150);
  // hFE takes the collector current of every walked entry; the label the last value.
  EXPECT_EQ(DisplayedSweeps.Point[2][1].HFE, 2);
  EXPECT_EQ(DisplayedSweeps.Point[2][2].HFE, 0);
  EXPECT_DOUBLE_EQ(GraphPlotData.LabelValue[2], 3e-5);
}

TEST_F(PlotData, ZeroSpansAndUnknownQuantities) {
  SetCurve(0, {{2, 3}, {2, 3}, {0, 0}});
  GraphSettings.YQuantity = "Gain";  // no such point field: 0
  GraphSettings.XQuantity = "VC";    // any letter case
  ComputeCurveExtents(0, 0);
  PlotLeft = 10;
  PlotTop = 20;
  PlotWidth = 30;
  PlotHeight = 40;
  ComputeGraphPlotData(0, 0, 0, 0);  // a zero span scales by 1
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelX[0][0], 12);
  EXPECT_DOUBLE_EQ(GraphPlotData.PixelY[0][0], 60);
  EXPECT_EQ(GraphPlotData.ValueY[0][0], 0);
}

}  // namespace
}  // namespace zolt::tracer::testing
