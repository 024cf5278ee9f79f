// The middle column of the curve tracer's screen painted by a drawing pass that keeps
// what did not change: the column's fill, the title header and plot backdrop, and the
// curves but the last, are kept as a copy of the column (image GraphLayerImage) with what
// they were painted from, and copied back while that stays the same; the last curve and
// the cursors are painted on top every pass. The pixels are those of the full painting.
// Main thread only (the drawing chain).
#pragma once

#include <cstdint>

namespace zolt::tracer {

// The kept copy of the middle column, at the canvas's size.
constexpr int GraphLayerImage = 39;

// Paints the middle column as RenderPanelImage does (its fill, then DrawGraphTitlePanel
// with the plot margins), keeping and reusing the unchanged layers.
void DrawGraphColumnKeepingLayers(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight,
                                  int32_t marginTop, int32_t marginBottom);
// Forgets the kept copy: the next pass paints the column in full.
void ForgetGraphLayers();

}  // namespace zolt::tracer
