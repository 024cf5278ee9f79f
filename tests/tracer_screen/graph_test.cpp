// The painted graph at 1920 x 1080: plot rectangle, grid and frame, axis numbers and
// titles, curves clamped to the plot, cursor labels (pinned ones in yellow) with their hit
// boxes and nudge zones, and the slope line. The plot runs from (368, 72), 1208 x 928 px.
#include <algorithm>
#include <cmath>

#include "frame/fonts.h"
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

// The smallest rectangle around every pixel of the region that `match` accepts.
struct Box {
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
  bool Empty() const { return Right < Left; }
  double MiddleX() const { return (Left + Right) / 2.0; }
  double MiddleY() const { return (Top + Bottom) / 2.0; }
};
template <typename Match>
Box BoxOf(int left, int top, int right, int bottom, Match match) {
  Box b;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      if (match(Pixel(x, y))) {
        b.Left = std::min(b.Left, x);
        b.Right = std::max(b.Right, x);
        b.Top = std::min(b.Top, y);
        b.Bottom = std::max(b.Bottom, y);
      }
  return b;
}
bool Bright(platform::Colour c) {
  return platform::RedOf(c) > 160 && platform::GreenOf(c) > 160 && platform::BlueOf(c) > 160;
}

TEST_F(Graph, AxisNumbersAndTitlesSitAtTheirPlaces) {
  FillTransistorCurves(7, 500);  // 10 V by 10 mA
  for (CursorRecord* c : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) c->Shown = 0;  // no labels over the numbers
  DrawScreen();
  platform::SelectFont(frame::FontGraphLabel);
  const int t = static_cast<int>(platform::TextHeight("0"));
  const auto black = [](platform::Colour c) { return c == screen::ColourScheme.GraphBackColour; };

  // X numbers in boxes of the graph's background, centred under their lines; the first
  // minor line's number 5 px higher than the others.
  const Box zero = BoxOf(362, 1002, 400, 1034, black);  // right of the Y axis's "0"
  EXPECT_EQ(zero.Top, 1010);
  EXPECT_NEAR(zero.MiddleX(), 368, 1.5);
  const Box minor = BoxOf(400, 1002, 440, 1034, black);
  EXPECT_EQ(minor.Top, 1005);
  EXPECT_NEAR(minor.MiddleX(), 368 + 1208 / 25.0, 1.5);
  const Box last = BoxOf(1546, 1002, 1606, 1034, black);
  EXPECT_EQ(last.Top, 1010);
  EXPECT_NEAR(last.MiddleX(), 1576, 1.5);
  EXPECT_NEAR(last.Right - last.Left + 1, platform::TextWidth("10"), 1);

  // Y numbers right-aligned 1 px left of the ticks, centred on their lines; the first
  // minor line's number 5 px nearer the plot.
  const Box yZero = BoxOf(330, 985, 361, 1015, black);  // left of the X axis's "0"
  EXPECT_EQ(yZero.Right, 368 - 10 - 1 - 1);
  EXPECT_NEAR(yZero.MiddleY(), 1000, 1.5);
  const Box yMinor = BoxOf(330, 950, 366, 975, black);
  EXPECT_EQ(yMinor.Right, 368 - 5 - 1 - 1);
  EXPECT_NEAR(yMinor.MiddleY(), 1000 - 928 / 25.0, 1.5);
  const Box yTop = BoxOf(330, 60, 366, 85, black);
  EXPECT_EQ(yTop.Right, 368 - 10 - 1 - 1);
  EXPECT_NEAR(yTop.MiddleY(), 72, 1.5);

  // X title "VCE (V) ..." centred under the plot 35 px below it, the subscript a third of
  // the text height lower than the symbol.
  const double w1 = std::round(platform::TextWidth(XAxis.SymbolText));
  const double w2 = std::round(platform::TextWidth(XAxis.SubscriptText));
  const double w3 = std::round(platform::TextWidth(XAxis.TitleText));
  EXPECT_EQ(XAxis.TitleText, " (V) Collector-Emitter Voltage");
  const double start = 368 + 604 - (w1 + w2 + w3) / 2;
  const Box title = BoxOf(330, 1030, 1600, 1079, black);
  EXPECT_EQ(title.Top, 1035);
  EXPECT_NEAR(title.Left, start, 1);
  EXPECT_NEAR(title.Right + 1, start + w1 + w2 + w3, 1);
  const Box symbol = BoxOf(static_cast<int>(start) + 1, 1030, static_cast<int>(start + w1) - 2, 1079, black);
  const Box subscript =
      BoxOf(static_cast<int>(start + w1) + 1, 1030, static_cast<int>(start + w1 + w2) - 2, 1079, black);
  EXPECT_EQ(symbol.Top, 1035);
  EXPECT_NEAR(subscript.Top, 1035 + t / 3.0, 1);

  // Y title reading upward at the region's left edge (x 304 + 5), centred on the plot's
  // height: tall and narrow, and the subscript further right than the symbol.
  EXPECT_EQ(YAxis.TitleText, " (mA) Collector Current");
  const double v1 = std::round(platform::TextWidth(YAxis.SymbolText));
  const double v2 = std::round(platform::TextWidth(YAxis.SubscriptText));
  const double v3 = std::round(platform::TextWidth(YAxis.TitleText));
  const Box turned = BoxOf(304, 72, 338, 1000, Bright);
  ASSERT_FALSE(turned.Empty());
  EXPECT_GE(turned.Left, 309);
  EXPECT_LE(turned.Right, 309 + t + t / 3 + 1);
  EXPECT_GT(turned.Bottom - turned.Top, 0.8 * (v1 + v2 + v3));
  EXPECT_LE(turned.Bottom, 536 + (v1 + v2 + v3) / 2 + 1);
  EXPECT_NEAR(turned.MiddleY(), 536, 6);
  const double base = 536 + (v1 + v2 + v3) / 2;
  const Box ySymbol = BoxOf(304, static_cast<int>(base - v1) + 1, 338, static_cast<int>(base) - 1, Bright);
  const Box ySubscript =
      BoxOf(304, static_cast<int>(base - v1 - v2) + 1, 338, static_cast<int>(base - v1) - 1, Bright);
  EXPECT_NEAR(ySubscript.Right - ySymbol.Right, t / 3.0, 2);
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
