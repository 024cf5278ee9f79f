// Panel rendering: the canvas re-created at the surface's size with its hot zones
// cleared and its three columns painted, and the legend texts of the sweep settings.
//
// Sections: render; legend texts.
#include <array>
#include <bit>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "frame/app.h"
#include "frame/numbers.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/graph_layers.h"
#include "tracer/measurements.h"
#include "tracer/panels.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/zones.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- render ----

namespace {

// Columns: a margin of 8, the left and right columns 288 wide, another 8 beside each.
constexpr int32_t ColumnGap = 8;
constexpr int32_t SideColumnWidth = 288;
constexpr int32_t SideColumnSpan = ColumnGap + SideColumnWidth + ColumnGap;  // 304

// Plot margins inside the middle column: room for the Y numbers and title on the left,
// the Y cursor labels on the right, the X cursor labels above and the X numbers and
// title below.
constexpr int32_t PlotMarginLeft = 64;
constexpr int32_t PlotMarginRight = 40;
constexpr int32_t PlotMarginTop = 40;
constexpr int32_t PlotMarginBottom = 112;

// The canvas at the surface's size, black, ready for the column fills, which cover all
// of it at any width (the middle fill reaches 16 px into the right column). A canvas
// already of that size is therefore kept as it is, which spares allocating and clearing
// it on every pass.
void PrepareCanvas(int32_t width, int32_t height) {
  if (platform::ImageWidth(screen::CanvasImage) == width && platform::ImageHeight(screen::CanvasImage) == height)
    return;
  platform::CreateImage(screen::CanvasImage, width, height);
}

void RenderPanels(bool keepLayers);

}  // namespace

void RenderPanelImage() { RenderPanels(false); }

void RenderPanelImageKeepingLayers() { RenderPanels(true); }

namespace {

// ---- the left column kept ----
//
// A pass that keeps layers paints the left column again only when something it shows has
// changed, apart from the run-status box (run status, last stop, live readings), which is
// painted over the kept column alone, as long as that painting keeps within its place and
// leaves nothing of an earlier one beyond it. The
// column's zones are registered again as its last painting left them. Nothing else may
// have painted over the column since (a very narrow window, a backdrop reaching left).

// What both kept columns look like besides their own contents: the canvas they lie on,
// the display's resolution, the colours and the captions.
struct ColumnLook {
  uint64_t Canvas = 0;
  double DpiX = 0, DpiY = 0;
  screen::ColourSchemeRecord Colours;
  frame::UiCaptions Captions;
  bool operator==(const ColumnLook&) const = default;
};

ColumnLook CurrentLook() {
  return {platform::ImageSerial(screen::CanvasImage), platform::DisplayDpiX(), platform::DisplayDpiY(),
          screen::ColourScheme, frame::Captions};
}

struct LeftInputs {
  int32_t Height = 0;
  ColumnLook Look;
  std::string LanguageApplied;
  int32_t LanguageColumn = 0;
  std::string MicroSign;
  TestSetupRecord Setup;
  GraphSettingsRecord Graph;
  int32_t TestConfiguration = 0;
  int32_t RunPhase = 0;
  int32_t SampleRunNumber = 0;
  int32_t DisplayedRunFile = 0;
  bool operator==(const LeftInputs&) const = default;
};

LeftInputs CurrentLeft(int32_t height) {
  LeftInputs in;
  in.Height = height;
  in.Look = CurrentLook();
  in.LanguageApplied = frame::LanguageState.LanguageApplied;
  in.LanguageColumn = frame::LanguageState.LanguageColumn;
  in.MicroSign = frame::AppInfo.MicroSign;
  in.Setup = TestSetup;
  in.Graph = GraphSettings;
  in.TestConfiguration = TestConfiguration;
  in.RunPhase = RunControl.RunPhase;
  in.SampleRunNumber = SampleRunNumber;
  in.DisplayedRunFile = DisplayedRunFile;
  return in;
}

struct KeptLeft {
  bool Valid = false;
  LeftInputs From;
  std::vector<std::pair<int32_t, screen::HotZoneRect>> Zones;
};

KeptLeft keptLeft;

bool SameZone(const screen::HotZoneRect& a, const screen::HotZoneRect& b) {
  return a.Left == b.Left && a.Right == b.Right && a.Top == b.Top && a.Bottom == b.Bottom;
}

bool Overlap(const platform::PaintedArea& a, const platform::PaintedArea& b) {
  return !a.Empty() && !b.Empty() && a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Paints the left column, or only its run-status box over the kept one; returns what
// the painting may have reached.
platform::PaintedArea PaintLeftColumn(bool keepLayers, int32_t height) {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  if (keepLayers) {
    const LeftInputs now = CurrentLeft(height);
    if (keptLeft.Valid && keptLeft.From == now) {
      // The zones as they were, should the whole column be painted after all.
      std::vector<std::pair<int32_t, screen::HotZoneRect>> before;
      for (const auto& [id, zone] : keptLeft.Zones) {
        before.emplace_back(id, screen::HotZone[id]);
        screen::HotZone[id] = zone;
      }
      before.emplace_back(ZoneRunStatusBox, screen::HotZone[ZoneRunStatusBox]);
      platform::StartNotingPaint();
      RedrawRunStatusBox();
      const platform::PaintedArea box = platform::StopNotingPaint();
      if (RunStatusBoxStayedInside()) return box;
      for (auto it = before.rbegin(); it != before.rend(); ++it) screen::HotZone[it->first] = it->second;
    }
    keptLeft.Valid = false;
    const auto zonesBefore = screen::HotZone;
    platform::StartNotingPaint();
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(0, 0, SideColumnSpan, height, c.DarkFillColour);
    platform::StopDrawing();
    DrawControlPanels(ColumnGap, ColumnGap, SideColumnWidth, height - 2 * ColumnGap, ColumnGap);
    const platform::PaintedArea painted = platform::StopNotingPaint();
    keptLeft.Zones.clear();
    for (int32_t id = 0; id <= screen::HitTestedZoneLast; ++id)
      if (!SameZone(zonesBefore[id], screen::HotZone[id])) keptLeft.Zones.emplace_back(id, screen::HotZone[id]);
    keptLeft.From = now;
    // Kept even when the box's texts reach beyond it: the next painting over it tells.
    keptLeft.Valid = true;
    return painted;
  }
  platform::StartDrawing(screen::CanvasImage);
  platform::DrawBox(0, 0, SideColumnSpan, height, c.DarkFillColour);
  platform::StopDrawing();
  DrawControlPanels(ColumnGap, ColumnGap, SideColumnWidth, height - 2 * ColumnGap, ColumnGap);
  return {};
}

// ---- the right-hand column kept ----
//
// The right-hand column is painted again only when something it shows has changed, or
// when something else may have painted over it since; it is kept only while the middle
// column paints nothing that could reach it (the copy and cursors unchanged), so that
// the overhang of its last painting into the middle column stays too.

// Numbers are kept by their bits, so that a value that is not a number (a gap of a stored
// run) compares equal to itself and does not repaint the column on every pass.
uint64_t Bits(double value) { return std::bit_cast<uint64_t>(value); }

struct RightInputs {
  int32_t Width = 0, Height = 0;
  ColumnLook Look;
  std::array<int32_t, 4> Shown{};
  std::array<uint64_t, 4> Values{};
  std::array<int32_t, 2> Locks{};
  int64_t Slope = 0;
  std::array<int32_t, MaxCurves> Totals{};
  std::array<uint64_t, MaxCurves> AtA{}, AtB{}, LabelValues{};
  std::array<uint32_t, MaxCurves> CurveColours{};
  std::string YQuantity, CurveQuantity;
  std::array<std::string, 7> Legends;
  int32_t LastCurve = 0;
  std::array<std::array<std::string, MaxCurves>, 5> Cells;
  bool operator==(const RightInputs&) const = default;
};

RightInputs CurrentRight(int32_t width, int32_t height) {
  RightInputs in;
  in.Width = width;
  in.Height = height;
  in.Look = CurrentLook();
  const CursorRecord* cursors[4] = {&CursorXA, &CursorXB, &CursorYA, &CursorYB};
  for (int k = 0; k < 4; ++k) {
    in.Shown[k] = cursors[k]->Shown;
    in.Values[k] = Bits(cursors[k]->Value);
  }
  in.Locks = {CursorXLock.Locked, CursorYLock.Locked};
  in.Slope = SlopeShown;
  for (int i = 0; i < MaxCurves; ++i) {
    in.Totals[i] = DisplayedSweeps.TotalEntries[i];
    in.AtA[i] = Bits(YAtCursorXA[i]);
    in.AtB[i] = Bits(YAtCursorXB[i]);
    in.LabelValues[i] = Bits(GraphPlotData.LabelValue[i]);
    in.CurveColours[i] = CurveStyles[i].Colour;
    for (int k = 0; k < 5; ++k) in.Cells[k][i] = KeyMeasurementCells[k][i];
  }
  in.YQuantity = GraphSettings.YQuantity;
  in.CurveQuantity = GraphSettings.CurveQuantity;
  for (int k = 0; k < 7; ++k) in.Legends[k] = SetupLegendTexts[k];
  in.LastCurve = LastSampleCurve;
  return in;
}

struct KeptRight {
  bool Valid = false;
  RightInputs From;
  platform::PaintedArea Painted;  // what its last painting may have reached
  std::vector<std::pair<int32_t, screen::HotZoneRect>> Zones;
};

KeptRight keptRight;

void PaintRightColumn(int32_t width, int32_t height) {
  platform::StartDrawing(screen::CanvasImage);
  platform::DrawBox(width - SideColumnSpan, 0, SideColumnSpan, height, screen::ColourScheme.DarkFillColour);
  platform::StopDrawing();
  DrawCursorAndMeasurementPanels(width - SideColumnSpan + ColumnGap, ColumnGap, SideColumnWidth, height,
                                 ColumnGap);
}

void RenderPanels(bool keepLayers) {
  const screen::ScreenStateRecord& s = screen::ScreenState;
  if (s.ScreenOpen != 1) return;
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const int32_t width = s.ScreenWidth;
  const int32_t height = s.ScreenHeight;
  const int32_t middleWidth = width - 2 * SideColumnSpan;
  const platform::PaintedArea leftRegion{0, 0, SideColumnSpan, height};

  screen::ClearHotZones();
  PrepareCanvas(width, height);

  const platform::PaintedArea leftColumn = PaintLeftColumn(keepLayers, height);

  if (!keepLayers) {
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(SideColumnSpan, 0, middleWidth + 2 * ColumnGap, height, c.DarkerFillColour);
    platform::StopDrawing();
    DrawGraphTitlePanel(SideColumnSpan, ColumnGap, middleWidth, height - 2 * ColumnGap, ColumnGap, PlotMarginLeft,
                        PlotMarginRight, PlotMarginTop, PlotMarginBottom);
    PaintRightColumn(width, height);
    return;
  }

  const RightInputs right = CurrentRight(width, height);
  const bool rightStays = keptRight.Valid && keptRight.From == right && !Overlap(leftColumn, keptRight.Painted) &&
                          GraphColumnStaysPut(SideColumnSpan, middleWidth, PlotMarginLeft, PlotMarginRight,
                                              PlotMarginTop, PlotMarginBottom, leftColumn);
  platform::StartNotingPaint();
  DrawGraphColumnKeepingLayers(SideColumnSpan, middleWidth, PlotMarginLeft, PlotMarginRight, PlotMarginTop,
                               PlotMarginBottom, leftColumn, rightStays ? platform::PaintedArea{} : keptRight.Painted);
  if (Overlap(platform::StopNotingPaint(), leftRegion)) keptLeft.Valid = false;

  if (rightStays) {
    for (const auto& [id, zone] : keptRight.Zones) screen::HotZone[id] = zone;
    return;
  }
  const auto zonesBefore = screen::HotZone;
  platform::StartNotingPaint();
  PaintRightColumn(width, height);
  keptRight.Painted = platform::StopNotingPaint();
  keptRight.Zones.clear();
  for (int32_t id = 0; id <= screen::HitTestedZoneLast; ++id)
    if (!SameZone(zonesBefore[id], screen::HotZone[id])) keptRight.Zones.emplace_back(id, screen::HotZone[id]);
  // What it shows is read after the painting, which fills the key-measurement cells.
  keptRight.From = CurrentRight(width, height);
  keptRight.Valid = true;
  if (Overlap(keptRight.Painted, leftRegion)) keptLeft.Valid = false;
}

}  // namespace

// ---- legend texts ----

namespace {

// "0" for exactly 0, else three decimals with trailing zeros and a bare point removed.
std::string LegendNumber(double n) {
  if (n == 0.0) return "0";
  std::string text = frame::FixedDecimals(n, 3);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string PulseLegend(double length) {
  if (length == 0.0) return "Continuous";
  return "Pulsed " + LegendNumber(length * 1e6) + " us";
}

}  // namespace

void BuildSetupLegendTexts() {
  // With no run on display (a number browsed to that no file holds a run under) there
  // are no settings to show.
  if (DisplayedRunFile == NoRunFile) {
    for (std::string& text : SetupLegendTexts) text.clear();
    return;
  }
  const RunSetupSnapshot& s = ShownStepSetups[0];
  SetupLegendTexts[0] = LegendNumber(s.CollectorMaxVoltage) + " V";

  const double current = std::fabs(s.CollectorMaxCurrent);
  if (current >= 1)
    SetupLegendTexts[1] = LegendNumber(s.CollectorMaxCurrent) + " A";
  else if (current >= 0.001)
    SetupLegendTexts[1] = LegendNumber(s.CollectorMaxCurrent * 1000) + " mA";
  else
    SetupLegendTexts[1] = LegendNumber(s.CollectorMaxCurrent * 1e6) + " uA";

  const double ohms = std::fabs(s.CollectorResistorOhms);
  if (ohms >= 1e6)
    SetupLegendTexts[2] = LegendNumber(s.CollectorResistorOhms / 1e6) + " MR";
  else if (ohms >= 1000)
    SetupLegendTexts[2] = LegendNumber(s.CollectorResistorOhms / 1000) + " kR";
  else
    SetupLegendTexts[2] = LegendNumber(s.CollectorResistorOhms) + " R";

  SetupLegendTexts[3] = PulseLegend(s.CollectorPulseLength);
  SetupLegendTexts[4] = PulseLegend(s.BaseGatePulseLength);
  SetupLegendTexts[5] = LegendNumber(s.SampleRate) + " Hz";
  SetupLegendTexts[6] = std::to_string(RunInfo.GraphType);
}

}  // namespace zolt::tracer
