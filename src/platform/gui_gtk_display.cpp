// GTK gui: waiting on the display's connection and drawing straight onto the main
// window (X11), kept apart because the X headers define names that the layer's own
// headers use.
//
// Sections: the connection; waiting; drawing straight onto the window.
#include <poll.h>

#include <algorithm>
#include <ctime>

#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

#include <cairo-xlib.h>
#include <gdk/gdkx.h>

namespace zolt::platform::gtkgui {

namespace {

// ---- the connection ----

// The X connection of the default display, looked up on the first wait: the display
// stays the same for the program's life, and the wait runs a thousand times a second.
Display* XConnection() {
  static Display* const connection = [] {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_X11_DISPLAY(display) ? gdk_x11_display_get_xdisplay(display) : nullptr;
  }();
  return connection;
}

}  // namespace

// ---- waiting ----

bool SleepOnDisplay(int64_t now, int64_t until) {
  Display* x = XConnection();
  if (x == nullptr) {
    SleepUntilMicroseconds(until);
    return true;  // nothing to watch: look every time
  }
  if (XEventsQueued(x, QueuedAlready) > 0) return true;
  pollfd fd{ConnectionNumber(x), POLLIN, 0};
  const int64_t left = std::max<int64_t>(until - now, 0);
  const timespec timeout{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
  // Only a wait that ran its full length says false (a signal cuts it short).
  return ppoll(&fd, 1, &timeout, nullptr) != 0;
}

// ---- drawing straight onto the window ----
//
// A frame's changed rectangle is copied onto the window at once, where the surface lies
// in it. Through GTK's frame cycle instead, each frame would lay out and paint the
// window's widgets and wait for the display's answer to a question about the window
// manager, which costs far more than the copy itself. GTK still paints the whole surface
// from the same pixels whenever the window needs it (shown, uncovered, resized), so
// either way the window shows the same.

namespace {

// The cairo surface on the toplevel's X window, made on the first copy and kept while
// the window and its size stay.
struct DirectTarget {
  Window Xid = 0;
  int Width = 0, Height = 0;
  cairo_surface_t* Surface = nullptr;
};

DirectTarget direct;

}  // namespace

void ForgetDirectTarget() {
  if (direct.Surface != nullptr) cairo_surface_destroy(direct.Surface);
  direct = DirectTarget{};
}

bool DrawOnDisplay(GtkWidget* area, cairo_surface_t* pixels, int left, int top, int right, int bottom) {
  Display* x = XConnection();
  if (x == nullptr || !gtk_widget_get_mapped(area)) return false;
  GtkWidget* client = gtk_widget_get_parent(area);
  GtkWidget* toplevel = gtk_widget_get_toplevel(area);
  GdkWindow* window = gtk_widget_get_window(toplevel);
  if (client == nullptr || !gtk_widget_is_toplevel(toplevel) || window == nullptr || !gdk_window_has_native(window))
    return false;
  // Where the surface and the client area that clips it lie in the toplevel's window.
  int areaX = 0, areaY = 0, clientX = 0, clientY = 0;
  if (!gtk_widget_translate_coordinates(area, toplevel, 0, 0, &areaX, &areaY) ||
      !gtk_widget_translate_coordinates(client, toplevel, 0, 0, &clientX, &clientY))
    return false;
  const Window xid = gdk_x11_window_get_xid(window);
  const int width = gdk_window_get_width(window), height = gdk_window_get_height(window);
  if (direct.Surface == nullptr || direct.Xid != xid || direct.Width != width || direct.Height != height) {
    ForgetDirectTarget();
    Visual* visual = gdk_x11_visual_get_xvisual(gdk_window_get_visual(window));
    direct.Surface = cairo_xlib_surface_create(x, xid, visual, width, height);
    direct.Xid = xid;
    direct.Width = width;
    direct.Height = height;
  }
  if (cairo_surface_status(direct.Surface) != CAIRO_STATUS_SUCCESS) return false;
  cairo_t* cr = cairo_create(direct.Surface);
  cairo_rectangle(cr, clientX, clientY, gtk_widget_get_allocated_width(client), gtk_widget_get_allocated_height(client));
  cairo_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, pixels, areaX, areaY);
  cairo_rectangle(cr, areaX + left, areaY + top, right - left, bottom - top);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(direct.Surface);
  XFlush(x);
  return true;
}

}  // namespace zolt::platform::gtkgui
