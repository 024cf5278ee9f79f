// Draw part: pixel-exact shapes written straight into the target's pixels (boxes,
// lines, filled circles, points) and the copy of one image into another with alpha.
//
// Shapes are not antialiased: a box covers exactly its width x height pixels, a line
// exactly the pixels of the Bresenham line between its two (inclusive) ends, so painted
// controls line up pixel for pixel. Everything is clipped to the target image, and the
// work done is bounded by the image size, whatever the coordinates.
//
// Sections: boxes and points; lines; circles; images.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

namespace {

// Floor division for a positive divisor.
int64_t FloorDiv(__int128 a, int64_t b) {
  __int128 q = a / b;
  if ((a % b) != 0 && a < 0) --q;
  return static_cast<int64_t>(q);
}

}  // namespace

// ---- boxes and points ----

void DrawBox(int x, int y, int width, int height, Colour colour) {
  if (width <= 0 || height <= 0) return;
  draw::PixelRows rows;
  if (!draw::TargetPixels(rows)) return;
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, rows.Width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, rows.Height);
  if (left >= right || top >= bottom) return;
  draw::NotePainted(left, top, right, bottom);
  const uint32_t pixel = draw::OpaquePixel(colour);
  // The first row is filled pixel by pixel, the others are copies of it (a block copy
  // uses the widest stores there are: boxes as large as the screen are painted often).
  uint32_t* first = rows.Data + top * rows.WordsPerRow + left;
  std::fill(first, first + (right - left), pixel);
  const size_t bytes = static_cast<size_t>(right - left) * sizeof(uint32_t);
  for (int64_t row = top + 1; row < bottom; ++row) std::memcpy(rows.Data + row * rows.WordsPerRow + left, first, bytes);
  draw::MarkTargetDirty();
}

void DrawPoint(int x, int y, Colour colour) {
  draw::PixelRows rows;
  if (!draw::TargetPixels(rows)) return;
  if (x < 0 || y < 0 || x >= rows.Width || y >= rows.Height) return;
  draw::NotePainted(x, y, x + 1.0, y + 1.0);
  rows.Data[static_cast<int64_t>(y) * rows.WordsPerRow + x] = draw::OpaquePixel(colour);
  draw::MarkTargetDirty();
}

// ---- lines ----

// The pixel of the line on each step of its major axis is the minor coordinate rounded
// from the exact line (halves round up), computed directly rather than incrementally so
// that only the steps inside the image are visited. Both ends are always drawn.
void DrawLine(int x1, int y1, int x2, int y2, Colour colour) {
  draw::PixelRows rows;
  if (!draw::TargetPixels(rows)) return;
  draw::NotePainted(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1.0, std::max(y1, y2) + 1.0);
  const uint32_t pixel = draw::OpaquePixel(colour);
  auto put = [&](int64_t px, int64_t py) {
    if (px >= 0 && py >= 0 && px < rows.Width && py < rows.Height)
      rows.Data[py * rows.WordsPerRow + px] = pixel;
  };
  int64_t ax = x1, ay = y1, bx = x2, by = y2;
  const bool steep = std::llabs(by - ay) > std::llabs(bx - ax);
  if (steep) {  // walk along y: swap the roles of the axes
    std::swap(ax, ay);
    std::swap(bx, by);
  }
  if (ax > bx) {
    std::swap(ax, bx);
    std::swap(ay, by);
  }
  const int64_t dx = bx - ax;
  const int64_t dy = by - ay;
  const int64_t majorLimit = steep ? rows.Height : rows.Width;
  const int64_t from = std::max<int64_t>(ax, 0);
  const int64_t to = std::min<int64_t>(bx, majorLimit - 1);
  for (int64_t m = from; m <= to; ++m) {
    // Lines along an axis (the grids) need no division.
    const int64_t minor =
        dx == 0 || dy == 0 ? ay : ay + FloorDiv(static_cast<__int128>(2) * (m - ax) * dy + dx, 2 * dx);
    if (steep)
      put(minor, m);
    else
      put(m, minor);
  }
  draw::MarkTargetDirty();
}

// ---- circles ----

// A filled circle covers the pixels whose centres lie within radius + 1/2 of the centre
// (dx^2 + dy^2 <= r^2 + r): 2r + 1 pixels across, one pixel for radius 0.
void DrawCircle(int x, int y, int radius, Colour colour) {
  if (radius < 0) return;
  draw::PixelRows rows;
  if (!draw::TargetPixels(rows)) return;
  draw::NotePainted(static_cast<double>(x) - radius, static_cast<double>(y) - radius,
                    static_cast<double>(x) + radius + 1.0, static_cast<double>(y) + radius + 1.0);
  const uint32_t pixel = draw::OpaquePixel(colour);
  const int64_t r = radius;
  const int64_t limit = r * r + r;
  const int64_t top = std::max<int64_t>(static_cast<int64_t>(y) - r, 0);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + r, rows.Height - 1);
  for (int64_t py = top; py <= bottom; ++py) {
    const int64_t dy = py - y;
    const int64_t rest = limit - dy * dy;
    int64_t half = static_cast<int64_t>(std::sqrt(static_cast<double>(rest)));
    while (half * half > rest) --half;
    while ((half + 1) * (half + 1) <= rest) ++half;
    const int64_t left = std::max<int64_t>(x - half, 0);
    const int64_t right = std::min<int64_t>(x + half, rows.Width - 1);
    uint32_t* line = rows.Data + py * rows.WordsPerRow;
    for (int64_t px = left; px <= right; ++px) line[px] = pixel;
  }
  draw::MarkTargetDirty();
}

// ---- images ----

void DrawImage(int image, int x, int y) {
  cairo_surface_t* source = draw::ImageSurface(image);
  cairo_t* cr = draw::TargetContext();
  if (!source || !cr || source == draw::TargetSurface()) return;
  draw::NotePainted(x, y, static_cast<double>(x) + cairo_image_surface_get_width(source),
                    static_cast<double>(y) + cairo_image_surface_get_height(source));
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_set_source_surface(cr, source, x, y);
  cairo_rectangle(cr, x, y, cairo_image_surface_get_width(source), cairo_image_surface_get_height(source));
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace zolt::platform
