// Cursors and key measurements: curve extents and the values at the X cursors, the
// cursor update (locks and drags), and the right-hand column (cursor readouts, key
// measurement table, sweep settings). Main thread only (the drawing chain).
#pragma once

#include <cstdint>
#include <string>

namespace zolt::tracer {

inline double YAtCursorXA[26] = {};
inline double YAtCursorXB[26] = {};
inline std::string KeyMeasurementCells[11][25];

void ComputeCurveExtents(double xa, double xb);
// The same extents and crossings, walking only the entries added since the last update
// while DisplayedSweepsRevision, the quantities and the cursor values stay (the drawing
// pass's way).
void UpdateCurveExtents(double xa, double xb);
void UpdateGraphCursors(double xStart, double xEnd, double yStart, double yEnd);
void DrawCursorAndMeasurementPanels(int32_t x, int32_t y, int32_t w, int32_t h, int32_t gap);

}  // namespace zolt::tracer
