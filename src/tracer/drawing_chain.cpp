// The curve tracer's drawing chain, run by each drawing pass of the main loop: extents
// and cursor crossings, legend texts, axis scales, curve styles, plot data, axis labels,
// cursor positions, and the panel render that paints the whole screen.
//
// The main loop's pass keeps what does not change from one pass to the next: the extents
// and plot data of points already walked, and the middle column's unchanged layers. The
// full chain, every step anew, gives the same numbers and pixels.
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/panels.h"
#include "tracer/startup.h"

namespace zolt::tracer {

namespace {

void RunDrawingChain(bool keep) {
  if (keep)
    UpdateCurveExtents(CursorXA.Value, CursorXB.Value);
  else
    ComputeCurveExtents(CursorXA.Value, CursorXB.Value);
  BuildSetupLegendTexts();
  ChooseAxisScale(XAxis.Min, XAxis.Max, "X");
  ChooseAxisScale(YAxis.Min, YAxis.Max, "Y");
  InitCurveStyles();
  const double xFullScale = FullScale(XAxis);
  const double yFullScale = FullScale(YAxis);
  if (keep)
    UpdateGraphPlotData(0, xFullScale, 0, yFullScale);
  else
    ComputeGraphPlotData(0, xFullScale, 0, yFullScale);
  BuildAxisLabels();
  UpdateGraphCursors(0, xFullScale, 0, yFullScale);
  if (keep)
    RenderPanelImageKeepingLayers();
  else
    RenderPanelImage();
}

// The plot data and cursor pixels are computed from the plot area of the previous
// paint; when the paint moved the plot (the first pass, a new window size) the chain
// runs once more, so no pass shows curves and cursors placed for another size.
void DrawScreen(bool keep) {
  const int64_t left = PlotLeft, top = PlotTop, width = PlotWidth, height = PlotHeight;
  RunDrawingChain(keep);
  if (PlotLeft != left || PlotTop != top || PlotWidth != width || PlotHeight != height) RunDrawingChain(keep);
}

}  // namespace

void DrawCurveTracerScreen() { DrawScreen(true); }

void RepaintCurveTracerScreen() { DrawScreen(false); }

}  // namespace zolt::tracer
