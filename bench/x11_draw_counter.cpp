// Counts the frames a window shows: watches the window's damage on the X display for a
// number of seconds and prints how many separate repaints reached it. The requests of one
// repaint arrive together; a repaint starts when damage follows a quiet gap of 4 ms.
//
// Usage: x11_draw_counter WINDOW-ID SECONDS
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s WINDOW-ID SECONDS\n", argv[0]);
    return 2;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  const double seconds = std::atof(argv[2]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr || window == 0 || seconds <= 0) {
    std::fprintf(stderr, "%s: no display, window or duration\n", argv[0]);
    return 1;
  }
  int eventBase = 0, errorBase = 0;
  if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
    std::fprintf(stderr, "%s: the display has no damage extension\n", argv[0]);
    return 1;
  }
  const Damage damage = XDamageCreate(display, window, XDamageReportNonEmpty);
  XSync(display, False);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  long repaints = 0;
  Time lastDamage = 0;
  bool seen = false;
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != eventBase + XDamageNotify) continue;
      const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
      if (!seen || notify.timestamp > lastDamage + 4) ++repaints;
      seen = true;
      lastDamage = notify.timestamp;
      XDamageSubtract(display, damage, None, None);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
  std::printf("%ld\n", repaints);
  XDamageDestroy(display, damage);
  XCloseDisplay(display);
  return 0;
}
