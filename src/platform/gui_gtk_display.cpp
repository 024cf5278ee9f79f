// GTK gui: waiting on the display's connection (X11), kept apart because the X headers
// define names that the layer's own headers use.
#include <poll.h>

#include <algorithm>
#include <ctime>

#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

#include <gdk/gdkx.h>

namespace zolt::platform::gtkgui {

namespace {

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

}  // namespace zolt::platform::gtkgui
