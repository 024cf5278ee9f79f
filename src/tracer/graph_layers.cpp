// The middle column painted in layers. A copy of the column is kept after its fill, the
// title header, the plot backdrop and every curve before the last one painted, with the
// inputs of that painting; a pass whose inputs match copies it back and paints only the
// rest, and a pass where just the last curves changed (a run adding points) copies the
// backdrop with the unchanged curves and paints from the first changed one.
//
// Why the copy gives the same pixels: the column's fill covers the whole column, so what
// lies beneath does not show through; what the backdrop paints right of the column falls
// under the right-hand column, which is painted later; and a backdrop that reaches left of
// the column (long axis numbers, a very narrow window) is not kept at all.
//
// Sections: what the layers are painted from; the kept copy; painting.
#include "tracer/graph_layers.h"

#include <algorithm>
#include <string>
#include <vector>

#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_state.h"
#include "tracer/zones.h"

namespace zolt::tracer {

namespace {

// ---- what the layers are painted from ----

struct BackdropInputs {
  int32_t CanvasWidth = 0, CanvasHeight = 0;
  int32_t X = 0, W = 0, MarginLeft = 0, MarginRight = 0, MarginTop = 0, MarginBottom = 0;
  double DpiX = 0, DpiY = 0;
  screen::ColourSchemeRecord Colours;
  std::string GraphTitleCaption, GraphTitle;
  int64_t XDivisions = 0, XSubdivisions = 0, YDivisions = 0, YSubdivisions = 0;
  std::vector<std::string> XLabels, YLabels;
  std::string XSymbol, XSubscript, XTitle, YSymbol, YSubscript, YTitle;
  bool operator==(const BackdropInputs&) const = default;
};

std::vector<std::string> LabelsOf(const AxisState& axis) {
  const int64_t last = std::clamp<int64_t>(axis.Divisions + 1, 1, 100);
  return {axis.Labels, axis.Labels + last + 1};
}

BackdropInputs CurrentBackdrop(int32_t x, int32_t w, int32_t ml, int32_t mr, int32_t mt, int32_t mb) {
  BackdropInputs b;
  b.CanvasWidth = platform::ImageWidth(screen::CanvasImage);
  b.CanvasHeight = platform::ImageHeight(screen::CanvasImage);
  b.X = x;
  b.W = w;
  b.MarginLeft = ml;
  b.MarginRight = mr;
  b.MarginTop = mt;
  b.MarginBottom = mb;
  b.DpiX = platform::DisplayDpiX();
  b.DpiY = platform::DisplayDpiY();
  b.Colours = screen::ColourScheme;
  b.GraphTitleCaption = frame::Captions.GraphTitle;
  b.GraphTitle = GraphTitleText;
  b.XDivisions = XAxis.Divisions;
  b.XSubdivisions = XAxis.Subdivisions;
  b.YDivisions = YAxis.Divisions;
  b.YSubdivisions = YAxis.Subdivisions;
  b.XLabels = LabelsOf(XAxis);
  b.YLabels = LabelsOf(YAxis);
  b.XSymbol = XAxis.SymbolText;
  b.XSubscript = XAxis.SubscriptText;
  b.XTitle = XAxis.TitleText;
  b.YSymbol = YAxis.SymbolText;
  b.YSubscript = YAxis.SubscriptText;
  b.YTitle = YAxis.TitleText;
  return b;
}

// A curve's painting depends on its entries' pixels, their number and its style; the plot
// area is part of the backdrop.
struct CurveInputs {
  int64_t Points = 0;
  uint64_t PixelsRevision = 0;
  uint32_t Colour = 0;
  double LineWidth = 0;
  std::string LineStyle;
  bool operator==(const CurveInputs&) const = default;
};

CurveInputs CurrentCurve(int i) {
  const CurveStyle& style = CurveStyles[i];
  return {GraphPlotData.ValidPoints[i], CurvePixelsRevision[i], style.Colour, style.LineWidth, style.LineStyle};
}

// ---- the kept copy ----

struct KeptColumn {
  bool Valid = false;
  BackdropInputs Backdrop;
  int Curves = 0;                  // curves 0 .. Curves - 1 are painted into the copy
  CurveInputs Painted[MaxCurves];  // what they were painted from
  screen::HotZoneRect HeaderZones[4];  // the title header's zones, registered while it was painted
};

KeptColumn kept;

// A copy from which this pass may start; the number of curves it holds, or -1.
int UsableCopy(const BackdropInputs& backdrop) {
  if (!kept.Valid || !(kept.Backdrop == backdrop)) return -1;
  for (int i = 0; i < kept.Curves; ++i)
    if (!(kept.Painted[i] == CurrentCurve(i))) return -1;
  return kept.Curves;
}

void KeepColumn(const BackdropInputs& backdrop, int curves, int32_t x, int32_t w, int32_t height) {
  if (platform::ImageWidth(GraphLayerImage) != backdrop.CanvasWidth ||
      platform::ImageHeight(GraphLayerImage) != backdrop.CanvasHeight)
    platform::CreateImage(GraphLayerImage, backdrop.CanvasWidth, backdrop.CanvasHeight);
  platform::CopyImageRect(screen::CanvasImage, GraphLayerImage, x, 0, w, height);
  kept.Valid = platform::IsImage(GraphLayerImage);
  kept.Backdrop = backdrop;
  kept.Curves = curves;
  for (int i = 0; i < curves; ++i) kept.Painted[i] = CurrentCurve(i);
}

}  // namespace

void ForgetGraphLayers() {
  kept.Valid = false;
  platform::FreeImage(GraphLayerImage);
}

// ---- painting ----

void DrawGraphColumnKeepingLayers(int32_t x, int32_t w, int32_t ml, int32_t mr, int32_t mt, int32_t mb) {
  const int32_t height = screen::ScreenState.ScreenHeight;
  LayOutGraphTitlePanel(x, w, ml, mr, mt, mb);
  const BackdropInputs backdrop = CurrentBackdrop(x, w, ml, mr, mt, mb);
  constexpr int32_t HeaderZone = ZoneGraphTitlePanel + screen::ZoneHeaderTitle;

  int from = UsableCopy(backdrop);
  bool keepable = from >= 0;
  if (from >= 0) {
    platform::CopyImageRect(GraphLayerImage, screen::CanvasImage, x, 0, w, height);
    for (int k = 0; k < 4; ++k) screen::HotZone[HeaderZone + k] = kept.HeaderZones[k];
  } else {
    kept.Valid = false;
    platform::StartDrawing(screen::CanvasImage);
    platform::DrawBox(x, 0, w + 16, height, screen::ColourScheme.DarkerFillColour);
    platform::StopDrawing();
    const double leftmost = PaintGraphBackdrop(x, w, ml, mr, mt, mb);
    // A few pixels of margin for glyphs that overhang their text box.
    keepable = w > 0 && PlotWidth > 0 && PlotHeight > 0 && leftmost - 4 >= x &&
               backdrop.CanvasWidth == screen::ScreenState.ScreenWidth &&
               backdrop.CanvasHeight == height;
    for (int k = 0; k < 4; ++k) kept.HeaderZones[k] = screen::HotZone[HeaderZone + k];
    from = 0;
  }

  // The copy is taken just before the last curve, which is the one a run adds to.
  const int last = LastPaintedCurve();
  const int keepAt = last < 0 ? 0 : last;
  for (int i = from; i < MaxCurves; ++i) {
    if (i == keepAt && keepable && !(kept.Valid && kept.Curves == keepAt)) KeepColumn(backdrop, keepAt, x, w, height);
    PaintCurve(i);
  }
  PaintGraphCursors();
}

}  // namespace zolt::tracer
