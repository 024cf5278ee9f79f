// Cursor arithmetic of the drawing chain: the extents of the displayed curves with each
// curve's value where it first crosses the X cursors, and the cursor update (the lock
// step, drags and pixel positions).
//
// Sections: curve extents; cursor update.
#include <algorithm>
#include <cmath>

#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/quantities.h"
#include "tracer/run_state.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- curve extents ----

namespace {

// Status bits 4 to 7 hold the stop code of the frame: such an entry is not a measurement.
constexpr int32_t StopCodeBits = 0xF0;

bool Between(double value, double a, double b) { return (a <= value && value <= b) || (b <= value && value <= a); }

// The Y value of the segment (pX, pY) - (x, y) at xc; the middle of a vertical segment.
double YAt(double xc, double pX, double pY, double x, double y) {
  if (x == pX) return (pY + y) / 2;
  return pY + (xc - pX) / (x - pX) * (y - pY);
}

// One curve's walk so far: the entries walked, and what the walk carries from one entry
// to the next.
struct CurveWalk {
  int32_t Walked = 0;
  int64_t Valid = 0;
  bool HavePrevious = false;
  double PX = 0.0, PY = 0.0;
  bool FoundA = false, FoundB = false;
  double YAtA = 0.0, YAtB = 0.0;
};

struct ExtentsWalk {
  PointField X{}, Y{};
  double Xa = 0.0, Xb = 0.0;
  double XMin = 1e38, XMax = -1e38, YMin = 1e38, YMax = -1e38;
  CurveWalk Curves[MaxCurves];
};

// The entries up to (not including) `end` of curve i, from where the walk stopped.
void WalkCurve(ExtentsWalk& w, int i, int32_t end) {
  CurveWalk& c = w.Curves[i];
  const SweepPoint* points = DisplayedSweeps.Point[i];
  for (int32_t j = c.Walked; j < end; ++j) {
    const SweepPoint& p = points[j];
    if ((p.RunStatus & StopCodeBits) != 0) continue;
    const double x = PointValue(p, w.X);
    const double y = PointValue(p, w.Y);
    // A value that is not finite (a point the run file does not hold, or holds as such) is
    // a gap in the curve: it is plotted as one, stretches no axis, and no crossing is
    // taken across it.
    if (!std::isfinite(x) || !std::isfinite(y)) {
      ++c.Valid;
      c.HavePrevious = false;
      continue;
    }
    if (x < w.XMin) w.XMin = x;
    if (x > w.XMax) w.XMax = x;
    if (y < w.YMin) w.YMin = y;
    if (y > w.YMax) w.YMax = y;
    ++c.Valid;
    // Each cursor takes the curve's first crossing in the order of acquisition.
    if (c.HavePrevious && !c.FoundA && Between(w.Xa, c.PX, x)) {
      c.YAtA = YAt(w.Xa, c.PX, c.PY, x, y);
      c.FoundA = true;
    }
    if (c.HavePrevious && !c.FoundB && Between(w.Xb, c.PX, x)) {
      c.YAtB = YAt(w.Xb, c.PX, c.PY, x, y);
      c.FoundB = true;
    }
    c.PX = x;
    c.PY = y;
    c.HavePrevious = true;
  }
  c.Walked = std::max(c.Walked, end);
}

// The entries a curve has to walk: the entry at its last index is not walked.
int32_t WalkEnd(int i) { return std::max(std::min(DisplayedSweeps.TotalEntries[i], DisplayedPointsPerCurve - 1), 0); }

void PublishWalk(const ExtentsWalk& w) {
  XAxis.Min = w.XMin;
  XAxis.Max = w.XMax;
  YAxis.Min = w.YMin;
  YAxis.Max = w.YMax;
  for (int i = 0; i < MaxCurves; ++i) {
    GraphPlotData.ValidPoints[i] = w.Curves[i].Valid;
    YAtCursorXA[i] = w.Curves[i].YAtA;
    YAtCursorXB[i] = w.Curves[i].YAtB;
  }
}

ExtentsWalk FreshWalk(double xa, double xb) {
  ExtentsWalk w;
  w.X = PointFieldOf(GraphSettings.XQuantity);
  w.Y = PointFieldOf(GraphSettings.YQuantity);
  w.Xa = xa;
  w.Xb = xb;
  return w;
}

// The walk the last update left, and the revision of the points it walked.
struct KeptWalk {
  bool Valid = false;
  uint64_t Revision = 0;
  ExtentsWalk Walk;
};

KeptWalk keptWalk;

}  // namespace

void ComputeCurveExtents(double xa, double xb) {
  ExtentsWalk w = FreshWalk(xa, xb);
  for (int i = 0; i < MaxCurves; ++i) WalkCurve(w, i, WalkEnd(i));
  PublishWalk(w);
  keptWalk.Valid = false;
}

void UpdateCurveExtents(double xa, double xb) {
  KeptWalk& k = keptWalk;
  const ExtentsWalk fresh = FreshWalk(xa, xb);
  bool keep = k.Valid && k.Revision == DisplayedSweepsRevision && k.Walk.X == fresh.X && k.Walk.Y == fresh.Y &&
              k.Walk.Xa == xa && k.Walk.Xb == xb;
  for (int i = 0; keep && i < MaxCurves; ++i) keep = WalkEnd(i) >= k.Walk.Curves[i].Walked;
  if (!keep) {
    k.Walk = fresh;
    k.Revision = DisplayedSweepsRevision;
    k.Valid = true;
  }
  for (int i = 0; i < MaxCurves; ++i) WalkCurve(k.Walk, i, WalkEnd(i));
  PublishWalk(k.Walk);
}

// ---- cursor update ----

namespace {

// A locked pair moves together: whichever cursor moved since the last pass takes its
// partner along by the same amount.
void LockStep(CursorRecord& a, CursorRecord& b, const CursorRecord& lock) {
  if (lock.Locked == 1) {
    if (a.Value != a.LastValue) {
      b.Value += a.Value - a.LastValue;
      a.LastValue = a.Value;
      b.LastValue = b.Value;
    }
    if (b.Value != b.LastValue) {
      a.Value += b.Value - b.LastValue;
      a.LastValue = a.Value;
      b.LastValue = b.Value;
    }
  } else {
    a.LastValue = a.Value;
    b.LastValue = b.Value;
  }
}

// Where a pointer coordinate lies along the plot, from 0 at its start to 1 at its end;
// a plot not yet painted (length 0) counts the pointer as at its start.
double Fraction(int32_t pixel, int64_t start, int64_t length) {
  const double f = (pixel - static_cast<double>(start)) / static_cast<double>(length);
  if (std::isnan(f)) return 0.0;
  return std::clamp(f, 0.0, 1.0);
}

}  // namespace

void UpdateGraphCursors(double xStart, double xEnd, double yStart, double yEnd) {
  XAxis.CursorStep = (xEnd - xStart) / 2000;
  YAxis.CursorStep = (yEnd - yStart) / 2000;

  LockStep(CursorXA, CursorXB, CursorXLock);
  LockStep(CursorYA, CursorYB, CursorYLock);

  // Drags, after the lock step: a locked partner follows on the next pass.
  for (CursorRecord* c : {&CursorXA, &CursorXB})
    if (c->Dragging == 1)
      c->Value = xStart + Fraction(c->DragPixel, PlotLeft, PlotWidth) * (xEnd - xStart);
  for (CursorRecord* c : {&CursorYA, &CursorYB})
    if (c->Dragging == 1)
      c->Value = yEnd - Fraction(c->DragPixel, PlotTop, PlotHeight) * (yEnd - yStart);

  // The spans start at 0; a zero span gives a pixel that is not finite, which the
  // painting pins to the plot's edge.
  for (CursorRecord* c : {&CursorXA, &CursorXB})
    c->Pixel = static_cast<double>(PlotLeft) + static_cast<double>(PlotWidth) * c->Value / (xEnd - xStart);
  for (CursorRecord* c : {&CursorYA, &CursorYB})
    c->Pixel = static_cast<double>(PlotTop + PlotHeight) -
               static_cast<double>(PlotHeight) * c->Value / (yEnd - yStart);
}

}  // namespace zolt::tracer
