// The power-analyser screen: the frame of a drawing pass, the icon bar and the channel
// steppers. The views and tiles are in views.cpp.
//
// Sections: images; icon bar; channel steppers; what was painted; the drawing pass.
#include "analyser/screen.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "analyser/startup.h"
#include "analyser/zones.h"
#include "frame/app.h"
#include "frame/fonts.h"
#include "frame/translate.h"
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/format.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::analyser {

using platform::Colour;
using platform::MakeColour;

// ---- images ----

namespace {

// The icon images loaded by the drawing surface (screen/surface.cpp).
constexpr int32_t ImageCamera = 234;
constexpr int32_t ImageDisconnected = 235;
constexpr int32_t ImageConnected = 236;
constexpr int32_t ImageCursorVertical = 238;
constexpr int32_t ImageCursorHorizontal = 240;
constexpr int32_t ImageFftOff = 241, ImageFftOn = 242;
constexpr int32_t ImageFile = 244;
constexpr int32_t ImageHelp = 246;
constexpr int32_t ImagePlay = 250;
constexpr int32_t ImageScopeOff = 251, ImageScopeOn = 252;
constexpr int32_t ImageSettings = 254;
constexpr int32_t ImageCalibration = 256;
constexpr int32_t ImageStop = 260;
constexpr int32_t ImageSynthOff = 261, ImageSynthOn = 262;
constexpr int32_t ImageTilesNone = 263, ImageTilesHorizontal = 264, ImageTilesVertical = 265;
constexpr int32_t ImageZoom = 267;

constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Yellow = MakeColour(255, 255, 0);
constexpr Colour Green = MakeColour(0, 255, 0);

int32_t Either(int32_t flag, int32_t off, int32_t on) { return flag == 0 ? off : on; }

int32_t TileModeImage(int32_t mode) {
  if (mode == 1) return ImageTilesHorizontal;
  if (mode == 2) return ImageTilesVertical;
  return ImageTilesNone;
}

// ---- icon bar ----

// One icon of the bar, in painting order.
struct BarIcon {
  int32_t Zone;
  int32_t Image;
  std::string Caption;
  Colour CaptionColour = White;
};

// The bar's icons, the connect button first: its image and caption colour follow the
// connection.
std::vector<BarIcon> BarIcons() {
  const ScreenLayoutRecord& l = ScreenLayout;
  const frame::UiCaptions& c = frame::Captions;
  const link::PmxLinkStateRecord& link = link::PmxLinkState;
  const bool running = link.PmxRunning == 1;
  return {
      {ZoneConnect, running ? ImageConnected : ImageDisconnected, link.PmxStatusText, running ? Green : Yellow},
      {ZoneCamera, ImageCamera, c.Image},
      {ZoneZoom, ImageZoom, c.Image},
      {ZoneCursorVertical, ImageCursorVertical, ""},
      {ZoneCursorHorizontal, ImageCursorHorizontal, ""},
      {ZoneFile, ImageFile, ""},
      {ZonePlay, ImagePlay, ""},
      {ZoneStop, ImageStop, c.Stop},
      {ZoneSettings, ImageSettings, ""},
      {ZoneCalibration, ImageCalibration, ""},
      {ZoneHelp, ImageHelp, ""},
      {ZoneSynthesis, Either(link::PmxLinkState.PmxSynthesisOn, ImageSynthOff, ImageSynthOn), ""},
      {ZoneScope, Either(l.ScopeViewOn, ImageScopeOff, ImageScopeOn), ""},
      {ZoneSecondaryPlot, Either(l.SecondaryPlotOn, ImageFftOff, ImageFftOn), ""},
      {ZoneTileMode, TileModeImage(l.TileMode), ""},
  };
}

// The connect button's caption is centred under its icon and may be wider than the icon's
// caption strip: the strip is cleared as wide as the widest caption the button shows, so
// a shorter caption leaves nothing of a longer one ("Disconnecting", then "Connect").
// The icons after it are painted over the cleared part again.
void ClearConnectCaption(int32_t x, int32_t y, int32_t image) {
  if (!platform::IsImage(image)) return;
  const frame::UiCaptions& c = frame::Captions;
  const int32_t w = platform::ImageWidth(image), h = platform::ImageHeight(image);
  platform::StartDrawing(screen::CanvasImage);
  platform::SelectFont(frame::FontBody);
  double widest = 0.0;
  const std::string* captions[] = {&c.Connect, &c.Connecting, &c.Connected, &c.Disconnecting,
                                   &link::PmxLinkState.PmxStatusText};
  for (const std::string* caption : captions)
    widest = std::max(widest, platform::TextWidth(*caption));
  const int32_t half = static_cast<int32_t>(widest / 2) + 2;
  // A caption that would start left of the canvas is drawn from its edge instead.
  const int32_t captionLeft = std::max(0, x + w / 2 - half);
  const int32_t left = std::min(x, captionLeft), right = std::max(x + w, captionLeft + 2 * half);
  platform::DrawBox(left, y + h, right - left, 25, screen::ColourScheme.DarkFillColour);
  platform::StopDrawing();
}

// Each icon is blended onto the canvas's fill, as after a full clear, so painting the bar
// again gives the same pixels.
void DrawIconBar(const std::vector<BarIcon>& icons) {
  const int32_t step = 3 * screen::ScreenState.WidgetUnit;
  int32_t x = ScreenLayout.TopBarRect.X;
  const int32_t y = ScreenLayout.TopBarRect.Y;
  ClearConnectCaption(x, y, icons.front().Image);
  for (const BarIcon& icon : icons) {
    if (platform::IsImage(icon.Image)) {
      platform::StartDrawing(screen::CanvasImage);
      platform::DrawBox(x, y, platform::ImageWidth(icon.Image), platform::ImageHeight(icon.Image),
                        screen::ColourScheme.DarkFillColour);
      platform::StopDrawing();
    }
    screen::DrawIconButton(x, y, 0, 0, icon.Image, icon.Zone, icon.Caption, "centre", "medium", icon.CaptionColour);
    x += step;
  }
}

std::string BarKey(const std::vector<BarIcon>& icons) {
  std::string key = std::to_string(ScreenLayout.TopBarRect.X) + "," + std::to_string(ScreenLayout.TopBarRect.Y) +
                    "," + std::to_string(screen::ScreenState.WidgetUnit);
  for (const BarIcon& icon : icons)
    key += "|" + std::to_string(icon.Image) + "," + std::to_string(icon.CaptionColour) + "," + icon.Caption;
  return key;
}

// ---- channel steppers ----

struct ChannelStepper {
  int32_t ZoneBase;
  std::string Value;
  const char* Name;
  Colour Accent;
};

using ChannelSteppers = std::array<ChannelStepper, 6>;

// Row by row, two columns; only the first row steps the ranges.
ChannelSteppers Steppers() {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const link::PmxRangesRecord& r = link::PmxRanges;
  return {{
      {ZoneV1Stepper, screen::FormatVoltage(r.PmxVoltageRange, "", ""), " V1", c.V1Colour},
      {ZoneC1Stepper, screen::FormatCurrent(r.PmxCurrentRange, "", ""), " C1", c.C1Colour},
      {ZoneV2Stepper, "300 V", " V2", c.V2Colour},
      {ZoneC2Stepper, "10 A", " C2", c.C2Colour},
      {ZoneV3Stepper, "300 V", " V3", c.V3Colour},
      {ZoneC3Stepper, "10 A", " C3", c.C3Colour},
  }};
}

std::string SteppersKey(const ChannelSteppers& steppers) {
  std::string key = std::to_string(ScreenLayout.BottomPaneRect.X) + "," +
                    std::to_string(ScreenLayout.BottomPaneRect.Y) + "," +
                    std::to_string(screen::ScreenState.WidgetUnit);
  for (const ChannelStepper& s : steppers) key += "|" + s.Value;
  return key;
}

void DrawChannelSteppers(const ChannelSteppers& steppers) {
  const int32_t u = screen::ScreenState.WidgetUnit;
  const int32_t x0 = ScreenLayout.BottomPaneRect.X;
  const int32_t y0 = ScreenLayout.BottomPaneRect.Y;
  for (int i = 0; i < 6; ++i) {
    const ChannelStepper& s = steppers[i];
    const int32_t b = s.ZoneBase;
    screen::HotZoneText[b + screen::ZoneStepperValue] = s.Value;
    screen::HotZoneText[b + screen::ZoneStepperTitle] = s.Name;
    screen::HotZoneText[b + 4].clear();
    screen::HotZoneText[b + screen::ZoneStepperBottom].clear();
    screen::HotZoneText[b + 6].clear();
    screen::DrawStepperControl(x0 + (i % 2) * 6 * u, y0 + (i / 2) * 3 * u, 0, 0, b, s.Accent);
  }
}

// ---- what was painted ----
//
// A pass paints a part only when what it shows differs from what it was last painted
// from, or when a part before it in the pass was painted (it may lie over it), so an
// unchanged screen costs almost nothing and a new block repaints only the views and the
// tiles. What a part shows: its places, images, texts and colours; for the waveform view
// the block it shows and the last published block (the end of what it may read).

// Whether a part is painted in this pass; records what it is painted from.
template <typename Key>
bool PaintNow(Key& painted, const std::type_identity_t<Key>& shown, bool& cascade) {
  if (!cascade && painted == shown) return false;
  painted = shown;
  cascade = true;
  return true;
}

std::array<int32_t, 4> Pane(const PixelRect& r) { return {r.X, r.Y, r.Width, r.Height}; }

}  // namespace

// ---- the drawing pass ----

void DrawPowerAnalyserScreen() {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const ScreenLayoutRecord& l = ScreenLayout;
  PmxPaintedPartsRecord& painted = PmxPaintedParts;
  const int32_t width = platform::ImageWidth(screen::CanvasImage);
  const int32_t height = platform::ImageHeight(screen::CanvasImage);
  platform::StartDrawing(screen::CanvasImage);
  // Nothing else clears the canvas: a view switched off stays until the next full clear.
  if (frame::FrameLoopState.RedrawAll == 1) platform::DrawBox(0, 0, width, height, c.DarkFillColour);
  platform::DrawBox(1900, 30, 20, 20, c.StatusStripColour);
  platform::StopDrawing();

  // After a full clear, or on a new canvas, every part is painted.
  bool cascade = frame::FrameLoopState.RedrawAll == 1 || !painted.Painted || painted.CanvasWidth != width ||
                 painted.CanvasHeight != height;
  painted.Painted = true;
  painted.CanvasWidth = width;
  painted.CanvasHeight = height;

  const std::vector<BarIcon> icons = BarIcons();
  if (PaintNow(painted.Bar, BarKey(icons), cascade)) DrawIconBar(icons);
  const ChannelSteppers steppers = Steppers();
  if (PaintNow(painted.Steppers, SteppersKey(steppers), cascade)) DrawChannelSteppers(steppers);
  // The bar shows the three view switches, so switching a view repaints every part.
  if (l.ScopeViewOn == 1) {
    const auto [x, y, w, h] = Pane(screen::PlotRect);
    const link::PmxSampleRingRecord& ring = link::PmxSampleRing;
    const std::array<int32_t, 6> shown = {x, y, w, h, ring.PmxLastProcessedBlock, ring.PmxPublishedBlock.load()};
    if (PaintNow(painted.Waveform, shown, cascade)) DrawWaveformView();
  }
  if (l.SecondaryPlotOn == 1) {
    // Both are looked at, so that each keeps what it saw.
    const bool pane = PaintNow(painted.SecondaryPane, Pane(screen::BelowPlotRect), cascade);
    const bool series = PaintNow(painted.SecondarySeries, PmxScreenState.SecondaryPlotSeries, cascade);
    if (pane || series) DrawSecondaryPlotView();
  }
  if (l.TileMode == 2) {
    const std::vector<ReadoutTile> tiles(ReadoutTiles.begin() + 1, ReadoutTiles.begin() + 1 + ReadoutTileCount);
    const bool texts = PaintNow(painted.Tiles, tiles, cascade);
    const bool heights = PaintNow(painted.TileHeights, {l.TileLabelHeight, l.TileDescriptionHeight}, cascade);
    if (texts || heights) DrawReadoutTiles();
  }
  ClearStatusStrip();
}

void ClearStatusStrip() {
  platform::StartDrawing(screen::CanvasImage);
  platform::DrawBox(1500, 900, 200, 10, screen::ColourScheme.StatusStripColour);
  platform::StopDrawing();
}

}  // namespace zolt::analyser
