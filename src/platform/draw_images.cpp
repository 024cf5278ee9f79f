// Draw part: the numbered images, the drawing target (start / stop) and the display's
// dots per inch.
//
// Sections: image table; images; pixels; drawing target; display.
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

namespace {

// ---- image table ----

std::array<cairo_surface_t*, MaxImages> images{};
std::array<uint64_t, MaxImages> serials{};
uint64_t lastSerial = 0;

// Per image, the parts changed since the last TakeChangedAreas: a few rectangles, merged
// when there would be more, or the whole image.
constexpr size_t MaxChangedAreas = 16;
struct Changes {
  bool All = true;
  std::vector<PaintedArea> Areas;
};
std::array<Changes, MaxImages> changes;

void NoteChanged(int image, const PaintedArea& area) {
  if (image < 0 || image >= MaxImages || area.Empty()) return;
  Changes& c = changes[image];
  if (c.All) return;
  const auto join = [](const PaintedArea& a, const PaintedArea& b) {
    return PaintedArea{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                       std::max(a.Bottom, b.Bottom)};
  };
  const auto size = [](const PaintedArea& a) { return int64_t{a.Right - a.Left} * (a.Bottom - a.Top); };
  c.Areas.push_back(area);
  if (c.Areas.size() <= MaxChangedAreas) return;
  // One too many: the two whose joining adds the least are joined.
  size_t first = 0, second = 1;
  int64_t least = INT64_MAX;
  for (size_t i = 0; i < c.Areas.size(); ++i)
    for (size_t j = i + 1; j < c.Areas.size(); ++j) {
      const int64_t added = size(join(c.Areas[i], c.Areas[j])) - size(c.Areas[i]) - size(c.Areas[j]);
      if (added < least) first = i, second = j, least = added;
    }
  c.Areas[first] = join(c.Areas[first], c.Areas[second]);
  c.Areas.erase(c.Areas.begin() + static_cast<std::ptrdiff_t>(second));
}

struct Target {
  int Image = -1;                     // -1 outside a batch
  cairo_surface_t* Surface = nullptr;  // the surface the context was made for
  cairo_t* Context = nullptr;
};

Target target;

void DropTargetContext() {
  if (target.Context) cairo_destroy(target.Context);
  target.Context = nullptr;
  target.Surface = nullptr;
}

bool InRange(int image) { return image >= 0 && image < MaxImages; }

}  // namespace

namespace draw {

cairo_surface_t* ImageSurface(int image) { return InRange(image) ? images[image] : nullptr; }

bool SetImageSurface(int image, cairo_surface_t* surface) {
  if (!InRange(image)) {
    if (surface) cairo_surface_destroy(surface);
    return false;
  }
  if (images[image] && images[image] == target.Surface) DropTargetContext();
  if (images[image]) cairo_surface_destroy(images[image]);
  images[image] = surface;
  serials[image] = surface ? ++lastSerial : 0;
  changes[image] = Changes{};
  return true;
}

cairo_surface_t* TargetSurface() { return target.Image >= 0 ? ImageSurface(target.Image) : nullptr; }

cairo_t* TargetContext() {
  cairo_surface_t* surface = TargetSurface();
  if (!surface) return nullptr;
  // A context left in an error state would refuse every later operation: start afresh.
  if (target.Context && (target.Surface != surface || cairo_status(target.Context) != CAIRO_STATUS_SUCCESS))
    DropTargetContext();
  if (!target.Context) {
    target.Context = cairo_create(surface);
    target.Surface = surface;
  }
  return target.Context;
}

bool TargetPixels(PixelRows& rows) {
  cairo_surface_t* surface = TargetSurface();
  if (!surface) return false;
  cairo_surface_flush(surface);
  rows.Data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
  rows.WordsPerRow = cairo_image_surface_get_stride(surface) / 4;
  rows.Width = cairo_image_surface_get_width(surface);
  rows.Height = cairo_image_surface_get_height(surface);
  return rows.Data != nullptr;
}

void MarkTargetDirty() {
  if (cairo_surface_t* surface = TargetSurface()) cairo_surface_mark_dirty(surface);
}

}  // namespace draw

// ---- images ----

bool CreateImage(int image, int width, int height) {
  if (!InRange(image) || width <= 0 || height <= 0) return false;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  // New image surfaces are zero-filled: black.
  return draw::SetImageSurface(image, surface);
}

void FreeImage(int image) { draw::SetImageSurface(image, nullptr); }

bool IsImage(int image) { return draw::ImageSurface(image) != nullptr; }

int ImageWidth(int image) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  return surface ? cairo_image_surface_get_width(surface) : 0;
}

uint64_t ImageSerial(int image) { return draw::ImageSurface(image) ? serials[image] : 0; }

int ImageHeight(int image) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  return surface ? cairo_image_surface_get_height(surface) : 0;
}

// ---- pixels ----

Colour ImagePixel(int image, int x, int y) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  if (!surface) return 0;
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  cairo_surface_flush(surface);
  const uint8_t* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const uint32_t pixel = reinterpret_cast<const uint32_t*>(data + y * stride)[x];
  int red = (pixel >> 16) & 0xFF;
  int green = (pixel >> 8) & 0xFF;
  int blue = pixel & 0xFF;
  if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32) {
    // Stored premultiplied: give back the colour itself.
    const int alpha = pixel >> 24;
    if (alpha == 0) return 0;
    red = (red * 255 + alpha / 2) / alpha;
    green = (green * 255 + alpha / 2) / alpha;
    blue = (blue * 255 + alpha / 2) / alpha;
  }
  return MakeColour(red, green, blue);
}

void CopyImageRect(int source, int target, int x, int y, int width, int height) {
  cairo_surface_t* from = draw::ImageSurface(source);
  cairo_surface_t* to = draw::ImageSurface(target);
  if (!from || !to || from == to) return;
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min({x + width, cairo_image_surface_get_width(from), cairo_image_surface_get_width(to)});
  const int bottom =
      std::min({y + height, cairo_image_surface_get_height(from), cairo_image_surface_get_height(to)});
  if (left >= right || top >= bottom) return;
  cairo_surface_flush(from);
  cairo_surface_flush(to);
  const uint8_t* fromData = cairo_image_surface_get_data(from);
  uint8_t* toData = cairo_image_surface_get_data(to);
  const int fromStride = cairo_image_surface_get_stride(from);
  const int toStride = cairo_image_surface_get_stride(to);
  const size_t bytes = static_cast<size_t>(right - left) * 4;
  for (int row = top; row < bottom; ++row)
    std::memcpy(toData + static_cast<size_t>(row) * toStride + left * 4,
                fromData + static_cast<size_t>(row) * fromStride + left * 4, bytes);
  cairo_surface_mark_dirty(to);
  NoteChanged(target, {left, top, right, bottom});
}

const uint8_t* ImageData(int image, int* stride) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  if (!surface) return nullptr;
  cairo_surface_flush(surface);
  if (stride) *stride = cairo_image_surface_get_stride(surface);
  return cairo_image_surface_get_data(surface);
}

// ---- drawing target ----

bool StartDrawing(int image) {
  DropTargetContext();
  if (!IsImage(image)) {
    target.Image = -1;
    return false;
  }
  target.Image = image;
  draw::SelectDefaultFont();
  return true;
}

void StopDrawing() {
  if (cairo_surface_t* surface = draw::TargetSurface()) cairo_surface_flush(surface);
  DropTargetContext();
  target.Image = -1;
}

// ---- painted area ----

namespace {

// Notings may be nested: each operation is noted in every one that is open.
struct Noted {
  double Left, Top, Right, Bottom;
};
constexpr int MaxNotings = 8;
Noted notings[MaxNotings];
int openNotings = 0;

bool listing = false;
std::vector<PaintedArea> listed;

// Whole pixels, outward, within what an int holds.
PaintedArea WholePixels(double left, double top, double right, double bottom) {
  const auto whole = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
  return {whole(std::floor(left)), whole(std::floor(top)), whole(std::ceil(right)), whole(std::ceil(bottom))};
}

}  // namespace

bool draw::ListingPaint() { return listing; }

void draw::ListPainted(double left, double top, double right, double bottom) {
  if (listing && left < right && top < bottom) listed.push_back(WholePixels(left, top, right, bottom));
}

void draw::NotePainted(double left, double top, double right, double bottom, bool listed) {
  if (!(left < right) || !(top < bottom)) return;
  NoteChanged(target.Image, WholePixels(left, top, right, bottom));
  if (listed) ListPainted(left, top, right, bottom);
  if (openNotings == 0) return;
  for (int k = 0; k < openNotings; ++k) {
    Noted& n = notings[k];
    n.Left = std::min(n.Left, left);
    n.Top = std::min(n.Top, top);
    n.Right = std::max(n.Right, right);
    n.Bottom = std::max(n.Bottom, bottom);
  }
}

std::vector<PaintedArea> TakeChangedAreas(int image) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  if (!surface) return {};
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  Changes& c = changes[image];
  std::vector<PaintedArea> areas;
  if (c.All) {
    areas.push_back({0, 0, width, height});
  } else {
    for (const PaintedArea& a : c.Areas) {
      const PaintedArea inside{std::max(a.Left, 0), std::max(a.Top, 0), std::min(a.Right, width),
                               std::min(a.Bottom, height)};
      if (!inside.Empty()) areas.push_back(inside);
    }
  }
  c.All = false;
  c.Areas.clear();
  return areas;
}

void StartNotingPaint() {
  if (openNotings < MaxNotings) notings[openNotings] = {1e300, 1e300, -1e300, -1e300};
  ++openNotings;  // beyond the limit a noting sees everything (its outer one's area)
}

PaintedArea StopNotingPaint() {
  if (openNotings == 0) return {};
  --openNotings;
  if (openNotings >= MaxNotings) return {-1000000000, -1000000000, 1000000000, 1000000000};
  const Noted n = notings[openNotings];
  if (!(n.Left < n.Right) || !(n.Top < n.Bottom)) return {};
  return WholePixels(n.Left, n.Top, n.Right, n.Bottom);
}

void StartListingPaint() {
  listing = true;
  listed.clear();
}

std::vector<PaintedArea> StopListingPaint() {
  listing = false;
  return std::exchange(listed, {});
}

// ---- display ----

namespace {
double dpiX = 96.0;
double dpiY = 96.0;
}  // namespace

void SetDisplayDpi(double horizontal, double vertical) {
  if (horizontal > 0) dpiX = horizontal;
  if (vertical > 0) dpiY = vertical;
}

double DisplayDpiX() { return dpiX; }
double DisplayDpiY() { return dpiY; }

}  // namespace zolt::platform
