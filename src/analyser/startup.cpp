// The power analyser's start-up and screen layout.
//
// Sections: tile start texts; start-up; layout.
#include "analyser/startup.h"

#include <algorithm>

#include "analyser/handler.h"
#include "frame/fonts.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "link/pmx_link.h"
#include "platform/draw.h"
#include "platform/system.h"
#include "screen/colours.h"
#include "screen/surface.h"

namespace zolt::analyser {

// ---- tile start texts ----

namespace {

struct TileText {
  const char* Value;
  const char* Unit;
  const char* Label;
  const char* Description;
};

// Tiles 1..16. Only 8 (frequency) and 13..16 (peaks) are measured; every value shows
// "----", no reading, until one stands, and the tiles that measure nothing keep it.
constexpr TileText TileStartTexts[ReadoutTileCount] = {
    {"----", "uA", "Urms", "rms voltage"},     {"----", "uA", "Irms", "rms current"},
    {"----", "Vrms", "P1", "active power"},    {"----", "nW", "S1", "apparent power"},
    {"----", "mA", "Q1", "reactive power"},    {"----", "kV", "PF", "power factor"},
    {"----", "A", "Ipk", "peak hold"},         {"----", "Hz", "Freq", "frequency"},
    {"----", "uA", "Urms", "rms voltage"},     {"----", "uA", "Irms", "rms current"},
    {"----", "Vrms", "P1", "active power"},    {"----", "nW", "S1", "apparent power"},
    {"----", "V", "Upk", "U +peak"},           {"----", "V", "-Upk", "U -peak"},
    {"----", "A", "Ipk", "I +peak"},           {"----", "A", "-Ipk", "I -peak"},
};

// Opens the listening socket; a port in use is only logged.
void OpenIdleServer() {
  if (platform::OpenNetworkServer(PmxNetworkServer, PmxNetworkPort, 100)) return;
  // A type without a message box: start-up goes on and the power analyser works as before.
  frame::ReportMessage("Log", "TCP server",
                       "port " + std::to_string(PmxNetworkPort) + " not opened (" + platform::LastNetworkError() + ")");
}

}  // namespace

// ---- start-up ----

void SetTileStartTexts() {
  for (int t = 1; t <= ReadoutTileCount; ++t) {
    const TileText& text = TileStartTexts[t - 1];
    ReadoutTile& tile = ReadoutTiles[t];
    tile.Value = text.Value;
    tile.Unit = text.Unit;
    tile.Label = text.Label;
    tile.Description = text.Description;
  }
}

void StartPowerAnalyser() {
  SetTileStartTexts();
  link::PmxLinkHooks = {PmxStreamStarting, PmxLinkEnded};
  // The layout measures text on the canvas, so it exists before the main program's own.
  screen::CreateCanvasImage();
  screen::SetColourScheme();
  // The first open happens before the window is measured; the second gets the real size.
  screen::OpenGraphScreen();
  screen::CloseGraphScreen();
  screen::OpenGraphScreen();
  LayoutReadoutTiles();
  OpenIdleServer();
}

// ---- layout ----

namespace {

int32_t Nearest(double value) { return frame::RoundToInt32(value); }

// The tallest of the tiles' texts (Label or Description) in a font, on the canvas.
int32_t TallestText(int font, std::string ReadoutTile::*text) {
  platform::SelectFont(font);
  int32_t tallest = 0;
  for (int t = 1; t <= ReadoutTileCount; ++t)
    tallest = std::max(tallest, Nearest(platform::TextHeight(ReadoutTiles[t].*text)));
  return tallest;
}

}  // namespace

void ComputeScreenLayout() {
  ScreenLayoutRecord& l = ScreenLayout;
  const int32_t w = screen::ScreenState.ScreenWidth;
  const int32_t h = screen::ScreenState.ScreenHeight;
  l.LayoutMode = l.TileMode + 4 * l.ScopeViewOn + 8 * l.SecondaryPlotOn;
  switch (l.LayoutMode) {
    case 1:  // tile pane, no views
      l.TopBarRect = {10, 10, w, 72};
      l.LeftPaneRect = {10, 92, w, h - 92};
      l.CentrePaneRect = {100, 100, 10, 10};
      l.CentreLowerRect = {100, 100, 10, 10};
      break;
    case 2:  // tiles, no views
      l.TopBarRect = {10, 10, w, 72};
      l.LeftPaneRect = {10, 92, w, h - 92};
      break;
    case 9:  // tile pane and the secondary plot
      l.TopBarRect = {10, 10, w, 72};
      l.LeftPaneRect = {10, 92, 288, h - 92};
      l.CentrePaneRect = {308, 92, w - 318, Nearest((h - 92) * 0.7)};
      l.BottomPaneRect = {308, h - 82, w - 318, 72};
      break;
    case 13: {  // tile pane, scope and secondary plot
      const int32_t c = Nearest((h - 92) * 0.4);
      l.TopBarRect = {5, 5, w, 72};
      l.LeftPaneRect = {10, 87, 288, h - 87};
      l.CentrePaneRect = {308, 87, w - 318, c};
      l.CentreLowerRect = {308, 87 + c + 10, w - 318, Nearest((h - 92) * 0.3)};
      l.BottomPaneRect = {308, h - 82, w - 318, 72};
      break;
    }
    case 14: {  // tiles, scope and secondary plot: the start-up mode
      const int32_t c = Nearest((h - 92) * 0.6);
      l.TopBarRect = {10, 5, w, 72};
      l.BottomPaneRect = {10, h - 216, 288, 216};
      l.LeftPaneRect = {10, 77, 288, h - 77 - 216};
      l.CentrePaneRect = {298, 77, w - 576, c};
      l.CentreLowerRect = {298, 77 + c + 10, w - 576, Nearest((h - 92) * 0.4)};
      break;
    }
    default:  // the other modes keep the panes of an earlier layout
      break;
  }
}

void LayoutReadoutTiles() {
  ScreenLayoutRecord& l = ScreenLayout;
  ComputeScreenLayout();
  screen::PlotRect = l.CentrePaneRect;
  screen::BelowPlotRect = l.CentreLowerRect;
  l.PlotCentreX = screen::PlotRect.X + screen::PlotRect.Width / 2;
  l.PlotCentreY = screen::PlotRect.Y + screen::PlotRect.Height / 2;
  l.BelowPlotCentreX = screen::BelowPlotRect.X + screen::BelowPlotRect.Width / 2;
  l.BelowPlotCentreY = screen::BelowPlotRect.Y + screen::BelowPlotRect.Height / 2;

  platform::StartDrawing(screen::CanvasImage);
  l.TileLabelHeight = TallestText(frame::FontTileLabel, &ReadoutTile::Label);
  l.TileDescriptionHeight = TallestText(frame::FontTileDescription, &ReadoutTile::Description);
  platform::StopDrawing();

  // The pane's height is shared out in whole tiles; a remainder stays empty below.
  const PixelRect& pane = l.LeftPaneRect;
  const int32_t h = pane.Height / ReadoutTileCount;
  for (int t = 1; t <= ReadoutTileCount; ++t) {
    ReadoutTile& tile = ReadoutTiles[t];
    tile.X = pane.X;
    tile.Y = pane.Y + (t - 1) * h;
    tile.Width = pane.Width;
    tile.Height = h;
    tile.LabelRight = Nearest(pane.X + 0.35 * pane.Width);
    tile.DividerX = Nearest(pane.X + 0.38 * pane.Width);
    tile.ValueRight = Nearest(pane.X + 0.75 * pane.Width);
    tile.UnitLeft = Nearest(pane.X + 0.78 * pane.Width);
  }
}

}  // namespace zolt::analyser
