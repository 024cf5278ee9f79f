// The graph's numbers: the automatic axis scale, the axis labels with their prefix, the
// curve styles and the plot data (values and canvas coordinates of every plotted entry).
//
// Sections: axis scale; axis labels; curve styles; plot data.
#include <algorithm>
#include <cmath>

#include "frame/numbers.h"
#include "screen/colours.h"
#include "tracer/graph.h"
#include "tracer/quantities.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

double FullScale(const AxisState& axis) { return axis.Sign * axis.Mantissa * axis.Decade; }

// ---- axis scale ----

namespace {

struct DecadeBand {
  double Lower;  // the band holds magnitudes from Lower up to ten times Lower
  double Decade;
  double Factor;  // the engineering factor of the axis prefix
};

// From the largest band down; magnitudes of 1e15 and more, or below 1e-18, fit none.
constexpr DecadeBand DecadeBands[] = {
    {1e14, 1e14, 1e12},   {1e13, 1e13, 1e12},   {1e12, 1e12, 1e12},   {1e11, 1e11, 1e9},
    {1e10, 1e10, 1e9},    {1e9, 1e9, 1e9},      {1e8, 1e8, 1e6},      {1e7, 1e7, 1e6},
    {1e6, 1e6, 1e6},      {1e5, 1e5, 1e3},      {1e4, 1e4, 1e3},      {1e3, 1e3, 1e3},
    {100, 100, 1},        {10, 10, 1},          {1, 1, 1},            {1e-1, 1e-1, 1e-3},
    {1e-2, 1e-2, 1e-3},   {1e-3, 1e-3, 1e-3},   {1e-4, 1e-4, 1e-6},   {1e-5, 1e-5, 1e-6},
    {1e-6, 1e-6, 1e-6},   {1e-7, 1e-7, 1e-9},   {1e-8, 1e-8, 1e-9},   {1e-9, 1e-9, 1e-9},
    {1e-10, 1e-10, 1e-12}, {1e-11, 1e-11, 1e-12}, {1e-12, 1e-12, 1e-12}, {1e-13, 1e-13, 1e-15},
    {1e-14, 1e-14, 1e-15}, {1e-15, 1e-15, 1e-15}, {1e-16, 1e-16, 1e-18}, {1e-17, 1e-17, 1e-18},
    {1e-18, 1e-18, 1e-18},
};

constexpr double Mantissas[] = {1, 1.25, 1.5, 2, 2.5, 3, 4, 5, 7.5};

}  // namespace

void ChooseAxisScale(double min, double max, const std::string& axis) {
  AxisState& a = axis == "X" ? XAxis : YAxis;
  const double low = std::fabs(min);
  const double high = std::fabs(max);
  // The end larger in magnitude gives the direction, whatever its own sign; a tie gives +1.
  const double m = high >= low ? high : low;
  a.Sign = high >= low ? 1.0 : -1.0;

  a.Decade = 0.0;
  a.Factor = 0.0;
  if (m == 0.0) {
    a.Decade = 1.0;
    a.Factor = 1.0;
  } else if (m < 1e15) {
    for (const DecadeBand& band : DecadeBands)
      if (m >= band.Lower) {
        a.Decade = band.Decade;
        a.Factor = band.Factor;
        break;
      }
  }

  // The smallest step at or above the ratio; a ratio past 7.5 (or none, for a magnitude
  // outside the bands) takes 10.
  const double r = m / a.Decade;
  a.Mantissa = 10.0;
  for (double step : Mantissas)
    if (r <= step) {
      a.Mantissa = step;
      break;
    }
}

// ---- axis labels ----

namespace {

struct PrefixRow {
  double Factor;
  const char* Prefix;
};

constexpr PrefixRow Prefixes[] = {
    {1e18, "E"}, {1e15, "P"},  {1e12, "T"},  {1e9, "G"},   {1e6, "M"},   {1e3, "K"},  {1, ""},
    {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}, {1e-12, "p"}, {1e-15, "f"}, {1e-18, "a"},
};

void BuildLabels(AxisState& a) {
  double scaled = 0.0;  // the full scale in prefixed units; 0 when no prefix fits
  for (const PrefixRow& row : Prefixes)
    if (a.Factor == row.Factor) {
      a.Prefix = row.Prefix;
      scaled = a.Mantissa * a.Decade / a.Factor;
      break;
    }
  a.Labels[0] = "0";
  a.Labels[1] = frame::RealToText(a.Sign * scaled / static_cast<double>(a.Divisions * a.Subdivisions));
  for (int64_t i = 1; i <= a.Divisions && i + 1 < 101; ++i)
    a.Labels[i + 1] = frame::RealToText(a.Sign * (scaled / static_cast<double>(a.Divisions)) * i);
}

}  // namespace

void BuildAxisLabels() {
  BuildLabels(XAxis);
  BuildLabels(YAxis);
}

// ---- curve styles ----

void InitCurveStyles() {
  for (int i = 0; i < screen::TraceColours; ++i) {
    CurveStyle& style = CurveStyles[i];
    style.Colour = (screen::ColourScheme.TraceColour[i] & 0x00FFFFFFu) | 0xFF000000u;
    style.LineWidth = 2.0;
    style.LineStyle = "Solid";
  }
}

// ---- plot data ----

namespace {

// What one plot-data walk works with: the scales and the quantities of the fields.
struct PlotMapping {
  double XScale = 1, XOffset = 0, YScale = 1, YOffset = 0;
  PointField X{}, Y{}, C{};
  bool operator==(const PlotMapping&) const = default;
};

PlotMapping MappingOf(double xStart, double xEnd, double yStart, double yEnd) {
  PlotMapping m;
  m.XScale = xEnd == xStart ? 1.0 : static_cast<double>(PlotWidth) / (xEnd - xStart);
  m.YScale = yEnd == yStart ? 1.0 : static_cast<double>(PlotHeight) / (yEnd - yStart);
  m.XOffset = static_cast<double>(PlotLeft) - xStart * m.XScale;
  m.YOffset = static_cast<double>(PlotTop + PlotHeight) + yStart * m.YScale;
  m.X = PointFieldOf(GraphSettings.XQuantity);
  m.Y = PointFieldOf(GraphSettings.YQuantity);
  m.C = PointFieldOf(GraphSettings.CurveQuantity);
  return m;
}

void FindLastPlottedCurve() {
  GraphPlotDataRecord& g = GraphPlotData;
  g.LastPlottedCurve = 0;
  for (int i = 1000; i >= 0; --i)
    if (g.ValidPoints[i] != 0) {
      g.LastPlottedCurve = i;
      break;
    }
}

// Entries from..count-1 of curve i (taken by position, whatever their status bits).
void PlotEntries(const PlotMapping& m, int64_t i, int64_t from, int64_t count) {
  GraphPlotDataRecord& g = GraphPlotData;
  SweepPoint* points = DisplayedSweeps.Point[i];
  double* valueX = g.ValueX[i];
  double* valueY = g.ValueY[i];
  double* pixelX = g.PixelX[i];
  double* pixelY = g.PixelY[i];
  for (int64_t j = from; j < count; ++j) {
    SweepPoint& p = points[j];
    p.HFE = p.IC_A;
    const double x = PointValue(p, m.X);
    const double y = PointValue(p, m.Y);
    valueX[j] = x;
    valueY[j] = y;
    pixelX[j] = x * m.XScale + m.XOffset;
    pixelY[j] = m.YOffset - y * m.YScale;
    // The curve's label keeps its last value that is a number: a gap at the curve's end
    // does not take it away.
    const double c = PointValue(p, m.C);
    if (j == 0 || std::isfinite(c)) g.LabelValue[i] = c;
  }
  if (from < count) ++CurvePixelsRevision[i];
}

// The walk the last update left: its mapping and, per curve, the entries it covered.
struct PlotWalk {
  bool Valid = false;
  uint64_t Revision = 0;
  PlotMapping Mapping;
  int64_t Plotted[MaxCurves] = {};
};

PlotWalk plotWalk;

}  // namespace

void ComputeGraphPlotData(double xStart, double xEnd, double yStart, double yEnd) {
  FindLastPlottedCurve();
  const PlotMapping m = MappingOf(xStart, xEnd, yStart, yEnd);
  // Only the displayed curves have points; the plot tables hold at most their size.
  const int64_t lastCurve = std::min<int64_t>(GraphPlotData.LastPlottedCurve, MaxCurves - 1);
  for (int64_t i = 0; i <= lastCurve; ++i)
    PlotEntries(m, i, 0, std::min<int64_t>(GraphPlotData.ValidPoints[i], DisplayedPointsPerCurve));
  plotWalk.Valid = false;
}

void UpdateGraphPlotData(double xStart, double xEnd, double yStart, double yEnd) {
  FindLastPlottedCurve();
  const PlotMapping m = MappingOf(xStart, xEnd, yStart, yEnd);
  PlotWalk& w = plotWalk;
  if (!w.Valid || w.Revision != DisplayedSweepsRevision || !(w.Mapping == m)) {
    w = PlotWalk{};
    w.Valid = true;
    w.Revision = DisplayedSweepsRevision;
    w.Mapping = m;
  }
  const int64_t lastCurve = std::min<int64_t>(GraphPlotData.LastPlottedCurve, MaxCurves - 1);
  for (int64_t i = 0; i <= lastCurve; ++i) {
    const int64_t count = std::min<int64_t>(GraphPlotData.ValidPoints[i], DisplayedPointsPerCurve);
    // Entries already plotted with this mapping are kept; fewer entries than before (the
    // curve's points were changed) are plotted anew.
    const int64_t from = count >= w.Plotted[i] ? w.Plotted[i] : 0;
    PlotEntries(m, i, from, count);
    w.Plotted[i] = count;
  }
  for (int64_t i = lastCurve + 1; i < MaxCurves; ++i) w.Plotted[i] = 0;
}

}  // namespace zolt::tracer
