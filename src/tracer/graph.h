// The graph: automatic axis scaling, axis labels, curve styles, plot data and the
// painting of the plot with its cursors. Main thread only (the drawing chain).
#pragma once

#include <cstdint>
#include <string>

namespace zolt::tracer {

struct AxisState {
  double Min = 1e38;
  double Max = -1e38;
  double Sign = 1.0;
  double Mantissa = 1.0;
  double Decade = 1.0;
  double Factor = 1.0;
  std::string Prefix;
  int64_t Divisions = 5;
  int64_t Subdivisions = 5;
  std::string Labels[101];
  std::string UnitText, SymbolText, SubscriptText, TitleText;
  double CursorStep = 0.0;  // the cursor nudge step (CursorXStep / CursorYStep)
};

inline AxisState XAxis, YAxis;

// Full scale of an axis: Sign x Mantissa x Decade.
double FullScale(const AxisState& axis);

constexpr int MaxCurveStyles = 1001;

struct CurveStyle {
  uint32_t Colour = 0;       // 0xAABBGGRR
  double LineWidth = 2.0;
  std::string LineStyle = "Solid";  // "Solid", "Dash", "Dot"
};

inline CurveStyle CurveStyles[MaxCurveStyles];

constexpr int PlotCurves = 33;
constexpr int PlotPoints = 32001;

struct GraphPlotDataRecord {
  int64_t ValidPoints[1001] = {};
  int64_t LastPlottedCurve = 0;
  double LabelValue[1001] = {};
  double ValueX[PlotCurves][PlotPoints];
  double ValueY[PlotCurves][PlotPoints];
  double PixelX[PlotCurves][PlotPoints];
  double PixelY[PlotCurves][PlotPoints];
};

inline GraphPlotDataRecord GraphPlotData;

inline int64_t SlopeShown = 0;  // 1 shows the slope readout and line

// The plot area in canvas pixels, set by DrawGraphTitlePanel.
inline int64_t PlotLeft = 0, PlotTop = 0, PlotWidth = 0, PlotHeight = 0;

void ChooseAxisScale(double min, double max, const std::string& axis);
void BuildAxisLabels();
void InitCurveStyles();
void ComputeGraphPlotData(double xStart, double xEnd, double yStart, double yEnd);
// The same plot data, computed only for entries not yet plotted with the same scales,
// quantities and plot area while DisplayedSweepsRevision stays (the drawing pass's way).
void UpdateGraphPlotData(double xStart, double xEnd, double yStart, double yEnd);
// Per curve, moves whenever any of its plotted pixels is computed.
inline uint64_t CurvePixelsRevision[PlotCurves] = {};
void DrawGraphTitlePanel(int32_t x, int32_t y, int32_t w, int32_t h, int32_t gap,
                         int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                         int32_t marginBottom);
void DrawGraph(int32_t x, int32_t y, int32_t w, int32_t h, int32_t marginLeft,
               int32_t marginRight, int32_t marginTop, int32_t marginBottom);

// ---- the graph in layers ----
//
// The painting of DrawGraphTitlePanel in the steps that a drawing pass keeping unchanged
// layers paints one by one, in this order: the title header and plot backdrop, each
// curve, then the cursors. Painted in that order they give DrawGraphTitlePanel's pixels.

// The GRAPH TITLE header alone (with its zones).
void PaintGraphTitleHeader(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight);
// The axis title texts and the plot area (PlotLeft ... and screen::PlotRect); paints nothing.
void LayOutGraphTitlePanel(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                           int32_t marginBottom);
// The header, plot box, grid, axis numbers and titles, after LayOutGraphTitlePanel.
// Returns the leftmost canvas x its painting may reach.
double PaintGraphBackdrop(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                          int32_t marginBottom);
// The highest curve that has a path to paint; -1 for none.
int LastPaintedCurve();
// One curve's path (nothing for a curve without a segment).
void PaintCurve(int curve);
// The four cursors in their painting order (0 to 3: XB, XA, YB, YA), then the slope
// line (GraphCursorCount).
constexpr int GraphCursorCount = 4;
void PaintGraphCursor(int k);

}  // namespace zolt::tracer
