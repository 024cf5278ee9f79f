// The plot area rectangle, shared by the graph (which sets it every frame) and the
// pointer step (which tests presses against it). Main thread only.
#pragma once

#include <cstdint>

namespace zolt::screen {

struct PixelRect {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

inline PixelRect PlotRect;
inline PixelRect BelowPlotRect;

}  // namespace zolt::screen
