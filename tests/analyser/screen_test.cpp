// Start-up layout, and the screen as drawn: icon bar, steppers, waveform view, tiles.
#include <tuple>

#include "analyser/handler.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/zones.h"
#include "analyser_fixture.h"
#include "frame/app.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/system.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"

namespace zolt::analyser::testing {
namespace {

using ScreenTest = AnalyserTest;
using platform::MakeColour;

void ExpectRect(const PixelRect& r, PixelRect expected, const char* name) {
  EXPECT_EQ(r.X, expected.X) << name;
  EXPECT_EQ(r.Y, expected.Y) << name;
  EXPECT_EQ(r.Width, expected.Width) << name;
  EXPECT_EQ(r.Height, expected.Height) << name;
}

TEST_F(ScreenTest, StartUpLaysTheScreenOutInModeFourteen) {
  const ScreenLayoutRecord& l = ScreenLayout;
  EXPECT_EQ(l.LayoutMode, 14);
  ExpectRect(l.TopBarRect, {10, 5, 1400, 72}, "top bar");
  ExpectRect(l.LeftPaneRect, {10, 77, 288, 507}, "tiles");
  ExpectRect(l.BottomPaneRect, {10, 584, 288, 216}, "steppers");
  ExpectRect(screen::PlotRect, {298, 77, 824, 425}, "centre");
  ExpectRect(screen::BelowPlotRect, {298, 512, 824, 283}, "lower centre");
  const ReadoutTile& last = ReadoutTiles[16];
  EXPECT_EQ(last.Y, 542);
  EXPECT_EQ(last.Height, 31);
  EXPECT_EQ(last.LabelRight, 111);
  EXPECT_EQ(last.DividerX, 119);
  EXPECT_EQ(last.ValueRight, 226);
  EXPECT_EQ(last.UnitLeft, 235);
  EXPECT_EQ(ReadoutTiles[8].Label + ReadoutTiles[8].Value, "Freq45.999");
  EXPECT_GT(l.TileLabelHeight, 0);
  EXPECT_TRUE(platform::IsNetworkServer(PmxNetworkServer) || platform::FileExists("log.txt"));
}

TEST_F(ScreenTest, EachLayoutModeSetsItsOwnPanesAndKeepsTheOthers) {
  struct Case {
    int32_t Tiles, Scope, Secondary;
    PixelRect Left, Centre;
  } cases[] = {
      {1, 1, 1, {10, 87, 288, 713}, {308, 87, 1082, 283}},  // 13
      {1, 0, 1, {10, 92, 288, 708}, {308, 92, 1082, 496}},  // 9
      {0, 0, 1, {10, 92, 288, 708}, {308, 92, 1082, 496}},  // 8: kept
      {1, 0, 0, {10, 92, 1400, 708}, {100, 100, 10, 10}},   // 1
      {1, 1, 0, {10, 92, 1400, 708}, {100, 100, 10, 10}},   // 5: kept
  };
  for (const Case& c : cases) {
    ScreenLayout.TileMode = c.Tiles;
    ScreenLayout.ScopeViewOn = c.Scope;
    ScreenLayout.SecondaryPlotOn = c.Secondary;
    LayoutReadoutTiles();
    ExpectRect(ScreenLayout.LeftPaneRect, c.Left, "left");
    ExpectRect(screen::PlotRect, c.Centre, "centre");
  }
}

TEST_F(ScreenTest, TheDrawnScreenShowsBarStepperTilesAndViews) {
  frame::FrameLoopState.RedrawAll = 1;
  DrawPowerAnalyserScreen();
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  // Icons 72 apart from the bar's corner; the stepper grid from the bottom pane.
  EXPECT_EQ(screen::HotZone[ZoneCamera].Left, 82);
  EXPECT_EQ(screen::HotZone[ZoneTileMode].Left, 10 + 14 * 72);
  EXPECT_EQ(screen::HotZone[ZoneTileMode].Top, 5);
  EXPECT_EQ(screen::HotZone[ZoneC3Stepper].Left, 10 + 6 * 24);
  EXPECT_EQ(screen::HotZone[ZoneC3Stepper].Top, 584 + 2 * 72 + 18);
  EXPECT_EQ(screen::HotZoneText[ZoneV1Stepper + 2], "300 V");
  EXPECT_EQ(screen::HotZoneText[ZoneC1Stepper + 2], "10 A");
  // Tiles: the left halves and odd right halves in colour A, even right halves in B.
  EXPECT_EQ(Pixel(12, 79), c.TileColourA);
  EXPECT_EQ(Pixel(295, 79), c.TileColourA);
  EXPECT_EQ(Pixel(295, 79 + 31), c.TileColourB);
  EXPECT_EQ(Pixel(119, 100), c.ControlTextColour);
  // The waveform and secondary panes with their axes; the canvas cleared around them.
  EXPECT_EQ(Pixel(299, 78), MakeColour(25, 25, 25));
  EXPECT_EQ(Pixel(298 + 412, 100), MakeColour(0, 255, 0));
  EXPECT_EQ(Pixel(600, 512 + 141), MakeColour(255, 0, 0));  // the flat secondary series
  EXPECT_EQ(Pixel(1300, 300), c.DarkFillColour);
  EXPECT_EQ(Pixel(1500, 900), c.StatusStripColour);
}

TEST_F(ScreenTest, TheWaveformViewScalesHoldsAndStopsAtPublishedData) {
  screen::PlotRect = {100, 100, 1700, 202};  // half inner height 100 pixels
  FillVoltage(0, 4, [](int i) { return i == 0 ? 1000.0 : i == 1 ? 5000.0 : i == 2 ? -500 : 0; });
  FillCurrent(3, 1, [](int) { return 20.0; });
  link::PmxFilteredSamples[4] = -2000;
  FillVoltage(link::PmxBlockSamples, link::PmxBlockSamples, [](int) { return 1000.0; });
  link::PmxSampleRing.PmxPublishedBlock = 0;  // block 1 is still being written
  DrawWaveformView();
  EXPECT_EQ(Pixel(101, 101), MakeColour(255, 0, 0));  // +1000 V at the top inner edge
  EXPECT_EQ(Pixel(102, 100), MakeColour(255, 0, 0));  // +5000 V held at the frame
  EXPECT_EQ(Pixel(103, 251), MakeColour(255, 0, 0));  // -500 V half way down
  EXPECT_EQ(Pixel(104, 101), MakeColour(0, 0, 255));  // +20 A
  EXPECT_EQ(Pixel(105, 302), MakeColour(0, 255, 0));  // filter held at the bottom
  EXPECT_NE(Pixel(100 + 1601 + 5, 101), MakeColour(255, 0, 0));
  link::PmxSampleRing.PmxPublishedBlock = 1;  // now published: a wide pane shows it
  DrawWaveformView();
  EXPECT_EQ(Pixel(100 + 1601 + 5, 101), MakeColour(255, 0, 0));
}

// The connect button repaints only for a new caption or a full redraw.
TEST_F(ScreenTest, TheConnectButtonRepaintsOnANewCaption) {
  const auto marked = [] { return Pixel(12, 54) == MakeColour(1, 2, 3); };
  const auto mark = [] {
    platform::StartDrawing(38);
    platform::DrawBox(10, 5, 48, 73, MakeColour(1, 2, 3));  // icon and caption strip
    platform::StopDrawing();
  };
  link::PmxLinkState.PmxStatusText = "Connect";
  for (const auto& [caption, redraw, repainted] :
       {std::tuple{"Connect", 0, true}, {"Connect", 0, false}, {"Connect", 1, true}, {"Connecting", 0, true}}) {
    mark();
    link::PmxLinkState.PmxStatusText = caption;
    frame::FrameLoopState.RedrawAll = redraw;
    DrawPowerAnalyserScreen();
    EXPECT_EQ(!marked(), repainted) << caption << redraw;
  }
}

}  // namespace
}  // namespace zolt::analyser::testing
