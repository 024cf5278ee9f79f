// The right-hand column: the CURSORS panel (toggle bars and readouts), the
// KEY / MEASUREMENTS table (per curve, the values at XA and XB and their difference,
// highest step first) and the SWEEP SETTINGS list at the column's foot.
//
// Sections: cell rows; cursor panel; key measurements; sweep settings.
#include <cmath>
#include <initializer_list>
#include <string>

#include "frame/numbers.h"
#include "frame/translate.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/format.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/panels.h"
#include "tracer/quantities.h"
#include "tracer/run_file.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"
#include "tracer/zones.h"

namespace zolt::tracer {

using frame::Captions;
using screen::ColourScheme;

namespace {

constexpr int32_t RowHeight = 16;
constexpr int32_t HeaderHeight = 16;
constexpr int32_t BarHeight = 24;

// ---- cell rows ----

struct Cell {
  int32_t Width;
  std::string Text;
  const char* Align;
};

// Paints one row of cells on the readout background.
void CellRow(int32_t x, int32_t y, int32_t w, std::initializer_list<Cell> cells) {
  screen::CellRowTableRecord& row = screen::CellRowTable;
  int i = 0;
  for (const Cell& cell : cells) {
    row.CellWidth[i] = cell.Width;
    row.CellText[i] = cell.Text;
    row.CellAlign[i] = cell.Align;
    ++i;
  }
  row.CellWidth[i] = 0;
  screen::DrawCellRow(x, y, w, RowHeight, ColourScheme.ReadoutBackColour, ColourScheme.CaptionTextColour);
}

void Header(int32_t x, int32_t y, int32_t w, int32_t base, const std::string& title) {
  screen::DrawPanelHeader(x, y, w, HeaderHeight, base, title, "", ColourScheme.DarkFillColour,
                          ColourScheme.CaptionTextColour);
}

// ---- cursor panel ----

int32_t Bit(bool on, int32_t bit) { return on ? (1 << bit) : 0; }

void CursorBars(int32_t x, int32_t w) {
  const int32_t xBase = ZoneXCursorBar;
  screen::HotZoneText[xBase + 1] = Captions.XA;
  screen::HotZoneText[xBase + 2] = Captions.XB;
  screen::HotZoneText[xBase + 3] = Captions.Sync;
  screen::HotZoneText[xBase + 4] = Captions.Zero;
  screen::HotZoneText[xBase + 5] = Captions.Slope;
  const int32_t xMask = Bit(CursorXA.Shown == 1, 0) | Bit(CursorXB.Shown == 1, 1) | Bit(CursorXLock.Locked == 1, 2) |
                        Bit(SlopeShown == 1, 4);
  screen::DrawBitToggleBar(x, 24, w, BarHeight, xBase, 5, xMask, ColourScheme.CaptionTextColour);

  // The Y bar overlaps the X bar's last pixel row.
  const int32_t yBase = ZoneYCursorBar;
  screen::HotZoneText[yBase + 1] = Captions.YA;
  screen::HotZoneText[yBase + 2] = Captions.YB;
  screen::HotZoneText[yBase + 3] = Captions.Sync;
  screen::HotZoneText[yBase + 4] = Captions.Zero;
  screen::HotZoneText[yBase + 5] = "";
  const int32_t yMask = Bit(CursorYA.Shown == 1, 0) | Bit(CursorYB.Shown == 1, 1) | Bit(CursorYLock.Locked == 1, 2);
  screen::DrawBitToggleBar(x, 47, w, BarHeight, yBase, 5, yMask, ColourScheme.CaptionTextColour);
}

// The readout rows of the shown cursors; returns the y below the last row.
int32_t CursorReadouts(int32_t x, int32_t y, int32_t w) {
  const auto readout = [&](const std::string& caption, double value) {
    CellRow(x, y, w, {{120, caption, "Right"}, {205, frame::RealToText(value), "Left"}});
    y += RowHeight;
  };
  const bool xa = CursorXA.Shown == 1, xb = CursorXB.Shown == 1;
  const bool ya = CursorYA.Shown == 1, yb = CursorYB.Shown == 1;
  if (xa) readout("XA : ", CursorXA.Value);
  if (xb) readout("XB : ", CursorXB.Value);
  if (xa && xb) readout("Difference (XB-XA) : ", CursorXB.Value - CursorXA.Value);
  if (ya) readout("YA : ", CursorYA.Value);
  if (yb) readout("YB : ", CursorYB.Value);
  if (ya && yb) readout("Difference (YB-YA) : ", CursorYB.Value - CursorYA.Value);
  if (SlopeShown == 1)
    readout("Slope (X/Y): ", (CursorXB.Value - CursorXA.Value) / (CursorYB.Value - CursorYA.Value));
  return y;
}

// ---- key measurements ----

// A value that is no number (a curve of gaps, a cursor beyond its points) shows none.
std::string Formatted(double value, const std::string& kind) {
  return std::isfinite(value) ? screen::FormatValueWithUnit(value, kind, 1, 1) : std::string();
}

// Fills the table's texts for the curves of the run on display; with none, it has no rows.
void BuildKeyMeasurementCells() {
  LastSampleCurve = MaxCurves - 1;
  for (int i = 0; i < MaxCurves; ++i)
    if (DisplayedSweeps.TotalEntries[i] == 0) {
      LastSampleCurve = i > 0 ? i - 1 : 0;
      break;
    }
  for (int i = 0; i < MaxCurves; ++i) KeyMeasurementCells[0][i].clear();

  const std::string yKind = QuantityKind(GraphSettings.YQuantity);
  const std::string curveKind = QuantityKind(GraphSettings.CurveQuantity);
  if (yKind.empty()) return;  // a Y quantity outside the nine leaves the rows empty
  if (DisplayedRunFile == NoRunFile) return;
  for (int i = 0; i <= LastSampleCurve; ++i) {
    KeyMeasurementCells[0][i] = " " + std::to_string(i);
    // The curve parameter of another configuration must not linger: without a kind the
    // cell stays empty.
    KeyMeasurementCells[1][i] = curveKind.empty() ? "" : Formatted(GraphPlotData.LabelValue[i], curveKind);
    KeyMeasurementCells[2][i] = Formatted(YAtCursorXA[i], yKind);
    KeyMeasurementCells[3][i] = Formatted(YAtCursorXB[i], yKind);
    KeyMeasurementCells[4][i] = Formatted(YAtCursorXB[i] - YAtCursorXA[i], yKind);
  }
}

// The header row and one row per listed curve, highest step first, each behind a square
// in the curve's colour.
void KeyMeasurementTable(int32_t x, int32_t y, int32_t w) {
  Header(x, y, w, ZoneKeyMeasurementPanel, Captions.KeyMeasurements);
  y += HeaderHeight + 1;
  CellRow(x, y, w,
          {{40, Captions.Step, "Left"},
           {65, Captions.BaseGate, "Left"},
           {60, "XA", "Left"},
           {60, "XB", "Left"},
           {100, "XB - XA", "Left"}});
  y += RowHeight;

  BuildKeyMeasurementCells();
  for (int i = MaxCurves - 1; i >= 0; --i) {
    if (KeyMeasurementCells[0][i].empty()) continue;
    const uint32_t rgba = CurveStyles[i].Colour;
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(x, y, 14, 14, rgba & 0x00FFFFFFu);
    platform::StopDrawing();
    CellRow(x + 18, y, w - 18,
            {{22, KeyMeasurementCells[0][i], "Left"},
             {65, KeyMeasurementCells[1][i], "Left"},
             {60, KeyMeasurementCells[2][i], "Left"},
             {60, KeyMeasurementCells[3][i], "Left"},
             {100, KeyMeasurementCells[4][i], "Left"}});
    y += RowHeight;
  }
}

// ---- sweep settings ----

// Seven rows ending at the column's foot h.
void SweepSettingsList(int32_t x, int32_t h, int32_t w) {
  int32_t y = h - 129;
  Header(x, y, w, ZoneSweepSettingsPanel, Captions.SweepSettings);
  y += HeaderHeight + 1;
  const struct {
    const std::string& Caption;
    const std::string& Legend;
  } rows[] = {
      {Captions.MaxVoltage, SetupLegendTexts[0]},    {Captions.CollectorZ, SetupLegendTexts[2]},
      {Captions.MaxCurrent, SetupLegendTexts[1]},    {Captions.CollectorPulse, SetupLegendTexts[3]},
      {Captions.BaseGatePulse, SetupLegendTexts[4]}, {Captions.SampleRate, SetupLegendTexts[5]},
      {Captions.GraphType, SetupLegendTexts[6]},
  };
  for (const auto& row : rows) {
    CellRow(x, y, w, {{120, row.Caption + ": ", "Right"}, {205, " " + row.Legend, "Left"}});
    y += RowHeight;
  }
}

}  // namespace

void DrawCursorAndMeasurementPanels(int32_t x, int32_t, int32_t w, int32_t h, int32_t) {
  Header(x, 8, w, ZoneCursorsPanel, Captions.Cursors);
  CursorBars(x, w);
  const int32_t below = CursorReadouts(x, 73, w);
  KeyMeasurementTable(x, below + 8, w);
  SweepSettingsList(x, h, w);
}

}  // namespace zolt::tracer
