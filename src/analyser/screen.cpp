// The power-analyser screen: the frame of a drawing pass, the icon bar and the channel
// steppers. The views and tiles are in views.cpp.
//
// Sections: images; icon bar; channel steppers; the drawing pass.
#include "analyser/screen.h"

#include "analyser/startup.h"
#include "analyser/zones.h"
#include "frame/app.h"
#include "frame/translate.h"
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"
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
};

// The connect button is painted only when its caption changed or on a full redraw; its
// zone stays registered from the last time it was.
void DrawConnectButton(int32_t x, int32_t y) {
  const link::PmxLinkStateRecord& link = link::PmxLinkState;
  std::string& drawn = PmxScreenState.ConnectCaptionDrawn;
  if (link.PmxStatusText == drawn && frame::FrameLoopState.RedrawAll != 1) return;
  drawn = link.PmxStatusText;
  const bool running = link.PmxRunning == 1;
  screen::DrawIconButton(x, y, 0, 0, running ? ImageConnected : ImageDisconnected, ZoneConnect, drawn,
                         "centre", "medium", running ? Green : Yellow);
}

void DrawIconBar() {
  const ScreenLayoutRecord& l = ScreenLayout;
  const int32_t step = 3 * screen::ScreenState.WidgetUnit;
  const frame::UiCaptions& c = frame::Captions;
  const BarIcon icons[] = {
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
  int32_t x = l.TopBarRect.X;
  const int32_t y = l.TopBarRect.Y;
  DrawConnectButton(x, y);
  x += step;
  for (const BarIcon& icon : icons) {
    screen::DrawIconButton(x, y, 0, 0, icon.Image, icon.Zone, icon.Caption, "centre", "medium", White);
    x += step;
  }
}

// ---- channel steppers ----

struct ChannelStepper {
  int32_t ZoneBase;
  std::string Value;
  const char* Name;
  Colour Accent;
};

void DrawChannelSteppers() {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const link::PmxRangesRecord& r = link::PmxRanges;
  const int32_t u = screen::ScreenState.WidgetUnit;
  // Row by row, two columns; only the first row steps the ranges.
  const ChannelStepper steppers[] = {
      {ZoneV1Stepper, screen::FormatVoltage(r.PmxVoltageRange, "", ""), " V1", c.V1Colour},
      {ZoneC1Stepper, screen::FormatCurrent(r.PmxCurrentRange, "", ""), " C1", c.C1Colour},
      {ZoneV2Stepper, "300 V", " V2", c.V2Colour},
      {ZoneC2Stepper, "10 A", " C2", c.C2Colour},
      {ZoneV3Stepper, "300 V", " V3", c.V3Colour},
      {ZoneC3Stepper, "10 A", " C3", c.C3Colour},
  };
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

}  // namespace

// ---- the drawing pass ----

void DrawPowerAnalyserScreen() {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const ScreenLayoutRecord& l = ScreenLayout;
  platform::StartDrawing(screen::CanvasImage);
  // Nothing else clears the canvas: a view switched off stays until the next full clear.
  if (frame::FrameLoopState.RedrawAll == 1)
    platform::DrawBox(0, 0, platform::ImageWidth(screen::CanvasImage), platform::ImageHeight(screen::CanvasImage),
                      c.DarkFillColour);
  platform::DrawBox(1900, 30, 20, 20, c.StatusStripColour);
  platform::StopDrawing();

  DrawIconBar();
  DrawChannelSteppers();
  if (l.ScopeViewOn == 1) DrawWaveformView();
  if (l.SecondaryPlotOn == 1) DrawSecondaryPlotView();
  if (l.TileMode == 2) DrawReadoutTiles();
  ClearStatusStrip();
}

void ClearStatusStrip() {
  platform::StartDrawing(screen::CanvasImage);
  platform::DrawBox(1500, 900, 200, 10, screen::ColourScheme.StatusStripColour);
  platform::StopDrawing();
}

}  // namespace zolt::analyser
