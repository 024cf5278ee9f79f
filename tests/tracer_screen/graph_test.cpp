// The painted graph at 1920 x 1080: plot rectangle, grid and frame, curves clamped to the
// plot, cursor labels (pinned ones in yellow) with their hit boxes and nudge zones, and
// the slope line. The plot runs from (368, 72), 1208 x 928 px.
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen_fixture.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_state.h"

namespace zolt::tracer::testing {
namespace {

using platform::MakeColour;
constexpr platform::Colour White = MakeColour(255, 255, 255);
constexpr platform::Colour Yellow = MakeColour(255, 255, 0);
constexpr platform::Colour Red = MakeColour(255, 0, 0);

struct Zone {
  int32_t Left, Right, Top, Bottom;
  bool operator==(const Zone&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Zone& z) {
  return out << "(" << z.Left << ", " << z.Right << ", " << z.Top << ", " << z.Bottom << ")";
}
Zone ZoneOf(int id) {
  const screen::HotZoneRect& z = screen::HotZone[id];
  return {z.Left, z.Right, z.Top, z.Bottom};
}

using Graph = ScreenTest;

TEST_F(Graph, PlotRectangleGridAndFrame) {
  DrawScreen();
  const screen::PixelRect& r = screen::PlotRect;
  EXPECT_EQ(r.X, 368);
  EXPECT_EQ(r.Y, 72);
  EXPECT_EQ(r.Width, 1208);
  EXPECT_EQ(r.Height, 928);
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  EXPECT_EQ(Pixel(1576, 500), c.GridMajorColour);  // right edge
  EXPECT_EQ(Pixel(800, 72), c.GridMajorColour);    // top edge
  EXPECT_EQ(Pixel(416, 500), c.GridMinorColour);   // first minor line, 368 + 48.32
  EXPECT_EQ(Pixel(610, 500), c.GridMajorColour);   // first major line, 368 + 241.6
  EXPECT_NE(Pixel(800, 1004), c.GridMajorColour) << "no tick there";
  EXPECT_EQ(Pixel(610, 1008), c.GridMajorColour);  // tick below a major line
  EXPECT_EQ(Pixel(360, 258), c.GridMajorColour);   // tick left of a major line (72 + 185.6)
  EXPECT_EQ(Pixel(400, 100), c.GraphBackColour);
}

TEST_F(Graph, CurvesAreClampedIntoThePlot) {
  // X runs to 10 and Y to 1 mA (a tie of -1 mA and +1 mA runs positive): the
  // negative entries run along the bottom edge, from x = 610 to x = 851.
  const double entries[][2] = {{0, 1e-3}, {2, -1e-3}, {4, -1e-3}, {6, 1e-3}, {8, 1e-3}, {9, 0}};
  for (int j = 0; j < 6; ++j) {
    DisplayedSweeps.Point[1][j] = {};
    DisplayedSweeps.Point[1][j].VC_V = entries[j][0];
    DisplayedSweeps.Point[1][j].IC_A = entries[j][1];
  }
  DisplayedSweeps.TotalEntries[1] = 5;
  DrawScreen();
  EXPECT_EQ(Pixel(737, 1000), Red);  // between two dashes of the Y cursors at 0
  EXPECT_EQ(Pixel(1200, 72), Red);  // +1 mA is the top edge
  EXPECT_NE(Pixel(1500, 72), Red) << "the last entry is not drawn";
}

TEST_F(Graph, CurvesPassThroughTheirPoints) {
  FillTransistorCurves(7, 500);
  DrawScreen();
  // Step 1 at 5 V carries 2.17 mA of a 10 mA axis: (972, 798.9).
  EXPECT_TRUE(AnyPixel(971, 798, 973, 800, Red));
  EXPECT_FALSE(AnyPixel(971, 780, 973, 790, Red));
}

TEST_F(Graph, CursorLabelsRowsHitBoxesAndNudgeZones) {
  FillTransistorCurves(7, 500);  // 10 V and 10 mA full scale
  CursorXA.Value = 5;            // x 972
  CursorXB.Value = 2;            // x 609.6
  CursorYA.Value = 0.005;        // y 536
  CursorYB.Value = 0.0025;       // y 768
  DrawScreen();
  EXPECT_EQ(Pixel(925, 57), White);
  EXPECT_EQ(ZoneOf(529), (Zone{924, 940, 56, 72}));
  EXPECT_EQ(ZoneOf(541), (Zone{1004, 1020, 56, 72}));
  EXPECT_EQ(ZoneOf(553), (Zone{562, 578, 40, 56}));  // XB's row 16 px higher
  EXPECT_EQ(ZoneOf(565), (Zone{642, 658, 40, 56}));
  EXPECT_EQ(CursorXA.LabelTop, 56);
  EXPECT_EQ(CursorXA.LabelBottom, 72);
  EXPECT_LT(CursorXA.LabelLeft, 972);
  EXPECT_GT(CursorXA.LabelLeft, 924);
  EXPECT_DOUBLE_EQ(CursorXA.LabelLeft + CursorXA.LabelRight, 2 * 972);

  EXPECT_EQ(Pixel(1578, 510), White);                   // YA's box from x 1577
  EXPECT_EQ(ZoneOf(577), (Zone{1577, 1593, 508, 524}));  // top end raises
  EXPECT_EQ(ZoneOf(589), (Zone{1577, 1593, 548, 564}));
  EXPECT_EQ(ZoneOf(601), (Zone{1593, 1609, 740, 756}));  // YB's column 16 px further right
  EXPECT_EQ(ZoneOf(613), (Zone{1593, 1609, 780, 796}));
  EXPECT_EQ(CursorYA.LabelLeft, 1577);
  EXPECT_EQ(CursorYA.LabelRight, 1593);
  EXPECT_LT(CursorYA.LabelTop, 536);
  EXPECT_GT(CursorYA.LabelBottom, 536);
}

TEST_F(Graph, CursorsBeyondTheAxisArePinnedWithAYellowLabel) {
  FillTransistorCurves(7, 500);
  CursorXA.Value = 11;      // past the right edge
  CursorXB.Value = -1;      // left of the left edge
  CursorYA.Value = 0.0125;  // above the top
  DrawScreen();
  EXPECT_EQ(CursorXA.Pixel, 1577);
  EXPECT_EQ(CursorXB.Pixel, 367);
  EXPECT_EQ(CursorYA.Pixel, 71);
  EXPECT_EQ(Pixel(1530, 57), Yellow);
  EXPECT_EQ(Pixel(320, 41), Yellow);
  EXPECT_EQ(Pixel(1578, 45), Yellow);
  EXPECT_EQ(Pixel(1594, 1000), White) << "YB at 0 lies inside";
  // Hit box and nudge zones follow the pinned pixel.
  EXPECT_DOUBLE_EQ(CursorXA.LabelLeft + CursorXA.LabelRight, 2 * 1577);
  EXPECT_EQ(ZoneOf(541), (Zone{1609, 1625, 56, 72}));
}

TEST_F(Graph, WithoutValidPointsTheCursorsArePinnedToTheFarEdges) {
  DrawScreen();  // a zero full scale: every cursor pixel is not a number
  EXPECT_EQ(CursorXA.Pixel, 1577);
  EXPECT_EQ(CursorYA.Pixel, 1001);
  EXPECT_EQ(Pixel(1530, 57), Yellow);
  EXPECT_EQ(Pixel(1580, 990), Yellow);
}

TEST_F(Graph, HiddenCursorsHaveNoLabelAndNoZones) {
  CursorXA.Shown = 0;
  CursorYB.Shown = 0;
  DrawScreen();
  EXPECT_EQ(screen::HotZone[529].Right, 0);
  EXPECT_EQ(screen::HotZone[541].Right, 0);
  EXPECT_EQ(screen::HotZone[601].Right, 0);
  EXPECT_GT(screen::HotZone[553].Right, 0);
  EXPECT_GT(CursorXA.LabelLeft, CursorXA.LabelRight);
}

TEST_F(Graph, SlopeLineJoinsTheCursorCrossings) {
  FillTransistorCurves(7, 500);
  CursorXA.Value = 2;      // 609.6
  CursorXB.Value = 8;      // 1334.4
  CursorYA.Value = 0.002;  // 814.4
  CursorYB.Value = 0.006;  // 443.2
  DrawScreen();
  EXPECT_FALSE(AnyPixel(972, 626, 972, 631, White));
  SlopeShown = 1;
  DrawScreen();
  EXPECT_TRUE(AnyPixel(972, 626, 972, 631, White));
  CursorYB.Shown = 0;
  DrawScreen();
  EXPECT_FALSE(AnyPixel(972, 626, 972, 631, White));
}

}  // namespace
}  // namespace zolt::tracer::testing
