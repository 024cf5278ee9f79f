// The curve tracer's drawing chain, run by each drawing pass of the main loop: extents
// and cursor crossings, legend texts, axis scales, curve styles, plot data, axis labels,
// cursor positions, and the panel render that paints the whole screen.
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/panels.h"
#include "tracer/startup.h"

namespace zolt::tracer {

namespace {

void RunDrawingChain() {
  ComputeCurveExtents(CursorXA.Value, CursorXB.Value);
  BuildSetupLegendTexts();
  ChooseAxisScale(XAxis.Min, XAxis.Max, "X");
  ChooseAxisScale(YAxis.Min, YAxis.Max, "Y");
  InitCurveStyles();
  const double xFullScale = FullScale(XAxis);
  const double yFullScale = FullScale(YAxis);
  ComputeGraphPlotData(0, xFullScale, 0, yFullScale);
  BuildAxisLabels();
  UpdateGraphCursors(0, xFullScale, 0, yFullScale);
  RenderPanelImage();
}

}  // namespace

// The plot data and cursor pixels are computed from the plot area of the previous
// paint; when the paint moved the plot (the first pass, a new window size) the chain
// runs once more, so no pass shows curves and cursors placed for another size.
void DrawCurveTracerScreen() {
  const int64_t left = PlotLeft, top = PlotTop, width = PlotWidth, height = PlotHeight;
  RunDrawingChain();
  if (PlotLeft != left || PlotTop != top || PlotWidth != width || PlotHeight != height) RunDrawingChain();
}

}  // namespace zolt::tracer
