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

}  // namespace

void ComputeCurveExtents(double xa, double xb) {
  XAxis.Min = YAxis.Min = 1e38;
  XAxis.Max = YAxis.Max = -1e38;
  const PointField xField = PointFieldOf(GraphSettings.XQuantity);
  const PointField yField = PointFieldOf(GraphSettings.YQuantity);

  for (int i = 0; i < MaxCurves; ++i) {
    int64_t valid = 0;
    bool havePrevious = false;
    double pX = 0.0, pY = 0.0;
    bool foundA = false, foundB = false;
    YAtCursorXA[i] = 0.0;
    YAtCursorXB[i] = 0.0;
    // The entry at the curve's last index is not walked.
    const int32_t n = std::min(DisplayedSweeps.TotalEntries[i], DisplayedPointsPerCurve - 1);
    const SweepPoint* points = DisplayedSweeps.Point[i];
    for (int32_t j = 0; j < n; ++j) {
      const SweepPoint& p = points[j];
      if ((p.RunStatus & StopCodeBits) != 0) continue;
      const double x = PointValue(p, xField);
      const double y = PointValue(p, yField);
      if (x < XAxis.Min) XAxis.Min = x;
      if (x > XAxis.Max) XAxis.Max = x;
      if (y < YAxis.Min) YAxis.Min = y;
      if (y > YAxis.Max) YAxis.Max = y;
      ++valid;
      // Each cursor takes the curve's first crossing in the order of acquisition.
      if (havePrevious && !foundA && Between(xa, pX, x)) {
        YAtCursorXA[i] = YAt(xa, pX, pY, x, y);
        foundA = true;
      }
      if (havePrevious && !foundB && Between(xb, pX, x)) {
        YAtCursorXB[i] = YAt(xb, pX, pY, x, y);
        foundB = true;
      }
      pX = x;
      pY = y;
      havePrevious = true;
    }
    GraphPlotData.ValidPoints[i] = valid;
  }
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
