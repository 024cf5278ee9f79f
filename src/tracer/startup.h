// The curve tracer's start-up and the main layout.
#pragma once

#include <cstdint>

namespace zolt::tracer {

void StartCurveTracer();
// Places the graph area and the strip below it from the screen size; apply = 1 copies the
// result into screen::PlotRect and screen::BelowPlotRect.
void ComputeMainLayout(int32_t apply);
// The curve tracer's drawing chain (extents to panel render), run by the drawing pass;
// it keeps what it computed and painted from inputs that have not changed since.
void DrawCurveTracerScreen();
// The same chain with every step computed and painted anew.
void RepaintCurveTracerScreen();
// Whether anything the curve tracer's screen shows has changed since this was last asked
// (the front end's ScreenChanged).
bool CurveTracerScreenChanged();

}  // namespace zolt::tracer
