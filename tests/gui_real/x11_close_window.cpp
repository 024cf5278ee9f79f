// Closes a window as a user does with its close box: sends the window manager's
// WM_DELETE_WINDOW message. The virtual display of the real-window tests has no window
// manager, so this stands in for one. With --destroy it destroys the window instead, as
// a misbehaving program can do to any window of the display.
//
// Usage: x11_close_window [--destroy] WINDOW-ID   (decimal or 0x hexadecimal)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const bool destroy = argc == 3 && std::strcmp(argv[1], "--destroy") == 0;
  if (argc != 2 && !destroy) {
    std::fprintf(stderr, "usage: %s [--destroy] WINDOW-ID\n", argv[0]);
    return 2;
  }
  const char* id = argv[argc - 1];
  char* end = nullptr;
  Window window = std::strtoul(id, &end, 0);
  if (end == id || *end != '\0' || window == 0) {
    std::fprintf(stderr, "%s: not a window id: %s\n", argv[0], id);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 1;
  }
  if (destroy) {
    XDestroyWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
  }
  Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

  // A window that does not take part in the protocol would be killed by a window
  // manager instead; report that rather than pretending to close it.
  Atom* supported = nullptr;
  int count = 0;
  bool takesPart = false;
  if (XGetWMProtocols(display, window, &supported, &count) != 0) {
    for (int i = 0; i < count; ++i) takesPart = takesPart || supported[i] == deleteWindow;
    XFree(supported);
  }
  if (!takesPart) {
    std::fprintf(stderr, "%s: window 0x%lx does not accept WM_DELETE_WINDOW\n", argv[0], window);
    XCloseDisplay(display);
    return 1;
  }

  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(deleteWindow);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
