// Draw part: vector paths (the graph's curves), stroked antialiased with round caps and
// joins, solid, dashed or dotted, in a colour with alpha.
//
// Point coordinates are pixel coordinates like those of the shapes: (x, y) is the
// centre of pixel (x, y). A point that is not a finite number breaks the path there.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

namespace {

// Far outside any image but well inside cairo's fixed-point range.
constexpr double CoordinateLimit = 1e6;

double Limited(double v) { return std::clamp(v, -CoordinateLimit, CoordinateLimit) + 0.5; }

}  // namespace

void StrokePath(const PathPoint* points, int count, uint32_t rgba, double width, StrokeStyle style) {
  cairo_t* cr = draw::TargetContext();
  if (!cr || !points || count < 2 || !(width > 0) || !std::isfinite(width)) return;
  double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(points[i].X) || !std::isfinite(points[i].Y)) continue;
    left = std::min(left, Limited(points[i].X));
    right = std::max(right, Limited(points[i].X));
    top = std::min(top, Limited(points[i].Y));
    bottom = std::max(bottom, Limited(points[i].Y));
  }
  draw::NotePainted(left - width - 2, top - width - 2, right + width + 2, bottom + width + 2);
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_new_path(cr);
  bool open = false;
  for (int i = 0; i < count; ++i) {
    const PathPoint& p = points[i];
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
      open = false;
      continue;
    }
    if (open)
      cairo_line_to(cr, Limited(p.X), Limited(p.Y));
    else
      cairo_move_to(cr, Limited(p.X), Limited(p.Y));
    open = true;
  }
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (style == StrokeStyle::Dash) {
    // Dashes 5 widths long; the round caps take half a width off each gap end.
    const double dashes[2] = {5 * width, 3 * width};
    cairo_set_dash(cr, dashes, 2, 0);
  } else if (style == StrokeStyle::Dot) {
    // Zero-length dashes with round caps are dots one width across, 4 widths apart.
    const double dots[2] = {0, 4 * width};
    cairo_set_dash(cr, dots, 2, 0);
  }
  const double alpha = ((rgba >> 24) & 0xFF) / 255.0;
  cairo_set_source_rgba(cr, (rgba & 0xFF) / 255.0, ((rgba >> 8) & 0xFF) / 255.0,
                        ((rgba >> 16) & 0xFF) / 255.0, alpha);
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace zolt::platform
