// GTK gui: waiting on the display's connection, ending safely when the display is lost or
// reports an error, finding where the keyboard is, giving it to a window where no window
// manager does, and drawing straight onto the main window (X11), kept apart because the
// X headers define names that the layer's own headers use.
//
// Sections: the connection; losing it; waiting; where the keyboard is; the keyboard
// without a window manager; drawing straight onto the window.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

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

// ---- losing it ----

void (*DisplayLost)(const std::string& what) = nullptr;
std::atomic<bool> Leaving{false};

// The program's last steps before the display takes it down: the emergency block, then
// the program's own handler (once, should it meet the display's end itself).
void LeaveSafely(const std::string& what) {
  if (Leaving.exchange(true)) return;
  WriteEmergencyBlock();
  if (DisplayLost != nullptr) DisplayLost(what);
}

// Xlib ends the program after this handler.
int OnConnectionLost(Display*) {
  LeaveSafely("The connection to the display was lost");
  std::fputs("zolt: the connection to the display was lost\n", stderr);
  _exit(1);
}

// An X error ends the program in GDK's own error handler, at once, unless one of GDK's
// error traps covers the request that caused it. GDK stays the display's error handler,
// so its traps (gdk_x11_display_error_trap_push and pop, used by GTK and by this layer)
// work as ever: only GDK knows which requests a trap covers, also after the trap was
// popped without waiting for the display. For an error that no trap covers GDK logs a
// warning saying the program "received an X Window System error", then ends the
// process; the program leaves the instrument safe while that warning is written.

// The text of a log field: NUL-terminated, or of the given length.
std::string FieldText(const GLogField& field) {
  const char* text = static_cast<const char*>(field.value);
  if (text == nullptr) return {};
  return field.length < 0 ? std::string(text) : std::string(text, static_cast<size_t>(field.length));
}

GLogWriterOutput OnLogMessage(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data) {
  std::string domain;
  std::string message;
  for (gsize i = 0; i < count; ++i) {
    if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0) domain = FieldText(fields[i]);
    if (std::strcmp(fields[i].key, "MESSAGE") == 0) message = FieldText(fields[i]);
  }
  const GLogLevelFlags serious =
      static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
  if (domain != "Gdk" || (level & serious) == 0 || message.find("X Window System error") == std::string::npos) {
    return g_log_writer_default(level, fields, count, data);
  }
  // GDK names the error: "The error was 'BadWindow (invalid Window parameter)'."
  const std::string named = "The error was '";
  std::string what = "The display reported an error";
  const size_t start = message.find(named);
  const size_t end = start == std::string::npos ? start : message.find("'.", start + named.size());
  if (end != std::string::npos) what += " (" + message.substr(start + named.size(), end - start - named.size()) + ")";
  LeaveSafely(what);
  g_log_writer_default(level, fields, count, data);
  _exit(1);
}

}  // namespace

void WatchDisplayConnection() {
  if (XConnection() == nullptr) return;
  XSetIOErrorHandler(OnConnectionLost);
  g_log_set_writer_func(OnLogMessage, nullptr, nullptr);
}

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

// ---- where the keyboard is ----

FocusPlace KeyboardFocusPlace(GtkWidget* toplevel) {
  Display* x = XConnection();
  GdkWindow* window = gtk_widget_get_window(toplevel);
  if (x == nullptr || window == nullptr || !GDK_IS_X11_WINDOW(window)) return FocusPlace::Nowhere;
  Window focus = None;
  int revert = 0;
  XGetInputFocus(x, &focus, &revert);
  if (focus == None || focus == PointerRoot) return FocusPlace::Nowhere;
  // GDK knows its own windows, a toplevel's focus window among them, by their ids.
  GdkWindow* focused = gdk_x11_window_lookup_for_display(gdk_window_get_display(window), focus);
  const bool inside = focused != nullptr && gdk_window_get_toplevel(focused) == window;
  return inside ? FocusPlace::Inside : FocusPlace::Elsewhere;
}

// ---- the keyboard without a window manager ----

namespace {

// A window manager is the one client that redirects the root window's children.
bool WindowManagerRunning(Display* x) {
  XWindowAttributes root{};
  return XGetWindowAttributes(x, DefaultRootWindow(x), &root) != 0 &&
         (root.all_event_masks & SubstructureRedirectMask) != 0;
}

}  // namespace

void FocusWithoutWindowManager(GtkWidget* toplevel, uint32_t time) {
  Display* x = XConnection();
  GdkWindow* window = gtk_widget_get_window(toplevel);
  if (x == nullptr || window == nullptr || !GDK_IS_X11_WINDOW(window) || WindowManagerRunning(x)) return;
  GdkDisplay* display = gdk_window_get_display(window);
  gdk_x11_display_error_trap_push(display);  // the window may be gone by now
  XSetInputFocus(x, gdk_x11_window_get_xid(window), RevertToPointerRoot, time);
  gdk_x11_display_error_trap_pop_ignored(display);
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

// The toplevel's X window the copies go to, with the graphics context they use (one that
// asks for no exposure events).
struct DirectTarget {
  Window Xid = 0;
  GC Context = nullptr;
};

DirectTarget direct;

// Whether the surface's pixels (32-bit words 0x00RRGGBB) can be handed to the display as
// they are: a true-colour visual of depth 24 with 32-bit pixels and those masks.
bool PixelsFit(Display* x, GdkVisual* visual) {
  Visual* xVisual = gdk_x11_visual_get_xvisual(visual);
  if (gdk_visual_get_depth(visual) != 24 || xVisual->c_class != TrueColor || xVisual->red_mask != 0xFF0000 ||
      xVisual->green_mask != 0xFF00 || xVisual->blue_mask != 0xFF)
    return false;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(x, &count);
  bool fits = false;
  for (int i = 0; i < count; ++i)
    if (formats[i].depth == 24) fits = formats[i].bits_per_pixel == 32;
  if (formats != nullptr) XFree(formats);
  return fits;
}

}  // namespace

void ForgetDirectTarget() {
  if (direct.Context != nullptr) XFreeGC(XConnection(), direct.Context);
  direct = DirectTarget{};
}

bool DrawOnDisplay(GtkWidget* area, cairo_surface_t* pixels, int left, int top, int right, int bottom) {
  Display* x = XConnection();
  // Scaled windows (high-resolution displays) are left to GTK, which scales the pixels.
  if (x == nullptr || !gtk_widget_get_mapped(area) || gtk_widget_get_scale_factor(area) != 1) return false;
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
  if (direct.Context == nullptr || direct.Xid != xid) {
    ForgetDirectTarget();
    if (!PixelsFit(x, gdk_window_get_visual(window))) return false;
    XGCValues values{};
    values.graphics_exposures = False;
    direct.Context = XCreateGC(x, xid, GCGraphicsExposures, &values);
    direct.Xid = xid;
  }
  // The rectangle in the window's coordinates, within the client area.
  const int l = std::max(areaX + left, clientX);
  const int t = std::max(areaY + top, clientY);
  const int r = std::min(areaX + right, clientX + gtk_widget_get_allocated_width(client));
  const int b = std::min(areaY + bottom, clientY + gtk_widget_get_allocated_height(client));
  if (l >= r || t >= b) return true;
  cairo_surface_flush(pixels);
  XImage* image = XCreateImage(x, gdk_x11_visual_get_xvisual(gdk_window_get_visual(window)), 24, ZPixmap, 0,
                               reinterpret_cast<char*>(cairo_image_surface_get_data(pixels)),
                               static_cast<unsigned>(cairo_image_surface_get_width(pixels)),
                               static_cast<unsigned>(cairo_image_surface_get_height(pixels)), 32,
                               cairo_image_surface_get_stride(pixels));
  if (image == nullptr) return false;
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;  // the words as stored
  XPutImage(x, xid, direct.Context, image, l - areaX, t - areaY, l, t, static_cast<unsigned>(r - l),
            static_cast<unsigned>(b - t));
  image->data = nullptr;  // the pixels stay the surface's
  XDestroyImage(image);
  XFlush(x);
  return true;
}

}  // namespace zolt::platform::gtkgui

namespace zolt::platform {

void SetDisplayLostHandler(void (*handler)(const std::string& what)) { gtkgui::DisplayLost = handler; }

}  // namespace zolt::platform
