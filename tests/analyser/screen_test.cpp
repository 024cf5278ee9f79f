// Start-up layout, and the screen as drawn: icon bar, steppers, waveform view, tiles.
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "analyser/handler.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/zones.h"
#include "analyser_fixture.h"
#include "frame/app.h"
#include "link/pmx_link.h"
#include "link/pmx_calibration.h"
#include "link/pmx_ring.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::analyser::testing {
namespace {

using ScreenTest = AnalyserTest;
using platform::MakeColour;

std::string Text(const PixelRect& r) {
  return std::to_string(r.X) + "," + std::to_string(r.Y) + "," + std::to_string(r.Width) + "," +
         std::to_string(r.Height);
}

// Start-up at 1400 x 800 gives mode 14; each later mode sets its own panes and keeps the rest.
TEST_F(ScreenTest, EachLayoutModeSetsItsOwnPanesAndKeepsTheOthers) {
  const ScreenLayoutRecord& l = ScreenLayout;
  EXPECT_EQ(Text(l.TopBarRect) + " " + Text(l.BottomPaneRect) + " " + Text(screen::BelowPlotRect),
            "10,5,1400,72 10,584,288,216 298,512,824,283");
  const ReadoutTile& t = ReadoutTiles[16];
  EXPECT_EQ(std::vector<int32_t>({t.Y, t.Height, t.LabelRight, t.DividerX, t.ValueRight, t.UnitLeft}),
            std::vector<int32_t>({542, 31, 111, 119, 226, 235}));
  const struct {
    int32_t Tiles, Scope, Secondary;
    const char* Panes;  // the tile pane, then the centre pane
  } cases[] = {
      {2, 1, 1, "10,77,288,507 298,77,824,425"},   {1, 1, 1, "10,87,288,713 308,87,1082,283"},
      {1, 0, 1, "10,92,288,708 308,92,1082,496"},  {0, 0, 1, "10,92,288,708 308,92,1082,496"},
      {1, 0, 0, "10,92,1400,708 100,100,10,10"},   {1, 1, 0, "10,92,1400,708 100,100,10,10"},
  };
  for (const auto& c : cases) {
    ScreenLayout.TileMode = c.Tiles, ScreenLayout.ScopeViewOn = c.Scope, ScreenLayout.SecondaryPlotOn = c.Secondary;
    LayoutReadoutTiles();
    EXPECT_EQ(Text(l.LeftPaneRect) + " " + Text(screen::PlotRect), c.Panes) << l.LayoutMode;
  }
}

TEST_F(ScreenTest, TheDrawnScreenShowsBarSteppersTilesAndViews) {
  ReadoutTiles[14].Value = std::string(310, '9');  // wider than the tile: not drawn over its left half
  frame::FrameLoopState.RedrawAll = 1;
  DrawPowerAnalyserScreen();
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  // Icons 72 apart from the bar's corner; the stepper grid from the bottom pane.
  const screen::HotZoneRect& icon = screen::HotZone[ZoneTileMode];
  const screen::HotZoneRect& stepper = screen::HotZone[ZoneC3Stepper];
  EXPECT_EQ((std::vector<int32_t>{icon.Left, icon.Top, stepper.Left, stepper.Top}),
            (std::vector<int32_t>{10 + 14 * 72, 5, 10 + 6 * 24, 584 + 2 * 72 + 18}));
  EXPECT_EQ(screen::HotZoneText[ZoneV1Stepper + 2] + screen::HotZoneText[ZoneC1Stepper + 2], "300 V10 A");
  // Tiles: left halves and odd right halves in colour A, even right halves in B, the
  // divider; the two panes with their axes and the flat secondary series; the canvas
  // cleared around.
  const std::pair<std::pair<int, int>, platform::Colour> pixels[] = {
      {{12, 79}, c.TileColourA},   {{295, 79}, c.TileColourA},  {{295, 79 + 31}, c.TileColourB},
      {{119, 100}, c.ControlTextColour}, {{12, 480 + 15}, c.TileColourA}, {{299, 78}, MakeColour(25, 25, 25)},
      {{298 + 412, 100}, MakeColour(0, 255, 0)}, {{600, 512 + 141}, MakeColour(255, 0, 0)},
      {{1300, 300}, c.DarkFillColour}};
  for (const auto& [at, colour] : pixels) EXPECT_EQ(Pixel(at.first, at.second), colour) << at.first << "," << at.second;
}

TEST_F(ScreenTest, TheWaveformViewScalesHoldsAndStopsAtPublishedData) {
  screen::PlotRect = {100, 100, 1700, 202};  // half inner height 100 pixels
  FillVoltage(0, 3, [](int i) { return i == 0 ? 1000.0 : i == 1 ? 5000.0 : -500; });
  link::PmxCurrentSamples[3] = 20.0;
  link::PmxFilteredSamples[4] = -2000;
  FillVoltage(link::PmxBlockSamples, link::PmxBlockSamples, [](int) { return 1000.0; });
  DrawWaveformView();  // published block 0: block 1 may be being written
  const platform::Colour red = MakeColour(255, 0, 0);
  EXPECT_EQ(Pixel(101, 101), red);                     // +1000 V at the top inner edge
  EXPECT_EQ(Pixel(102, 100), red);                     // +5000 V held at the frame
  EXPECT_EQ(Pixel(103, 251), red);                     // -500 V half way down
  EXPECT_EQ(Pixel(104, 101), MakeColour(0, 0, 255));  // +20 A
  EXPECT_EQ(Pixel(105, 302), MakeColour(0, 255, 0));  // filter held at the bottom
  EXPECT_NE(Pixel(1706, 101), red);
  link::PmxSampleRing.PmxPublishedBlock = 1;  // published: a wide pane shows it
  DrawWaveformView();
  EXPECT_EQ(Pixel(1706, 101), red);
}

// The connect button repaints only for a new caption or a full redraw.
TEST_F(ScreenTest, TheConnectButtonRepaintsOnANewCaption) {
  for (const auto& [caption, redraw, repainted] :
       {std::tuple{"Connect", 0, true}, {"Connect", 0, false}, {"Connect", 1, true}, {"Connecting", 0, true}}) {
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(10, 5, 48, 73, MakeColour(1, 2, 3));  // over the icon and its caption strip
    platform::StopDrawing();
    link::PmxLinkState.PmxStatusText = caption;
    frame::FrameLoopState.RedrawAll = redraw;
    DrawPowerAnalyserScreen();
    EXPECT_EQ(Pixel(12, 54) != MakeColour(1, 2, 3), repainted) << caption << redraw;
  }
}

std::vector<uint8_t> Canvas() {
  int stride = 0;
  const uint8_t* data = platform::ImageData(screen::CanvasImage, &stride);
  return std::vector<uint8_t>(data, data + stride * platform::ImageHeight(screen::CanvasImage));
}

// A pass repaints only what changed: an unchanged screen keeps even a mark painted over
// it, and after each change the canvas is what painting every part again gives.
TEST_F(ScreenTest, APassPaintsOnlyWhatChangedAndLeavesWhatAFullPassWould) {
  FillVoltage(0, 3 * link::PmxBlockSamples, [](int i) { return 300 * std::sin(i / 50.0); });
  frame::FrameLoopState.RedrawAll = 1;
  DrawPowerAnalyserScreen();
  frame::FrameLoopState.RedrawAll = 0;
  platform::StartDrawing(screen::CanvasImage);
  for (const auto& [x, y] : {std::pair{20, 20}, {700, 200}, {200, 300}, {700, 600}, {40, 620}})
    platform::DrawBox(x, y, 3, 3, MakeColour(1, 2, 3));
  platform::StopDrawing();
  const std::vector<uint8_t> marked = Canvas();
  DrawPowerAnalyserScreen();
  EXPECT_TRUE(Canvas() == marked);

  PmxPaintedParts = {};
  const std::function<void()> changes[] = {
      [] {},
      [] {
        link::PmxSampleRing.PmxPublishedBlock = 2;
        HandOverNextBlock();
      },
      [] { link::PmxRanges.PmxCurrentRange = 5; },
      [] { link::PmxLinkState.PmxStatusText = "Connected", link::PmxLinkState.PmxRunning = 1; },
      [] { link::PmxLinkState.PmxSynthesisOn = 1; },
      [] { ScreenLayout.ScopeViewOn = 0, ScreenLayout.TileMode = 1, LayoutReadoutTiles(); },
      [] { ScreenLayout.ScopeViewOn = 1, ScreenLayout.TileMode = 2, LayoutReadoutTiles(); },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    changes[i]();
    DrawPowerAnalyserScreen();
    const std::vector<uint8_t> painted = Canvas();
    PmxPaintedParts = {};
    DrawPowerAnalyserScreen();
    EXPECT_TRUE(Canvas() == painted) << i;
  }
}

// The connect caption is cleared over the whole width a caption can take: after each
// change the canvas is the one a full redraw gives, with nothing left of a longer caption.
TEST_F(ScreenTest, ACaptionChangeLeavesWhatAFullRedrawWould) {
  frame::FrameLoopState.RedrawAll = 1;
  DrawPowerAnalyserScreen();
  for (const char* caption : {"Disconnecting", "Connect", "Connecting", "", "Connected"}) {
    link::PmxLinkState.PmxStatusText = caption;
    frame::FrameLoopState.RedrawAll = 0;
    DrawPowerAnalyserScreen();
    const std::vector<uint8_t> painted = Canvas();
    frame::FrameLoopState.RedrawAll = 1;
    DrawPowerAnalyserScreen();
    EXPECT_TRUE(Canvas() == painted) << caption;
  }
}

}  // namespace
}  // namespace zolt::analyser::testing
