// GTK gui: the drawing surface.
//
// A GtkDrawingArea at the top-left corner of a window's client area, at the size it was
// opened with: the client area clips it and never stretches it. The surface keeps its
// own copy of the pixels (a cairo RGB24 image); CopyImageToSurface writes a canvas image
// into that copy, PresentSurface asks GTK to redraw, and the draw handler paints the
// copy at (0, 0) into GTK's double buffer.
//
// Sections: state; draw handler; interface.
#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"

namespace zolt::platform {

using namespace gtkgui;

namespace {

// ---- state ----

struct SurfaceState {
  int Window = -1;
  GtkWidget* Area = nullptr;         // nullptr: no surface open
  cairo_surface_t* Pixels = nullptr;  // what the next redraw paints
};

SurfaceState Surface;

void ReleasePixels() {
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
  for (int row = top; row < bottom; ++row) {
    const uint8_t* from = source + static_cast<size_t>(row) * sourceStride + left * 4;
    uint8_t* to = target + static_cast<size_t>(row + y) * stride + (left + x) * 4;
    std::memcpy(to, from, static_cast<size_t>(right - left) * 4);
  }
  cairo_surface_mark_dirty(Surface.Pixels);
}

void PresentSurface() {
  if (Surface.Area != nullptr) gtk_widget_queue_draw(Surface.Area);
}

}  // namespace zolt::platform
