// The four graph cursors and their two lock records.
//
// Values are in axis units; pixels and label boxes are written by the graph painting,
// Dragging and DragPixel by the pointer step. Main thread only.
#pragma once

#include <cstdint>

namespace zolt::tracer {

struct CursorRecord {
  double Pixel = 0.0;       // x for an X cursor, y for a Y cursor
  int32_t Shown = 0;
  int32_t Locked = 0;       // used only in the lock records
  double LabelLeft = 0.0;   // hit box of the cursor's label
  double LabelRight = 0.0;
  double LabelTop = 0.0;
  double LabelBottom = 0.0;
  int32_t Dragging = 0;     // 1 while the pointer drags this cursor
  int32_t DragPixel = 0;    // pointer x (X cursor) or y (Y cursor) while dragging
  double Value = 0.0;       // position in axis units
  double LastValue = 0.0;   // Value as left by the previous pass

  bool operator==(const CursorRecord&) const = default;
};

inline CursorRecord CursorXA, CursorXB, CursorYA, CursorYB;
inline CursorRecord CursorXLock, CursorYLock;

}  // namespace zolt::tracer
