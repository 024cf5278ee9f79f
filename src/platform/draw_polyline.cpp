// Draw part: polylines through whole-pixel points, stroked solid with round caps and
// joins and antialiased, rasterised here rather than by cairo's stroker, which is far
// too slow for curves of thousands of points.
//
// Each segment puts its coverage into a mask of the target's size, where a pixel keeps
// the largest coverage any segment gives it, so joins and overlapping segments never
// build up; the mask is then blended into the target once, over the 16 x 16 tiles the
// segments touched, and cleared as it goes.
//
// The coverage of a pixel is clamp(width / 2 + 1/2 - d, 0, 1), d the distance of the
// pixel's centre from the segment: exact along the axes and close to the covered area in
// every other direction. Points are pixel centres, so a segment of a few pixels, as the
// steps of a measured curve are, has one of a few hundred coverage patterns; these are
// computed once per width as stamps. Longer segments are scanned row by row.
//
// Sections: pen; mask; stamps; segments; blending; StrokePixelPolyline.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

namespace {

// ---- pen ----

struct Pen {
  double Width = 0;
  double Reach = 0;   // width / 2 + 1/2: no coverage at this distance or beyond
  double Reach2 = 0;
  double Full2 = -1;  // within this squared distance the coverage is full
  int Extent = 0;     // pixels a segment's coverage reaches past its ends
};

Pen MakePen(double width) {
  Pen pen;
  pen.Width = width;
  pen.Reach = width / 2 + 0.5;
  pen.Reach2 = pen.Reach * pen.Reach;
  pen.Full2 = pen.Reach >= 1 ? (pen.Reach - 1) * (pen.Reach - 1) : -1;
  pen.Extent = static_cast<int>(std::ceil(pen.Reach)) - 1;
  return pen;
}

uint8_t CoverageAt(double distance2, const Pen& pen) {
  if (distance2 >= pen.Reach2) return 0;
  if (distance2 <= pen.Full2) return 255;
  const double c = pen.Reach - std::sqrt(distance2);
  return c >= 1 ? 255 : static_cast<uint8_t>(c * 255 + 0.5);
}

// Squared distance of (px, py) from the segment (ax, ay) - (bx, by).
double Distance2(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0) : 0.0;
  const double ex = ax + t * dx - px, ey = ay + t * dy - py;
  return ex * ex + ey * ey;
}

// ---- mask ----

constexpr int TileShift = 4;

struct CoverageMask {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Coverage;      // one byte a pixel, 0 outside the stroke
  int TilesX = 0;
  std::vector<uint8_t> TileTouched;   // one flag a tile
  std::vector<int32_t> TouchedTiles;  // the flagged tiles, in order
};

CoverageMask mask;

// The tiles last flagged, a rectangle in tile units: consecutive segments mostly fall
// into the same tiles, which are then not looked at again.
struct TileBox {
  int Left = 1, Right = 0, Top = 1, Bottom = 0;
};
TileBox lastTiles;

void PrepareMask(int width, int height) {
  if (mask.Width == width && mask.Height == height) return;
  mask.Width = width;
  mask.Height = height;
  mask.Coverage.assign(static_cast<size_t>(width) * height, 0);
  mask.TilesX = (width + (1 << TileShift) - 1) >> TileShift;
  const int tilesY = (height + (1 << TileShift) - 1) >> TileShift;
  mask.TileTouched.assign(static_cast<size_t>(mask.TilesX) * tilesY, 0);
  mask.TouchedTiles.clear();
  lastTiles = {};
}

// Flags the tiles of one row span; left..right lie inside the mask.
void TouchSpan(int y, int left, int right) {
  const int base = (y >> TileShift) * mask.TilesX;
  for (int tx = left >> TileShift; tx <= (right >> TileShift); ++tx) {
    uint8_t& flag = mask.TileTouched[base + tx];
    if (!flag) {
      flag = 1;
      mask.TouchedTiles.push_back(base + tx);
    }
  }
}

void Cover(int x, int y, uint8_t coverage) {
  uint8_t& cell = mask.Coverage[static_cast<size_t>(y) * mask.Width + x];
  if (coverage > cell) cell = coverage;
}

// ---- stamps ----

constexpr int StampReach = 8;  // stamps for segments of up to 8 px along each axis
constexpr int StampSide = 2 * StampReach + 1;
constexpr int MaxStampExtent = 8;

// Stamp rows are stored 16 cells apart, zero past the stamp's width, so that a row can
// be merged into the mask 16 cells at a time.
constexpr int StampRowCells = 16;
constexpr int MaxStampWidth = StampRowCells;

struct Stamp {
  int Width = 0;   // 0: no stamp, the segment is scanned
  int Height = 0;
  int Left = 0;    // the stamp's top-left cell relative to the segment's first point
  int Top = 0;
  std::vector<uint8_t> Cells;  // Height rows of StampRowCells
};

typedef uint8_t Cells16 __attribute__((vector_size(16)));

struct StampSet {
  double Width = -1;
  std::vector<Stamp> Stamps;  // by (dy + reach) x side + (dx + reach)
};

StampSet stamps;

// The stamp of the segment from (0, 0) to (dx, dy) covers the box from
// (min(0, dx) - extent, min(0, dy) - extent) to (max(0, dx) + extent, max(0, dy) + extent).
void PrepareStamps(const Pen& pen) {
  if (stamps.Width == pen.Width) return;
  stamps.Width = pen.Width;
  stamps.Stamps.assign(StampSide * StampSide, Stamp{});
  const int e = pen.Extent;
  for (int dy = -StampReach; dy <= StampReach; ++dy)
    for (int dx = -StampReach; dx <= StampReach; ++dx) {
      Stamp& s = stamps.Stamps[(dy + StampReach) * StampSide + dx + StampReach];
      s.Width = std::abs(dx) + 2 * e + 1;
      s.Height = std::abs(dy) + 2 * e + 1;
      s.Left = std::min(0, dx) - e;
      s.Top = std::min(0, dy) - e;
      if (s.Width > MaxStampWidth) {  // too wide for a row of cells: scanned instead
        s.Width = 0;
        continue;
      }
      s.Cells.assign(static_cast<size_t>(StampRowCells) * s.Height, 0);
      const double ax = e + std::max(0, -dx), ay = e + std::max(0, -dy);
      for (int j = 0; j < s.Height; ++j)
        for (int i = 0; i < s.Width; ++i)
          s.Cells[static_cast<size_t>(j) * StampRowCells + i] = CoverageAt(Distance2(i, j, ax, ay, ax + dx, ay + dy), pen);
    }
}

inline void TouchBox(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {  // pixels, inclusive, inside the mask
  const TileBox b{static_cast<int>(x0 >> TileShift), static_cast<int>(x1 >> TileShift),
                  static_cast<int>(y0 >> TileShift), static_cast<int>(y1 >> TileShift)};
  const TileBox& l = lastTiles;
  if (b.Left >= l.Left && b.Right <= l.Right && b.Top >= l.Top && b.Bottom <= l.Bottom) return;
  for (int ty = b.Top; ty <= b.Bottom; ++ty)
    TouchSpan(ty << TileShift, static_cast<int>(x0), static_cast<int>(x1));
  lastTiles = b;
}

// Merges a stamp whose top-left cell is at (left, top) into the mask.
inline void ApplyStamp(const Stamp& s, int64_t left, int64_t top) {
  // Signed tests: a mask narrower than a row of cells or lower than the stamp never
  // takes whole rows.
  if (left >= 0 && top >= 0 && left + StampRowCells <= mask.Width && top + s.Height <= mask.Height) {
    // Inside the mask: whole rows of 16 cells, those past the stamp's width being 0.
    uint8_t* row = mask.Coverage.data() + top * mask.Width + left;
    const uint8_t* cells = s.Cells.data();
    for (int j = 0; j < s.Height; ++j, row += mask.Width, cells += StampRowCells) {
      Cells16 m, c;
      std::memcpy(&m, row, sizeof m);
      std::memcpy(&c, cells, sizeof c);
      m = m > c ? m : c;
      std::memcpy(row, &m, sizeof m);
    }
    TouchBox(left, top, left + s.Width - 1, top + s.Height - 1);
    return;
  }
  // At the edges: cell by cell, clipped.
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(left + s.Width, mask.Width);
  const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(top + s.Height, mask.Height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t y = y0; y < y1; ++y) {
    uint8_t* row = mask.Coverage.data() + y * mask.Width;
    const uint8_t* cells = s.Cells.data() + (y - top) * StampRowCells - left;
    for (int64_t x = x0; x < x1; ++x) row[x] = std::max(row[x], cells[x]);
  }
  TouchBox(x0, y0, x1 - 1, y1 - 1);
}

// ---- segments ----

// Any segment, row by row: on each row only the pixels within reach of the segment's
// line, and of its extent, are measured.
void ScanSegment(const Pen& pen, double ax, double ay, double bx, double by) {
  const double e = pen.Extent;
  const double top = std::max(std::min(ay, by) - e, 0.0);
  const double bottom = std::min(std::max(ay, by) + e, mask.Height - 1.0);
  const double boxLeft = std::max(std::min(ax, bx) - e, 0.0);
  const double boxRight = std::min(std::max(ax, bx) + e, mask.Width - 1.0);
  if (top > bottom || boxLeft > boxRight) return;
  const double dx = bx - ax, dy = by - ay;
  const double length = std::sqrt(dx * dx + dy * dy);
  for (int y = static_cast<int>(top); y <= static_cast<int>(bottom); ++y) {
    double left = boxLeft, right = boxRight;
    if (dy != 0) {
      // Within reach of the line: |x - x on the line| < reach x length / |dy|.
      const double across = ax + (y - ay) * dx / dy;
      const double half = pen.Reach * length / std::fabs(dy) + 1;
      left = std::max(left, std::floor(across - half));
      right = std::min(right, std::ceil(across + half));
    }
    if (left > right) continue;
    const int x0 = static_cast<int>(left), x1 = static_cast<int>(right);
    for (int x = x0; x <= x1; ++x) {
      const uint8_t c = CoverageAt(Distance2(x, y, ax, ay, bx, by), pen);
      if (c) Cover(x, y, c);
    }
    TouchSpan(y, x0, x1);
  }
}

inline void Segment(const Pen& pen, const PixelPoint& a, const PixelPoint& b) {
  const int64_t dx = static_cast<int64_t>(b.X) - a.X, dy = static_cast<int64_t>(b.Y) - a.Y;
  if (static_cast<uint64_t>(dx + StampReach) < StampSide && static_cast<uint64_t>(dy + StampReach) < StampSide &&
      !stamps.Stamps.empty()) {
    const Stamp& s = stamps.Stamps[(dy + StampReach) * StampSide + dx + StampReach];
    if (s.Width > 0) {
      ApplyStamp(s, static_cast<int64_t>(a.X) + s.Left, static_cast<int64_t>(a.Y) + s.Top);
      return;
    }
  }
  ScanSegment(pen, a.X, a.Y, b.X, b.Y);
}

// ---- blending ----

// Blends `colour` (0xAARRGGBB, alpha 255) over one target word with weight a (0..255);
// all four bytes alike, which suits both the opaque and the premultiplied formats.
inline uint32_t Blend(uint32_t target, uint32_t colour, uint32_t a) {
  const uint32_t keep = 255 - a;
  uint32_t rb = ((colour & 0x00FF00FFu) * a + (target & 0x00FF00FFu) * keep + 0x00800080u);
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t ag = (((colour >> 8) & 0x00FF00FFu) * a + ((target >> 8) & 0x00FF00FFu) * keep + 0x00800080u);
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

void BlendMask(const draw::PixelRows& rows, uint32_t colour, uint32_t alpha) {
  constexpr int tile = 1 << TileShift;
  for (int32_t index : mask.TouchedTiles) {
    mask.TileTouched[index] = 0;
    const int x0 = (index % mask.TilesX) * tile, y0 = (index / mask.TilesX) * tile;
    const int x1 = std::min(x0 + tile, mask.Width), y1 = std::min(y0 + tile, mask.Height);
    for (int y = y0; y < y1; ++y) {
      uint8_t* cells = mask.Coverage.data() + static_cast<size_t>(y) * mask.Width;
      uint32_t* pixels = rows.Data + static_cast<int64_t>(y) * rows.WordsPerRow;
      if (x1 - x0 == tile) {  // most tile rows a stroke passes are empty: test 16 cells at once
        uint64_t words[2];
        std::memcpy(words, cells + x0, sizeof words);
        if ((words[0] | words[1]) == 0) continue;
      }
      for (int x = x0; x < x1; ++x) {
        const uint32_t m = cells[x];
        if (!m) continue;
        cells[x] = 0;
        const uint32_t a = (m * alpha + 127) / 255;
        pixels[x] = a == 255 ? colour : Blend(pixels[x], colour, a);
      }
    }
  }
  mask.TouchedTiles.clear();
  lastTiles = {};
}

// Lists the polyline's places in pieces along its path: a piece grows while it stays
// narrow one way or the other (a steep or a flat stretch), so that a curve's pieces cover
// far less than its whole box. Each piece begins at the last point of the one before, so
// that every segment lies in one, with the margin the whole box is given.
void ListPieces(const PixelPoint* points, int count, double width) {
  constexpr int Narrow = 64;
  const auto list = [width](int l, int t, int r, int b) {
    draw::ListPainted(l - width - 2, t - width - 2, r + width + 3, b + width + 3);
  };
  int l = points[0].X, t = points[0].Y, r = l, b = t;
  for (int i = 1; i < count; ++i) {
    const PixelPoint& p = points[i];
    const int nl = std::min(l, p.X), nt = std::min(t, p.Y), nr = std::max(r, p.X), nb = std::max(b, p.Y);
    if (nr - nl > Narrow && nb - nt > Narrow) {
      list(l, t, r, b);
      const PixelPoint& q = points[i - 1];
      l = std::min(q.X, p.X), t = std::min(q.Y, p.Y), r = std::max(q.X, p.X), b = std::max(q.Y, p.Y);
    } else {
      l = nl, t = nt, r = nr, b = nb;
    }
  }
  list(l, t, r, b);
}

}  // namespace

// ---- StrokePixelPolyline ----

void StrokePixelPolyline(const PixelPoint* points, int count, uint32_t rgba, double width) {
  if (!points || count < 1 || !(width > 0) || !std::isfinite(width)) return;
  draw::PixelRows rows;
  if (!draw::TargetPixels(rows)) return;
  int left = points[0].X, top = points[0].Y, right = points[0].X, bottom = points[0].Y;
  for (int i = 1; i < count; ++i) {
    left = std::min(left, points[i].X);
    right = std::max(right, points[i].X);
    top = std::min(top, points[i].Y);
    bottom = std::max(bottom, points[i].Y);
  }
  draw::NotePainted(left - width - 2, top - width - 2, right + width + 3, bottom + width + 3, false);
  if (draw::ListingPaint()) ListPieces(points, count, width);
  const Pen pen = MakePen(width);
  PrepareMask(rows.Width, rows.Height);
  if (pen.Extent <= MaxStampExtent)
    PrepareStamps(pen);
  else
    stamps = {};

  bool drawn = false;
  for (int i = 1; i < count; ++i) {
    if (points[i].X == points[i - 1].X && points[i].Y == points[i - 1].Y) continue;
    Segment(pen, points[i - 1], points[i]);
    drawn = true;
  }
  if (!drawn) Segment(pen, points[0], points[0]);  // a path that never leaves its pixel is a dot

  const uint32_t colour = 0xFF000000u | ((rgba & 0xFFu) << 16) | (rgba & 0xFF00u) | ((rgba >> 16) & 0xFFu);
  BlendMask(rows, colour, (rgba >> 24) & 0xFFu);
  draw::MarkTargetDirty();
}

}  // namespace zolt::platform
