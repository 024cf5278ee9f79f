// GTK gui: the drawing surface.
//
// A GtkDrawingArea at the top-left corner of a window's client area, at the size it was
// opened with: the client area clips it and never stretches it. The surface keeps its
// own copy of the pixels (a cairo RGB24 image); CopyImageToSurface writes a canvas image
// into that copy, noting where it changed, and PresentSurface shows that part: copied
// straight onto the window where the display allows it, otherwise by asking GTK to
// redraw it, when the draw handler paints the copy at (0, 0) into GTK's double buffer.
// GTK redraws the whole area by itself whenever the window needs it (shown, uncovered,
// resized).
//
// Sections: state; draw handler; interface.
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

namespace zolt::platform {

using namespace gtkgui;

namespace {

// ---- state ----

// Where the copy differs from what was last shown: a rectangle in surface pixels, empty
// when Right <= Left.
struct DirtyRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  void Add(int left, int top, int right, int bottom) {
    if (Empty()) {
      *this = {left, top, right, bottom};
      return;
    }
    Left = std::min(Left, left);
    Top = std::min(Top, top);
    Right = std::max(Right, right);
    Bottom = std::max(Bottom, bottom);
  }
};

struct SurfaceState {
  int Window = -1;
  GtkWidget* Area = nullptr;         // nullptr: no surface open
  cairo_surface_t* Pixels = nullptr;  // what the next redraw paints
  DirtyRect Dirty;                    // changed since the last PresentSurface
  uint64_t ShownSerial = 0;           // the image the copy holds (ImageSerial), and where
  int ShownX = 0, ShownY = 0;
};

SurfaceState Surface;

void ReleasePixels() {
  ForgetDirectTarget();
  if (Surface.Pixels != nullptr) cairo_surface_destroy(Surface.Pixels);
  Surface.Pixels = nullptr;
}

// ---- draw handler ----

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer) {
  if (Surface.Pixels == nullptr) return TRUE;
  cairo_set_source_surface(cr, Surface.Pixels, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  return TRUE;
}

// The area goes with its window (or when the surface is closed).
void OnAreaDestroyed(GtkWidget* area, gpointer) {
  if (Surface.Area != area) return;
  Surface.Area = nullptr;
  Surface.Window = -1;
  ReleasePixels();
}

}  // namespace

// ---- interface ----

bool OpenSurface(int window, int width, int height) {
  if (!ValidWindow(window) || width < 0 || height < 0) return false;
  CloseSurface();
  cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(pixels) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(pixels);
    return false;
  }
  // cairo starts an image at 0: the surface shows black until the first frame arrives.

  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, width, height);
  g_signal_connect(area, "draw", G_CALLBACK(OnDraw), nullptr);
  g_signal_connect(area, "destroy", G_CALLBACK(OnAreaDestroyed), nullptr);
  gtk_layout_put(GTK_LAYOUT(Gui().Windows[window].Client), area, 0, 0);
  gtk_widget_show(area);

  Surface.Window = window;
  Surface.Area = area;
  Surface.Pixels = pixels;
  Surface.Dirty = {0, 0, width, height};
  Surface.ShownSerial = 0;  // the first copy takes the whole image
  return true;
}

void CloseSurface() {
  if (Surface.Area == nullptr) return;
  GtkWidget* area = Surface.Area;
  Surface.Area = nullptr;
  Surface.Window = -1;
  ReleasePixels();
  gtk_widget_destroy(area);
}

bool IsSurfaceOpen() { return Surface.Area != nullptr; }

void CopyImageToSurface(int image, int x, int y) {
  if (Surface.Pixels == nullptr) return;
  int sourceStride = 0;
  const uint8_t* source = ImageData(image, &sourceStride);
  if (source == nullptr) return;
  const int sourceWidth = ImageWidth(image);
  const int sourceHeight = ImageHeight(image);
  const int width = cairo_image_surface_get_width(Surface.Pixels);
  const int height = cairo_image_surface_get_height(Surface.Pixels);
  const int stride = cairo_image_surface_get_stride(Surface.Pixels);
  // The part of the image that lands inside the surface.
  const int left = std::max(0, -x);
  const int top = std::max(0, -y);
  const int right = std::min(sourceWidth, width - x);
  const int bottom = std::min(sourceHeight, height - y);
  if (left >= right || top >= bottom) return;
  cairo_surface_flush(Surface.Pixels);
  uint8_t* target = cairo_image_surface_get_data(Surface.Pixels);
  // Only the parts of the image that drawing changed since the last copy are looked at
  // (all of it when the surface or the image is new), and of those only the pixels that
  // differ are copied, so that the window repaints no more than what changed.
  const uint64_t serial = ImageSerial(image);
  std::vector<PaintedArea> areas = TakeChangedAreas(image);
  if (Surface.ShownSerial != serial || Surface.ShownX != x || Surface.ShownY != y)
    areas = {{0, 0, sourceWidth, sourceHeight}};
  Surface.ShownSerial = serial;
  Surface.ShownX = x;
  Surface.ShownY = y;
  for (const PaintedArea& area : areas) {
    const int l = std::max(left, area.Left), r = std::min(right, area.Right);
    const int t = std::max(top, area.Top), b = std::min(bottom, area.Bottom);
    if (l >= r) continue;
    const size_t rowBytes = static_cast<size_t>(r - l) * 4;
    for (int row = t; row < b; ++row) {
      const auto* from = reinterpret_cast<const uint32_t*>(source + static_cast<size_t>(row) * sourceStride) + l;
      auto* to = reinterpret_cast<uint32_t*>(target + static_cast<size_t>(row + y) * stride) + l + x;
      if (std::memcmp(to, from, rowBytes) == 0) continue;
      int first = 0;
      while (to[first] == from[first]) ++first;
      int last = r - l - 1;
      while (to[last] == from[last]) --last;
      std::memcpy(to + first, from + first, static_cast<size_t>(last - first + 1) * 4);
      Surface.Dirty.Add(l + x + first, row + y, l + x + last + 1, row + y + 1);
    }
  }
  cairo_surface_mark_dirty(Surface.Pixels);
}

void PresentSurface() {
  if (Surface.Area == nullptr || Surface.Dirty.Empty()) return;
  const DirtyRect d = std::exchange(Surface.Dirty, {});
  if (DrawOnDisplay(Surface.Area, Surface.Pixels, d.Left, d.Top, d.Right, d.Bottom)) return;
  gtk_widget_queue_draw_area(Surface.Area, d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top);
  Gui().ToolkitAsked = true;  // the event wait looks at GTK when it is due to draw
}

}  // namespace zolt::platform
