// GTK gui: waiting on the display's connection (X11), kept apart because the X headers
// define names that the layer's own headers use.
#include <poll.h>

#include <algorithm>
#include <ctime>

#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

#include <gdk/gdkx.h>

namespace zolt::platform::gtkgui {

bool SleepOnDisplay(int64_t until) {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
    SleepUntilMicroseconds(until);
    return true;  // nothing to watch: look every time
  }
  Display* x = gdk_x11_display_get_xdisplay(display);
  if (XEventsQueued(x, QueuedAlready) > 0) return true;
  pollfd fd{ConnectionNumber(x), POLLIN, 0};
  const int64_t left = std::max<int64_t>(until - ElapsedMicroseconds(), 0);
  const timespec timeout{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
  return ppoll(&fd, 1, &timeout, nullptr) > 0;
}

}  // namespace zolt::platform::gtkgui
