// The graph's painting: the GRAPH TITLE header with the axis titles and the plot area,
// and the plot itself: grid, ticks, axis numbers and titles, the curves, the four cursors
// with their labels and nudge zones, and the slope line.
//
// Pixel positions computed as reals are rounded to the nearest integer, ties to even.
//
// Sections: title panel; plot frame and numbers; axis titles; curves; cursors; DrawGraph;
// the graph in layers (the same painting in the steps the drawing pass keeps apart).
#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/fonts.h"
#include "frame/numbers.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"
#include "tracer/zones.h"

namespace zolt::tracer {

using platform::Colour;
using platform::DrawLine;
using platform::DrawText;
using platform::MakeColour;
using platform::TextHeight;
using platform::TextWidth;
using screen::ColourScheme;

namespace {

constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Black = MakeColour(0, 0, 0);
constexpr Colour Yellow = MakeColour(255, 255, 0);

constexpr int32_t TickLength = 10;
// The graph region starts below the header: 8 px margin, the 16 px header, 8 px gap.
constexpr int32_t GraphRegionTop = 8 + 16 + 8;

int32_t Px(double value) { return frame::RoundToInt32(value); }

}  // namespace

// ---- title panel ----

namespace {

void SetAxisTitle(AxisState& axis, const std::string& unit, const std::string& symbol,
                  const std::string& subscript, const std::string& description) {
  axis.UnitText = axis.Prefix + unit;
  axis.SymbolText = symbol;
  axis.SubscriptText = subscript;
  axis.TitleText = " (" + axis.UnitText + ") " + description;
}

}  // namespace

void DrawGraphTitlePanel(int32_t x, int32_t, int32_t w, int32_t, int32_t, int32_t marginLeft,
                         int32_t marginRight, int32_t marginTop, int32_t marginBottom) {
  PaintGraphTitleHeader(x, w, marginLeft, marginRight);
  LayOutGraphTitlePanel(x, w, marginLeft, marginRight, marginTop, marginBottom);
  DrawGraph(x, GraphRegionTop, w, screen::ScreenState.ScreenHeight, marginLeft, marginRight, marginTop,
            marginBottom);
}

void PaintGraphTitleHeader(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  screen::DrawPanelHeader(x + marginLeft, 8, w - marginLeft - marginRight, 16, ZoneGraphTitlePanel,
                          frame::Captions.GraphTitle, GraphTitleText, c.DarkFillColour, c.CaptionTextColour);
}

void LayOutGraphTitlePanel(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                           int32_t marginBottom) {
  const GraphSettingsRecord& g = GraphSettings;
  SetAxisTitle(XAxis, g.XUnit, g.XSymbol, g.XSubscript, g.XDescription);
  SetAxisTitle(YAxis, g.YUnit, g.YSymbol, g.YSubscript, g.YDescription);

  const int32_t height = screen::ScreenState.ScreenHeight;
  PlotLeft = x + marginLeft;
  PlotTop = GraphRegionTop + marginTop;
  PlotWidth = w - marginLeft - marginRight;
  PlotHeight = height - marginTop - marginBottom;
  screen::PlotRect = {static_cast<int32_t>(PlotLeft), static_cast<int32_t>(PlotTop), static_cast<int32_t>(PlotWidth),
                      static_cast<int32_t>(PlotHeight)};
}

// ---- plot frame and numbers ----

namespace {

struct PlotBox {
  int32_t X, Y, W, H;
  int32_t Right() const { return X + W; }
  int32_t Bottom() const { return Y + H; }
};

int64_t Lines(const AxisState& axis) { return std::max<int64_t>(axis.Divisions * axis.Subdivisions, 1); }
int64_t Majors(const AxisState& axis) { return std::max<int64_t>(axis.Divisions, 1); }

void DrawGrid(const PlotBox& p) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  const int64_t yMinor = Lines(YAxis), xMinor = Lines(XAxis);
  const int64_t yMajor = Majors(YAxis), xMajor = Majors(XAxis);
  for (int64_t i = 1; i < yMinor; ++i) {
    const int32_t ly = Px(p.Y + static_cast<double>(i) * p.H / yMinor);
    DrawLine(p.X, ly, p.Right(), ly, c.GridMinorColour);
  }
  for (int64_t i = 1; i < xMinor; ++i) {
    const int32_t lx = Px(p.X + static_cast<double>(i) * p.W / xMinor);
    DrawLine(lx, p.Y, lx, p.Bottom(), c.GridMinorColour);
  }
  for (int64_t i = 1; i < yMajor; ++i) {
    const int32_t ly = Px(p.Y + static_cast<double>(i) * p.H / yMajor);
    DrawLine(p.X, ly, p.Right(), ly, c.GridMajorColour);
  }
  for (int64_t i = 1; i < xMajor; ++i) {
    const int32_t lx = Px(p.X + static_cast<double>(i) * p.W / xMajor);
    DrawLine(lx, p.Y, lx, p.Bottom(), c.GridMajorColour);
  }
  // Ticks outside the plot at every major line and at both edges.
  for (int64_t k = 0; k <= yMajor; ++k) {
    const int32_t ly = Px(p.Y + static_cast<double>(k) * p.H / yMajor);
    DrawLine(p.X - TickLength, ly, p.X, ly, c.GridMajorColour);
  }
  for (int64_t k = 0; k <= xMajor; ++k) {
    const int32_t lx = Px(p.X + static_cast<double>(k) * p.W / xMajor);
    DrawLine(lx, p.Bottom(), lx, p.Bottom() + TickLength, c.GridMajorColour);
  }
  // Frame.
  DrawLine(p.X, p.Y, p.Right(), p.Y, c.GridMajorColour);
  DrawLine(p.Right(), p.Y, p.Right(), p.Bottom(), c.GridMajorColour);
  DrawLine(p.X, p.Bottom(), p.Right(), p.Bottom(), c.GridMajorColour);
  DrawLine(p.X, p.Y, p.X, p.Bottom(), c.GridMajorColour);
}

// The leftmost canvas x that the backdrop's texts reach, kept while they are painted.
double backdropLeftmost = 0.0;

void ReachLeft(double x) { backdropLeftmost = std::min(backdropLeftmost, x); }

void DrawAxisNumbers(const PlotBox& p) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  platform::SelectFont(frame::FontGraphLabel);
  // X: centred under their lines; the first minor line's number sits 5 px higher.
  auto xNumber = [&](const std::string& text, double centre, int32_t top) {
    ReachLeft(centre - TextWidth(text) / 2);
    DrawText(centre - TextWidth(text) / 2, top, text, c.GraphTextColour, c.GraphBackColour);
  };
  const int64_t xMajor = Majors(XAxis);
  xNumber(XAxis.Labels[0], p.X, p.Bottom() + 10);
  xNumber(XAxis.Labels[1], p.X + static_cast<double>(p.W) / Lines(XAxis), p.Bottom() + 5);
  for (int64_t i = 1; i <= XAxis.Divisions && i + 1 < 101; ++i)
    xNumber(XAxis.Labels[i + 1], p.X + static_cast<double>(i) * p.W / xMajor, p.Bottom() + 10);

  // Y: right-aligned left of the ticks, centred on their lines; the first minor line's
  // number sits 5 px closer to the plot.
  auto yNumber = [&](const std::string& text, double middle, int32_t edge) {
    ReachLeft(edge - 1 - TextWidth(text));
    DrawText(edge - 1 - TextWidth(text), middle - TextHeight(text) / 2, text, c.GraphTextColour,
             c.GraphBackColour);
  };
  const int64_t yMajor = Majors(YAxis);
  yNumber(YAxis.Labels[0], p.Bottom(), p.X - 10);
  yNumber(YAxis.Labels[1], p.Bottom() - static_cast<double>(p.H) / Lines(YAxis), p.X - 5);
  for (int64_t i = 1; i <= YAxis.Divisions && i + 1 < 101; ++i)
    yNumber(YAxis.Labels[i + 1], p.Bottom() - static_cast<double>(i) * p.H / yMajor, p.X - 10);
}

// ---- axis titles ----

// Widths of the symbol, subscript and title, each in whole pixels.
struct TitleWidths {
  int32_t Symbol, Subscript, Title;
  int32_t Total() const { return Symbol + Subscript + Title; }
};

TitleWidths Measure(const AxisState& axis) {
  return {Px(TextWidth(axis.SymbolText)), Px(TextWidth(axis.SubscriptText)), Px(TextWidth(axis.TitleText))};
}

void DrawAxisTitles(const PlotBox& p, int32_t regionLeft) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  platform::SelectFont(frame::FontGraphLabel);

  // X: centred under the numbers; the subscript lowered by a third of the text height.
  const TitleWidths xw = Measure(XAxis);
  const double xt = TextHeight(XAxis.TitleText);
  const double start = p.X + p.W / 2.0 - xw.Total() / 2.0;
  const int32_t top = p.Bottom() + 35;
  ReachLeft(start);
  DrawText(start, top, XAxis.SymbolText, c.GraphTextColour, c.GraphBackColour);
  DrawText(start + xw.Symbol, top + xt / 3, XAxis.SubscriptText, c.GraphTextColour, c.GraphBackColour);
  DrawText(start + xw.Symbol + xw.Subscript, top, XAxis.TitleText, c.GraphTextColour, c.GraphBackColour);

  // Y: reading upward at the region's left edge, centred on the plot's height; the
  // subscript shifted right, which is down for the turned text.
  const TitleWidths yw = Measure(YAxis);
  const double yt = TextHeight(YAxis.TitleText);
  const double base = p.Y + p.H / 2.0 + yw.Total() / 2.0;
  const double left = regionLeft + 5;
  ReachLeft(left);
  platform::DrawRotatedText(left, base, YAxis.SymbolText, 90, c.GraphTextColour);
  platform::DrawRotatedText(left + yt / 3, base - yw.Symbol, YAxis.SubscriptText, 90, c.GraphTextColour);
  platform::DrawRotatedText(left, base - yw.Symbol - yw.Subscript, YAxis.TitleText, 90, c.GraphTextColour);
}

// ---- curves ----

platform::StrokeStyle StyleOf(const std::string& style) {
  if (style == "Dash") return platform::StrokeStyle::Dash;
  if (style == "Dot") return platform::StrokeStyle::Dot;
  return platform::StrokeStyle::Solid;
}

// A coordinate rounded to a whole pixel (ties to even) and clamped to low..high; a
// coordinate that is not a number counts as 0. Clamping first keeps the value small
// enough for the quick rounding by adding and taking away 2^52 + 2^51.
inline int32_t PixelInside(double v, int32_t low, int32_t high) {
  constexpr double Shift = 6755399441055744.0;
  v = v == v ? v : 0.0;
  v = std::min(std::max(v, static_cast<double>(low)), static_cast<double>(high));
  return static_cast<int32_t>((v + Shift) - Shift);
}

// Each curve is one path through its entries, rounded to whole pixels and clamped into
// the plot, so that parts outside the axis range run along the frame. Consecutive entries
// on the same pixel add nothing to the path and are left out. An entry whose value is not
// finite (nor then its pixel: a point the run file does not hold, or holds as such) is a
// gap: the path ends before it and starts again after it. Curves without a segment are
// not painted.
int64_t CurvePathPoints(int i) { return std::min<int64_t>(GraphPlotData.ValidPoints[i], DisplayedPointsPerCurve); }

void StrokeCurvePiece(const std::vector<platform::PixelPoint>& path, int n, const CurveStyle& style) {
  static std::vector<platform::PathPoint> realPath;
  if (n < 1) return;
  const platform::StrokeStyle stroke = StyleOf(style.LineStyle);
  if (stroke == platform::StrokeStyle::Solid) {
    platform::StrokePixelPolyline(path.data(), n, style.Colour, style.LineWidth);
  } else {
    realPath.resize(n);
    for (int k = 0; k < n; ++k) realPath[k] = {static_cast<double>(path[k].X), static_cast<double>(path[k].Y)};
    if (n == 1) realPath.push_back(realPath[0]);  // a path that stays on one pixel is a dot
    platform::StrokePath(realPath.data(), static_cast<int>(realPath.size()), style.Colour, style.LineWidth, stroke);
  }
}

void DrawCurve(const PlotBox& p, int i) {
  static std::vector<platform::PixelPoint> path(DisplayedPointsPerCurve);
  const GraphPlotDataRecord& g = GraphPlotData;
  const int64_t count = CurvePathPoints(i);
  if (count < 2) return;  // a path needs a segment
  const double* pixelX = g.PixelX[i];
  const double* pixelY = g.PixelY[i];
  const CurveStyle& style = CurveStyles[i];
  // Every point is written and kept only when it moved (no branch to mispredict on
  // noisy curves).
  int n = 0;
  for (int64_t j = 0; j < count; ++j) {
    if (!std::isfinite(pixelX[j]) || !std::isfinite(pixelY[j])) {
      StrokeCurvePiece(path, n, style);
      n = 0;
      continue;
    }
    const int32_t px = PixelInside(pixelX[j], p.X, p.Right());
    const int32_t py = PixelInside(pixelY[j], p.Y, p.Bottom());
    path[n] = {px, py};
    n += n == 0 || px != path[n - 1].X || py != path[n - 1].Y;
  }
  StrokeCurvePiece(path, n, style);
}

// ---- cursors ----

// Pins a cursor's pixel 1 px outside the plot when it lies at or beyond an edge; a pixel
// that is not a number, or infinitely large, goes to the far edge. Returns whether it was
// pinned; the pinned pixel is written back.
bool ClampCursor(CursorRecord& cursor, double nearEdge, double farEdge) {
  if (cursor.Pixel <= nearEdge) {
    cursor.Pixel = nearEdge;
    return true;
  }
  if (!(cursor.Pixel < farEdge)) {
    cursor.Pixel = farEdge;
    return true;
  }
  return false;
}

// A hidden cursor's label cannot be picked up.
void ForgetLabel(CursorRecord& cursor) {
  cursor.LabelLeft = 0;
  cursor.LabelRight = -1;
  cursor.LabelTop = 0;
  cursor.LabelBottom = -1;
}

// A vertical cursor: dashes up the plot, and a value label above it whose ends nudge it.
// XB's label row sits 16 px above XA's (rowOffset -16).
void DrawXCursor(CursorRecord& cursor, const char* letter, int32_t rowOffset, int32_t zoneDown, int32_t zoneUp) {
  const bool pinned = ClampCursor(cursor, PlotLeft - 1.0, PlotLeft + PlotWidth + 1.0);
  if (cursor.Shown != 1) {
    ForgetLabel(cursor);
    return;
  }
  const int32_t px = Px(cursor.Pixel);
  const int32_t plotTop = static_cast<int32_t>(PlotTop);
  for (int64_t sy = PlotTop + PlotHeight; sy >= plotTop + rowOffset; sy -= 12)
    DrawLine(px, static_cast<int32_t>(sy), px, static_cast<int32_t>(sy - 6), White);

  const std::string text = std::string(letter) + " " + frame::FixedDecimals(cursor.Value, 3) + " V";
  const int32_t boxLeft = px - 48;
  const int32_t boxTop = plotTop - 16 + rowOffset;
  const Colour box = pinned ? Yellow : White;
  platform::DrawBox(boxLeft, boxTop, 96, 16, box);
  const double tw = TextWidth(text);
  DrawText(px - tw / 2, boxTop + 8 - TextHeight(text) / 2, text, Black, box);

  cursor.LabelLeft = px - tw / 2;
  cursor.LabelRight = px + tw / 2;
  cursor.LabelTop = boxTop;
  cursor.LabelBottom = boxTop + 16;
  screen::SetHotZone(zoneDown, px - 48, px - 32, boxTop, boxTop + 16);
  screen::SetHotZone(zoneUp, px + 32, px + 48, boxTop, boxTop + 16);

  const int32_t cy = boxTop + 7;
  const int32_t lx = boxLeft + 7;  // "<"
  DrawLine(lx - 3, cy, lx + 3, cy + 3, Black);
  DrawLine(lx - 3, cy, lx + 3, cy - 3, Black);
  const int32_t rx = boxLeft + 96 - 7;  // ">"
  DrawLine(rx + 3, cy, rx - 3, cy + 3, Black);
  DrawLine(rx + 3, cy, rx - 3, cy - 3, Black);
}

// A horizontal cursor: dashes across the plot, and a letter label right of it whose ends
// nudge it. YB's label column sits 16 px right of YA's (columnOffset 17 against 1).
void DrawYCursor(CursorRecord& cursor, const char* letter, int32_t columnOffset, int32_t zoneUp,
                 int32_t zoneDown) {
  const bool pinned = ClampCursor(cursor, PlotTop - 1.0, PlotTop + PlotHeight + 1.0);
  if (cursor.Shown != 1) {
    ForgetLabel(cursor);
    return;
  }
  const int32_t py = Px(cursor.Pixel);
  const int32_t plotRight = static_cast<int32_t>(PlotLeft + PlotWidth);
  for (int64_t sx = PlotLeft; sx <= plotRight + columnOffset; sx += 12)
    DrawLine(static_cast<int32_t>(sx), py, static_cast<int32_t>(sx + 6), py, White);

  const std::string text = letter;
  const int32_t boxLeft = plotRight + columnOffset;
  const int32_t boxTop = py - 28;
  const Colour box = pinned ? Yellow : White;
  platform::DrawBox(boxLeft, boxTop, 16, 56, box);
  const double th = TextHeight(text);
  DrawText(boxLeft + 8 - TextWidth(text) / 2, py - th / 2, text, Black, box);

  cursor.LabelLeft = boxLeft;
  cursor.LabelRight = boxLeft + 16;
  cursor.LabelTop = py - th / 2 - 2;
  cursor.LabelBottom = py + th / 2 + 2;
  screen::SetHotZone(zoneUp, boxLeft, boxLeft + 16, py - 28, py - 12);
  screen::SetHotZone(zoneDown, boxLeft, boxLeft + 16, py + 12, py + 28);

  const int32_t cx = boxLeft + 7;
  const int32_t upY = boxTop + 7;  // "^"
  DrawLine(cx, upY - 3, cx + 3, upY + 3, Black);
  DrawLine(cx, upY - 3, cx - 3, upY + 3, Black);
  const int32_t downY = boxTop + 56 - 9;  // "v"
  DrawLine(cx, downY + 3, cx + 3, downY - 3, Black);
  DrawLine(cx, downY + 3, cx - 3, downY - 3, Black);
}

// The cursors one by one, B first so that A's label lies over B's.
void DrawCursor(int k) {
  platform::SelectFont(frame::FontSmall);
  switch (k) {
    case 0: DrawXCursor(CursorXB, "B", -16, ZoneCursorXBDown, ZoneCursorXBUp); break;
    case 1: DrawXCursor(CursorXA, "A", 0, ZoneCursorXADown, ZoneCursorXAUp); break;
    case 2: DrawYCursor(CursorYB, "B", 17, ZoneCursorYBUp, ZoneCursorYBDown); break;
    case 3: DrawYCursor(CursorYA, "A", 1, ZoneCursorYAUp, ZoneCursorYADown); break;
    default: break;
  }
}

void DrawCursors() {
  for (int k = 0; k < GraphCursorCount; ++k) DrawCursor(k);
}

void DrawSlopeLine() {
  if (SlopeShown != 1) return;
  if (CursorXA.Shown != 1 || CursorXB.Shown != 1 || CursorYA.Shown != 1 || CursorYB.Shown != 1) return;
  DrawLine(Px(CursorXA.Pixel), Px(CursorYA.Pixel), Px(CursorXB.Pixel), Px(CursorYB.Pixel), White);
}

}  // namespace

// ---- DrawGraph ----

namespace {

PlotBox PlotOf(int32_t x, int32_t y, int32_t w, int32_t h, int32_t marginLeft, int32_t marginRight,
               int32_t marginTop, int32_t marginBottom) {
  return {x + marginLeft, y + marginTop, w - marginLeft - marginRight, h - marginTop - marginBottom};
}

// The plot box, grid, axis numbers and titles, in a drawing batch.
void PaintPlotBackdrop(const PlotBox& p, int32_t regionLeft) {
  platform::DrawBox(p.X, p.Y, p.W, p.H, ColourScheme.GraphBackColour);
  DrawGrid(p);
  DrawAxisNumbers(p);
  DrawAxisTitles(p, regionLeft);
}

}  // namespace

void DrawGraph(int32_t x, int32_t y, int32_t w, int32_t h, int32_t marginLeft, int32_t marginRight,
               int32_t marginTop, int32_t marginBottom) {
  const PlotBox p = PlotOf(x, y, w, h, marginLeft, marginRight, marginTop, marginBottom);
  screen::PlotRect = {p.X, p.Y, p.W, p.H};
  if (!platform::StartDrawing(screen::CanvasImage)) return;
  PaintPlotBackdrop(p, x);
  for (int i = 0; i < MaxCurves; ++i) DrawCurve(p, i);
  DrawCursors();
  DrawSlopeLine();
  platform::StopDrawing();
}

// ---- the graph in layers ----

double PaintGraphBackdrop(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                          int32_t marginBottom) {
  const int32_t headerLeft = x + marginLeft;
  const int32_t headerWidth = w - marginLeft - marginRight;
  backdropLeftmost = std::min(headerLeft, headerLeft + headerWidth - 32);
  PaintGraphTitleHeader(x, w, marginLeft, marginRight);
  const PlotBox p = PlotOf(x, GraphRegionTop, w, screen::ScreenState.ScreenHeight, marginLeft, marginRight,
                           marginTop, marginBottom);
  ReachLeft(std::min(p.X - TickLength, p.Right()));
  if (!platform::StartDrawing(screen::CanvasImage)) return backdropLeftmost;
  PaintPlotBackdrop(p, x);
  platform::StopDrawing();
  return backdropLeftmost;
}

int LastPaintedCurve() {
  for (int i = MaxCurves - 1; i >= 0; --i)
    if (CurvePathPoints(i) >= 2) return i;
  return -1;
}

void PaintCurve(int i) {
  if (!platform::StartDrawing(screen::CanvasImage)) return;
  DrawCurve({screen::PlotRect.X, screen::PlotRect.Y, screen::PlotRect.Width, screen::PlotRect.Height}, i);
  platform::StopDrawing();
}

void PaintGraphCursor(int k) {
  if (!platform::StartDrawing(screen::CanvasImage)) return;
  if (k < GraphCursorCount)
    DrawCursor(k);
  else
    DrawSlopeLine();
  platform::StopDrawing();
}

}  // namespace zolt::tracer
