// Hot zones and the pointer step: the zone table's helpers, ClearHotZones and
// HandleScreenMouse.
//
// Sections: zone table; pointer step.
#include "screen/hot_zones.h"

#include "frame/app.h"
#include "platform/gui.h"
#include "screen/plot_area.h"
#include "tracer/cursors.h"

namespace zolt::screen {

// ---- zone table ----

void SetHotZone(int32_t id, int32_t left, int32_t right, int32_t top, int32_t bottom) {
  if (id < 0 || id >= HotZoneRows) return;
  HotZone[id] = {left, right, top, bottom};
}

const std::string& ZoneCaption(int32_t id) {
  static const std::string none;
  return id >= 0 && id < HotZoneRows ? HotZoneText[id] : none;
}

void ClearHotZones() {
  for (int32_t id = 0; id <= HitTestedZoneLast; ++id) HotZone[id].Right = 0;
}

// ---- pointer step ----
//
// What one pass does with the left button (Down = LeftMouseDown, Prev = its value at the
// end of the previous pass):
//
//   Prev Down  edge      pointer read   cursors               plot area          zones
//   0    0     none      no             all released          -                  -
//   0    1     press     MouseX/Y       picked up by label    press inside:      hit test 1..1000,
//                                       (held ones follow)    DragInPlot = 1,    lowest id wins;
//                                                             PressX/Y           no hit keeps the old id
//   1    1     held      MouseX/Y       held ones follow      -                  -
//   1    0     release   once, if the   all released          last held position -
//                        last held                            inside:
//                        position was                         DragInPlot = 0
//                        inside the plot
//
// A cursor picked up on the press edge follows from the next pass on; a pointer outside
// the client area reads -1 and a held cursor follows that too.

namespace {

bool InsidePlot(int32_t x, int32_t y) {
  const PointerStateRecord& p = PointerState;
  return PlotRect.X <= x && x <= p.PlotRight && PlotRect.Y <= y && y <= p.PlotBottom;
}

bool OnLabel(const tracer::CursorRecord& cursor, int32_t x, int32_t y) {
  return cursor.LabelLeft <= x && x <= cursor.LabelRight && cursor.LabelTop <= y && y <= cursor.LabelBottom;
}

int32_t PointerX() { return platform::WindowMouseX(frame::MainWindow); }
int32_t PointerY() { return platform::WindowMouseY(frame::MainWindow); }

}  // namespace

void HandleScreenMouse() {
  PointerStateRecord& p = PointerState;
  tracer::CursorRecord* const xCursors[] = {&tracer::CursorXA, &tracer::CursorXB};
  tracer::CursorRecord* const yCursors[] = {&tracer::CursorYA, &tracer::CursorYB};
  tracer::CursorRecord* const allCursors[] = {&tracer::CursorXA, &tracer::CursorXB, &tracer::CursorYA,
                                              &tracer::CursorYB};

  // 1. Held button: read the pointer and let held cursors follow it.
  if (p.LeftMouseDown == 1) {
    p.MouseX = PointerX();
    p.MouseY = PointerY();
    for (tracer::CursorRecord* c : xCursors)
      if (c->Dragging == 1) c->DragPixel = p.MouseX;
    for (tracer::CursorRecord* c : yCursors)
      if (c->Dragging == 1) c->DragPixel = p.MouseY;
  } else {
    for (tracer::CursorRecord* c : allCursors) c->Dragging = 0;
  }

  // 2. The plot area as the graph left it.
  p.PlotRight = PlotRect.X + PlotRect.Width;
  p.PlotBottom = PlotRect.Y + PlotRect.Height;

  const bool pressEdge = p.LeftMouseDownPrev == 0 && p.LeftMouseDown == 1;
  const bool releaseEdge = p.LeftMouseDownPrev == 1 && p.LeftMouseDown == 0;

  // 3. Press edge: a press in the plot area, and cursors picked up by their labels.
  if (pressEdge) {
    if (InsidePlot(p.MouseX, p.MouseY)) {
      p.DragInPlot = 1;
      p.PressX = PointerX();
      p.PressY = PointerY();
    }
    for (tracer::CursorRecord* c : allCursors)
      if (OnLabel(*c, p.MouseX, p.MouseY)) c->Dragging = 1;
  }

  // 4. Release edge: a drag in the plot ends where the button was last held inside it.
  if (releaseEdge && InsidePlot(p.MouseX, p.MouseY)) {
    p.DragInPlot = 0;
    p.MouseX = PointerX();
    p.MouseY = PointerY();
  }

  // 5. Hit test on the press edge only.
  if (pressEdge) {
    for (int32_t id = 1; id <= HitTestedZoneLast; ++id) {
      const HotZoneRect& z = HotZone[id];
      if (z.Left <= p.MouseX && p.MouseX <= z.Right && z.Top <= p.MouseY && p.MouseY <= z.Bottom) {
        ClickedZone = id;
        break;
      }
    }
  }

  // 6.
  p.LeftMouseDownPrev = p.LeftMouseDown;
}

}  // namespace zolt::screen
