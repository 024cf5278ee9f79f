// The middle column painted in layers, with two kept copies of it (tracer/graph_layers.h).
//
// Why a copy gives the same pixels: the column's fill covers the whole column, so what
// lies beneath does not show through; what the backdrop paints right of the column falls
// under the right-hand column, which is painted later; a backdrop that reaches left of the
// column (long axis numbers, a very narrow window) is not kept at all; and whatever the
// side columns and the cursors painted over the column is noted while they paint
// (platform::StartNotingPaint) and put back from the copy before the next pass paints.
//
// Sections: what the layers are painted from; the kept copies; what the canvas's column
// holds; painting.
#include "tracer/graph_layers.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
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

// ---- the kept copies ----

struct ColumnCopy {
  int Image = 0;
  bool Valid = false;
  BackdropInputs Backdrop;
  int Curves = 0;                      // curves 0 .. Curves - 1 are painted into the copy
  CurveInputs Painted[MaxCurves];      // what they were painted from
  screen::HotZoneRect HeaderZones[4];  // the title header's zones, as it registered them
};

// The backdrop with the curves before the last one (a run adds to the last), and the
// backdrop with every curve (once the curves have settled).
ColumnCopy CopyIn(int image) {
  ColumnCopy copy;
  copy.Image = image;
  return copy;
}

ColumnCopy runCopy = CopyIn(RunLayerImage);
ColumnCopy fullCopy = CopyIn(FullLayerImage);

// The curves painted into a copy are those of now.
bool SameCurves(const ColumnCopy& copy, int curves) {
  for (int i = 0; i < curves; ++i)
    if (!(copy.Painted[i] == CurrentCurve(i))) return false;
  return true;
}

void Keep(ColumnCopy& copy, const BackdropInputs& backdrop, int curves, const platform::PaintedArea& band,
          const screen::HotZoneRect* headerZones) {
  if (platform::ImageWidth(copy.Image) != backdrop.CanvasWidth ||
      platform::ImageHeight(copy.Image) != backdrop.CanvasHeight)
    platform::CreateImage(copy.Image, backdrop.CanvasWidth, backdrop.CanvasHeight);
  platform::CopyImageRect(screen::CanvasImage, copy.Image, band.Left, band.Top, band.Right - band.Left,
                          band.Bottom - band.Top);
  copy.Valid = platform::IsImage(copy.Image);
  copy.Backdrop = backdrop;
  copy.Curves = curves;
  for (int i = 0; i < curves; ++i) copy.Painted[i] = CurrentCurve(i);
  for (int k = 0; k < 4; ++k) copy.HeaderZones[k] = headerZones[k];
}

// ---- what the canvas's column holds ----

// After a pass: whether the column is the full copy with the cursors, and whatever the
// side columns reached into it, painted on top.
struct ColumnOnCanvas {
  bool OnFullCopy = false;
  uint64_t CanvasSerial = 0;
};

ColumnOnCanvas onCanvas;

// The cursors as the last pass painted them: what they were painted from, what their
// painting left in their records and zones, and where it painted.
constexpr int32_t CursorZones[] = {ZoneCursorXBDown, ZoneCursorXBUp, ZoneCursorXADown, ZoneCursorXAUp,
                                   ZoneCursorYBUp,   ZoneCursorYBDown, ZoneCursorYAUp, ZoneCursorYADown};

struct CursorInputs {
  CursorRecord Cursors[4];
  int64_t Slope = 0;
  bool operator==(const CursorInputs&) const = default;
};

CursorInputs CurrentCursors() { return {{CursorXB, CursorXA, CursorYB, CursorYA}, SlopeShown}; }

struct PaintedCursors {
  bool Valid = false;
  CursorInputs From;
  CursorRecord After[4];
  screen::HotZoneRect Zones[std::size(CursorZones)];
  std::vector<platform::PaintedArea> Areas;
};

PaintedCursors cursorsOnCanvas;

bool Overlap(const platform::PaintedArea& a, const platform::PaintedArea& b) {
  return !a.Empty() && !b.Empty() && a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The previous pass's inputs: curves that are the same two passes running have settled.
struct PreviousPass {
  bool Valid = false;
  BackdropInputs Backdrop;
  CurveInputs Curves[MaxCurves];
};

PreviousPass previous;

bool Settled(const BackdropInputs& backdrop) {
  if (!previous.Valid || !(previous.Backdrop == backdrop)) return false;
  for (int i = 0; i < MaxCurves; ++i)
    if (!(previous.Curves[i] == CurrentCurve(i))) return false;
  return true;
}

platform::PaintedArea Within(const platform::PaintedArea& a, const platform::PaintedArea& band) {
  return {std::max(a.Left, band.Left), std::max(a.Top, band.Top), std::min(a.Right, band.Right),
          std::min(a.Bottom, band.Bottom)};
}

void CopyBack(const ColumnCopy& copy, const platform::PaintedArea& area) {
  if (area.Empty()) return;
  platform::CopyImageRect(copy.Image, screen::CanvasImage, area.Left, area.Top, area.Right - area.Left,
                          area.Bottom - area.Top);
}

// Where the canvas's column may differ from the run copy: everything painted over it
// since the copy was taken or put back (the curves after it, the cursors, the side
// columns' reach), so that putting the copy back during a run copies those places only,
// not the whole column. Known only while the canvas stays the same image.
struct OverRunCopy {
  bool Known = false;
  uint64_t CanvasSerial = 0;
  std::vector<platform::PaintedArea> Areas;
};

OverRunCopy overRunCopy;

// Beyond this many places the whole column is put back instead.
constexpr size_t MaxPlacesOverRunCopy = 256;

void StartOverRunCopy(uint64_t canvas) {
  overRunCopy.Known = true;
  overRunCopy.CanvasSerial = canvas;
  overRunCopy.Areas.clear();
}

void NoteOverRunCopy(const platform::PaintedArea& area) {
  if (!overRunCopy.Known || area.Empty()) return;
  overRunCopy.Areas.push_back(area);
  if (overRunCopy.Areas.size() > MaxPlacesOverRunCopy) {
    overRunCopy.Known = false;
    overRunCopy.Areas.clear();
  }
}

// Puts the run copy back over the column: only where it may differ, when that is known.
void PutBackRunCopy(const platform::PaintedArea& band, uint64_t canvas) {
  if (overRunCopy.Known && overRunCopy.CanvasSerial == canvas) {
    for (const platform::PaintedArea& area : overRunCopy.Areas) CopyBack(runCopy, Within(area, band));
  } else {
    CopyBack(runCopy, band);
  }
  StartOverRunCopy(canvas);
}

// Paints curve i, noting where it painted over the run copy (in pieces along it).
void PaintCurveOverRunCopy(int i) {
  platform::StartListingPaint();
  PaintCurve(i);
  for (const platform::PaintedArea& area : platform::StopListingPaint()) NoteOverRunCopy(area);
}

}  // namespace

void ForgetGraphLayers() {
  runCopy.Valid = fullCopy.Valid = false;
  onCanvas = {};
  overRunCopy.Known = false;
  previous.Valid = false;
  cursorsOnCanvas.Valid = false;
  platform::FreeImage(RunLayerImage);
  platform::FreeImage(FullLayerImage);
}

// ---- painting ----

namespace {

// Whether the canvas's column is the full copy with the cursors as they are to be
// painted, and whether the cursors can stay, given what else was painted over the column.
struct ColumnState {
  bool OnFull = false;
  bool CursorsStay = false;
};

ColumnState StateOf(const BackdropInputs& backdrop, const platform::PaintedArea& band,
                    std::initializer_list<platform::PaintedArea> dirt) {
  ColumnState s;
  s.OnFull = fullCopy.Valid && fullCopy.Backdrop == backdrop && SameCurves(fullCopy, MaxCurves) &&
             onCanvas.OnFullCopy && onCanvas.CanvasSerial == platform::ImageSerial(screen::CanvasImage);
  // Unchanged cursors that nothing else painted over stay on the canvas as they are.
  s.CursorsStay = s.OnFull && cursorsOnCanvas.Valid && cursorsOnCanvas.From == CurrentCursors();
  for (const platform::PaintedArea& d : dirt)
    for (const platform::PaintedArea& cursor : cursorsOnCanvas.Areas)
      s.CursorsStay = s.CursorsStay && !Overlap(Within(d, band), cursor);
  return s;
}

}  // namespace

bool GraphColumnStaysPut(int32_t x, int32_t w, int32_t ml, int32_t mr, int32_t mt, int32_t mb,
                         const platform::PaintedArea& leftColumn) {
  LayOutGraphTitlePanel(x, w, ml, mr, mt, mb);
  const platform::PaintedArea band{x, 0, x + w, screen::ScreenState.ScreenHeight};
  return StateOf(CurrentBackdrop(x, w, ml, mr, mt, mb), band, {leftColumn}).CursorsStay;
}

void DrawGraphColumnKeepingLayers(int32_t x, int32_t w, int32_t ml, int32_t mr, int32_t mt, int32_t mb,
                                  const platform::PaintedArea& leftColumn, const platform::PaintedArea& rightColumn) {
  const int32_t height = screen::ScreenState.ScreenHeight;
  LayOutGraphTitlePanel(x, w, ml, mr, mt, mb);
  const BackdropInputs backdrop = CurrentBackdrop(x, w, ml, mr, mt, mb);
  const platform::PaintedArea band{x, 0, x + w, height};
  const uint64_t canvas = platform::ImageSerial(screen::CanvasImage);
  constexpr int32_t HeaderZone = ZoneGraphTitlePanel + screen::ZoneHeaderTitle;
  screen::HotZoneRect* headerZones = &screen::HotZone[HeaderZone];

  // The side columns' reach over the column is put back from a copy whichever it is.
  for (const platform::PaintedArea& dirt : {leftColumn, rightColumn}) NoteOverRunCopy(Within(dirt, band));

  const ColumnState state = StateOf(backdrop, band, {leftColumn, rightColumn});
  const bool onFull = state.OnFull;
  const bool cursorsStay = state.CursorsStay;
  if (onFull) {
    // Only what was painted over the full copy since is put back.
    for (const platform::PaintedArea& dirt : {leftColumn, rightColumn}) CopyBack(fullCopy, Within(dirt, band));
    if (!cursorsStay)
      for (const platform::PaintedArea& cursor : cursorsOnCanvas.Areas) CopyBack(fullCopy, Within(cursor, band));
    for (int k = 0; k < 4; ++k) headerZones[k] = fullCopy.HeaderZones[k];
  } else {
    int from = -1;
    bool keepable = true;
    if (runCopy.Valid && runCopy.Backdrop == backdrop && SameCurves(runCopy, runCopy.Curves)) {
      from = runCopy.Curves;
      PutBackRunCopy(band, canvas);
      for (int k = 0; k < 4; ++k) headerZones[k] = runCopy.HeaderZones[k];
    } else {
      runCopy.Valid = false;
      overRunCopy.Known = false;
      platform::StartDrawing(screen::CanvasImage);
      platform::DrawBox(x, 0, w + 16, height, screen::ColourScheme.DarkerFillColour);
      platform::StopDrawing();
      const double leftmost = PaintGraphBackdrop(x, w, ml, mr, mt, mb);
      // A few pixels of margin for glyphs that overhang their text box.
      keepable = w > 0 && PlotWidth > 0 && PlotHeight > 0 && leftmost - 4 >= x &&
                 backdrop.CanvasWidth == screen::ScreenState.ScreenWidth && backdrop.CanvasHeight == height;
      from = 0;
    }
    // The run copy is taken just before the last curve, the one a run adds to.
    const int last = LastPaintedCurve();
    const int keepAt = last < 0 ? 0 : last;
    for (int i = from; i < MaxCurves; ++i) {
      if (i == keepAt && keepable && !(runCopy.Valid && runCopy.Curves == keepAt)) {
        Keep(runCopy, backdrop, keepAt, band, headerZones);
        StartOverRunCopy(canvas);
      }
      PaintCurveOverRunCopy(i);
    }
    onCanvas.OnFullCopy = keepable && Settled(backdrop);
    if (onCanvas.OnFullCopy) Keep(fullCopy, backdrop, MaxCurves, band, headerZones);
  }

  previous.Valid = true;
  previous.Backdrop = backdrop;
  for (int i = 0; i < MaxCurves; ++i) previous.Curves[i] = CurrentCurve(i);

  onCanvas.CanvasSerial = canvas;
  PaintedCursors& painted = cursorsOnCanvas;
  if (cursorsStay) {
    // What their painting leaves in the records and zones, as it left it.
    CursorRecord* records[4] = {&CursorXB, &CursorXA, &CursorYB, &CursorYA};
    for (int k = 0; k < 4; ++k) *records[k] = painted.After[k];
    for (size_t z = 0; z < std::size(CursorZones); ++z) screen::HotZone[CursorZones[z]] = painted.Zones[z];
    return;
  }
  // Each cursor's lines and label apart: together they would span the whole plot.
  painted.From = CurrentCursors();
  painted.Areas.clear();
  for (int k = 0; k <= GraphCursorCount; ++k) {
    platform::StartNotingPaint();
    PaintGraphCursor(k);
    painted.Areas.push_back(platform::StopNotingPaint());
    NoteOverRunCopy(painted.Areas.back());
  }
  const CursorInputs after = CurrentCursors();
  for (int k = 0; k < 4; ++k) painted.After[k] = after.Cursors[k];
  for (size_t z = 0; z < std::size(CursorZones); ++z) painted.Zones[z] = screen::HotZone[CursorZones[z]];
  painted.Valid = true;
}

}  // namespace zolt::tracer
