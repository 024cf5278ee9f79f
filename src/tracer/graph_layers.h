// The middle column of the curve tracer's screen painted by a drawing pass that keeps
// what did not change. Two copies of the column are kept, each with what it was painted
// from: the column's fill, title header and plot backdrop with every curve but the last
// (the one a run adds points to), and the same with every curve once the curves have
// settled. A pass copies back the copy that still holds, or, when the canvas's column is
// the full copy with only the cursors and the side columns' overhang painted over it, just
// those parts; then it paints what the copy lacks and the cursors. The pixels are those of
// the full painting. Main thread only (the drawing chain).
#pragma once

#include <cstdint>

#include "platform/draw.h"

namespace zolt::tracer {

// The kept copies of the middle column, at the canvas's size.
constexpr int RunLayerImage = 39;
constexpr int FullLayerImage = 40;

// Paints the middle column as RenderPanelImage does (its fill, then DrawGraphTitlePanel
// with the plot margins), keeping and reusing the unchanged layers. `leftColumn` is what
// the left column's painting of this pass may have reached, `rightColumn` what the
// right-hand column's last painting reached, when it is to be painted again.
void DrawGraphColumnKeepingLayers(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight,
                                  int32_t marginTop, int32_t marginBottom, const platform::PaintedArea& leftColumn,
                                  const platform::PaintedArea& rightColumn);
// Whether that painting would leave the column as it is but for putting back what the
// left column reached into it: the copy, the curves and the cursors all unchanged.
bool GraphColumnStaysPut(int32_t x, int32_t w, int32_t marginLeft, int32_t marginRight, int32_t marginTop,
                         int32_t marginBottom, const platform::PaintedArea& leftColumn);
// Forgets the kept copies: the next pass paints the column in full.
void ForgetGraphLayers();

}  // namespace zolt::tracer
