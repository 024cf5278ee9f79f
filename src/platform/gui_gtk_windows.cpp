// GTK gui: start-up, windows, the event queue and the pointer.
//
// Start-up pins GTK's scale factor to 1, so that one device pixel is one client pixel
// and the program does its own scaling from the display's dots per inch. Each window is
// a GtkWindow whose only child is a GtkLayout, the client area. The close box never
// destroys a window: it queues Close and the program decides. Signals become queued
// events; WaitWindowEvent(Until) iterates the GLib main context without blocking, sleeps
// at most 1 ms at a time, and hands out one event per call.
//
// Sections: shared state and helpers; start-up; windows (with their activation); events;
// pointer.
#include <clocale>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

namespace zolt::platform {

// ---- shared state and helpers ----

namespace gtkgui {

GuiState& Gui() {
  static GuiState state;
  return state;
}

bool ValidWindow(int window) {
  return window >= 0 && window < MaxWindows && Gui().Windows[window].Toplevel != nullptr;
}

void QueueEvent(EventType type, int window, int gadget, GadgetEventKind kind) {
  QueuedEvent queued;
  queued.Event.Type = type;
  queued.Event.Window = window;
  queued.Event.Gadget = gadget;
  queued.Event.Kind = kind;
  Gui().Queue.push_back(queued);
}

void QueueButtonEvent(EventType type, int window, int x, int y) {
  QueuedEvent queued;
  queued.Event.Type = type;
  queued.Event.Window = window;
  queued.HasPosition = true;
  queued.X = x;
  queued.Y = y;
  Gui().Queue.push_back(queued);
}

void ForgetWindowEvents(int window) {
  auto& queue = Gui().Queue;
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [window](const QueuedEvent& q) { return q.Event.Window == window; }),
              queue.end());
}

int WindowOfToplevel(GtkWidget* toplevel) {
  for (int w = 0; w < MaxWindows; ++w) {
    if (Gui().Windows[w].Toplevel == toplevel) return w;
  }
  return -1;
}

std::string CssColour(uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return text;
}

void SetWidgetCss(GtkWidget* widget, const std::string& css) {
  auto* provider = static_cast<GtkCssProvider*>(g_object_get_data(G_OBJECT(widget), "zolt-css"));
  if (provider == nullptr) {
    provider = gtk_css_provider_new();
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    g_object_set_data_full(G_OBJECT(widget), "zolt-css", provider, g_object_unref);
  }
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

}  // namespace gtkgui

using namespace gtkgui;

namespace {

// Native controls drawn compactly enough to fit the program's 20-pixel rows.
constexpr const char* CompactControlsCss = R"(
button, entry, combobox button, checkbutton, notebook tab {
  min-height: 0;
  min-width: 0;
}
button, combobox button { padding: 0 6px; }
entry { padding: 0 4px; }
checkbutton { padding: 0; }
checkbutton check { min-width: 14px; min-height: 14px; margin: 0 4px 0 0; }
notebook tab { padding: 3px 8px; }
entry.zolt-borderless, entry.zolt-borderless:focus {
  border: none; box-shadow: none; background: transparent;
}
)";

// ---- start-up ----

// The native windows place their controls in fixed boxes of pixels, made for a narrow
// sans-serif of 12 pixels: in it every caption fits its box in each translated language.
// The size is in pixels, so that a dense display does not make the texts outgrow their
// boxes. Scripts the font lacks (the language page's names) come from the system's other
// fonts.
constexpr const char* NativeWindowFont = "Nimbus Sans Narrow 12px";

// The density the desktop asks for (its font resolution), which GTK's settings carry to
// the screen once they exist.
double ReadDisplayDpi() {
  gtk_settings_get_default();
  GdkScreen* screen = gdk_screen_get_default();
  double dpi = screen != nullptr ? gdk_screen_get_resolution(screen) : -1.0;
  return dpi > 0.0 ? dpi : 96.0;
}

// ---- windows: signal handlers ----

gboolean OnDelete(GtkWidget* toplevel, GdkEvent*, gpointer) {
  int window = WindowOfToplevel(toplevel);
  if (window >= 0) QueueEvent(EventType::Close, window);
  return TRUE;  // the program decides whether the window closes
}

void OnDestroy(GtkWidget* toplevel, gpointer) {
  int window = WindowOfToplevel(toplevel);
  if (window < 0) return;
  Gui().Windows[window] = WindowSlot{};
  if (Gui().ActiveWindow == window) Gui().ActiveWindow = -1;
  ForgetWindowEvents(window);
}

// ---- windows: activation ----
//
// A window loses the activation to the display whenever one of its own pop-ups takes the
// keyboard: a drop-down list's menu or a context menu (which grab it). That is no loss:
// the window keeps the activation, no Deactivate is queued, and the activation comes back
// when the pop-up closes. It may come back late: GTK learns of it from the display, which
// a loaded machine or a busy window manager can hold up for a long while. So the window
// keeps it as long as the display's keyboard focus stays in the window; the loss is
// reported only once another window has taken the focus (the user went to another window
// or application while the pop-up was open, or after).

// The program's window a toplevel of this process belongs to: the window itself, or, for
// a pop-up (a menu, a tooltip, a dialog), the window it was opened for, found through
// the pop-up's transient-for and attached-to links. -1 when none.
int OwnerWindow(GtkWidget* toplevel) {
  for (int depth = 0; depth < 8 && GTK_IS_WINDOW(toplevel); ++depth) {
    const int window = WindowOfToplevel(toplevel);
    if (window >= 0) return window;
    GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(toplevel));
    GtkWidget* attached = gtk_window_get_attached_to(GTK_WINDOW(toplevel));
    toplevel = parent != nullptr ? GTK_WIDGET(parent) : attached != nullptr ? gtk_widget_get_toplevel(attached) : nullptr;
  }
  return -1;
}

// True while a pop-up of the window holds the keyboard: it has GTK's grab, or it is the
// active toplevel.
bool PopupHoldsActivation(int window) {
  GtkWidget* own = Gui().Windows[window].Toplevel;
  GtkWidget* grab = gtk_grab_get_current();
  GtkWidget* grabbing = grab != nullptr ? gtk_widget_get_toplevel(grab) : nullptr;
  if (grabbing != nullptr && grabbing != own && OwnerWindow(grabbing) == window) return true;
  bool holds = false;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* t = toplevels; t != nullptr && !holds; t = t->next) {
    GtkWidget* popup = GTK_WIDGET(t->data);
    holds = popup != own && gtk_widget_get_mapped(popup) && gtk_window_is_active(GTK_WINDOW(popup)) &&
            OwnerWindow(popup) == window;
  }
  g_list_free(toplevels);
  return holds;
}

// Watches a window whose activation a pop-up of its own holds.
struct LentActivation {
  int Window;
  GtkWidget* Toplevel;  // the window's toplevel when lent: the number may be reused
};

constexpr guint LentWatchMs = 100;

gboolean WatchLentActivation(gpointer data) {
  auto* lent = static_cast<LentActivation*>(data);
  const int window = lent->Window;
  WindowSlot& slot = Gui().Windows[window];
  bool done = !ValidWindow(window) || slot.Toplevel != lent->Toplevel || !slot.ActivationLent ||
              gtk_window_is_active(GTK_WINDOW(slot.Toplevel));
  if (!done && !PopupHoldsActivation(window) && KeyboardFocusPlace(slot.Toplevel) == FocusPlace::Elsewhere) {
    // The pop-up has closed and another window has the keyboard.
    done = true;
    if (Gui().ActiveWindow == window) Gui().ActiveWindow = -1;
    if (Gui().DialogDepth == 0) QueueEvent(EventType::Deactivate, window);
  }
  if (!done) return G_SOURCE_CONTINUE;
  if (slot.Toplevel == lent->Toplevel) slot.ActivationLent = false;
  delete lent;
  return G_SOURCE_REMOVE;
}

void OnActiveChanged(GObject* toplevel, GParamSpec*, gpointer) {
  int window = WindowOfToplevel(GTK_WIDGET(toplevel));
  if (window < 0) return;
  WindowSlot& slot = Gui().Windows[window];
  bool active = gtk_window_is_active(GTK_WINDOW(toplevel));
  if (active) {
    Gui().ActiveWindow = window;
    // Back from its own pop-up: for the program the window never lost the activation.
    if (std::exchange(slot.ActivationLent, false)) return;
    if (Gui().DialogDepth == 0) QueueEvent(EventType::Activate, window);
  } else if (slot.ActivationLent || PopupHoldsActivation(window)) {
    if (!std::exchange(slot.ActivationLent, true)) {
      g_timeout_add(LentWatchMs, WatchLentActivation, new LentActivation{window, slot.Toplevel});
    }
  } else {
    if (Gui().ActiveWindow == window) Gui().ActiveWindow = -1;
    if (Gui().DialogDepth == 0) QueueEvent(EventType::Deactivate, window);
  }
}

// Every event from the display passes here on its way to GTK. Without a window manager,
// a program window (or a dialog of one) that is shown or clicked gets the keyboard, as
// under a window manager, instead of the keyboard following the pointer from window to
// window; so only a click on another window takes the activation.
void OnDisplayEvent(GdkEvent* event, gpointer) {
  GdkWindow* window = event->any.window;
  const bool shown = event->type == GDK_MAP && window != nullptr && gdk_window_get_toplevel(window) == window;
  if ((shown || event->type == GDK_BUTTON_PRESS) && window != nullptr) {
    gpointer widget = nullptr;
    gdk_window_get_user_data(gdk_window_get_toplevel(window), &widget);
    if (GTK_IS_WINDOW(widget) && gtk_window_get_window_type(GTK_WINDOW(widget)) == GTK_WINDOW_TOPLEVEL &&
        OwnerWindow(GTK_WIDGET(widget)) >= 0) {
      FocusWithoutWindowManager(GTK_WIDGET(widget), gdk_event_get_time(event));
    }
  }
  gtk_main_do_event(event);
}

void OnClientAllocated(GtkWidget* client, GdkRectangle* allocation, gpointer data) {
  int window = GPOINTER_TO_INT(data);
  if (!ValidWindow(window) || Gui().Windows[window].Client != client) return;
  WindowSlot& slot = Gui().Windows[window];
  if (allocation->width == slot.ClientWidth && allocation->height == slot.ClientHeight) return;
  slot.ClientWidth = allocation->width;
  slot.ClientHeight = allocation->height;
  QueueEvent(EventType::Size, window);
}

// Client coordinates of a button event, whichever child window it arrived in.
bool ClientPosition(int window, const GdkEventButton* event, int* x, int* y) {
  GdkWindow* bin = gtk_layout_get_bin_window(GTK_LAYOUT(Gui().Windows[window].Client));
  if (bin == nullptr) return false;
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(bin, &originX, &originY);
  *x = static_cast<int>(event->x_root) - originX;
  *y = static_cast<int>(event->y_root) - originY;
  return true;
}

// The program sees presses on its client area, the surface and static texts; a press
// on any other control belongs to that control.
bool PressOnClientArea(const WindowSlot& slot, GdkEventButton* event) {
  GtkWidget* source = gtk_get_event_widget(reinterpret_cast<GdkEvent*>(event));
  return source == slot.Toplevel || source == slot.Client || GTK_IS_DRAWING_AREA(source) ||
         (GTK_IS_EVENT_BOX(source) && gtk_widget_get_parent(source) == slot.Client);
}

gboolean OnButton(GtkWidget* toplevel, GdkEventButton* event, gpointer) {
  if (event->button != 1) return FALSE;
  int window = WindowOfToplevel(toplevel);
  if (window < 0) return FALSE;
  // GTK can offer the toplevel the same press twice on its way up the widgets.
  static GdkEventType lastType = GDK_NOTHING;
  static guint32 lastTime = 0;
  static double lastX = 0.0;
  static double lastY = 0.0;
  if (event->type == lastType && event->time == lastTime && event->x_root == lastX &&
      event->y_root == lastY) {
    return FALSE;
  }
  lastType = event->type;
  lastTime = event->time;
  lastX = event->x_root;
  lastY = event->y_root;
  WindowSlot& slot = Gui().Windows[window];
  if (event->type == GDK_BUTTON_RELEASE) {
    // A release belongs to whoever had the press.
    if (!slot.ButtonHeld) return FALSE;
    slot.ButtonHeld = false;
  } else {
    if (!PressOnClientArea(slot, event)) return FALSE;
    slot.ButtonHeld = true;
  }
  int x = -1;
  int y = -1;
  if (!ClientPosition(window, event, &x, &y)) return FALSE;
  switch (event->type) {
    case GDK_BUTTON_PRESS: QueueButtonEvent(EventType::LeftButtonDown, window, x, y); break;
    case GDK_2BUTTON_PRESS: QueueButtonEvent(EventType::LeftDoubleClick, window, x, y); break;
    case GDK_BUTTON_RELEASE: QueueButtonEvent(EventType::LeftButtonUp, window, x, y); break;
    default: break;
  }
  return FALSE;
}

// The window manager's functions and decorations by the window's flags.
void ApplyFrameFlags(GtkWidget* toplevel, int flags) {
  GdkWindow* native = gtk_widget_get_window(toplevel);
  if (native == nullptr) return;
  int functions = GDK_FUNC_MOVE;
  int decorations = GDK_DECOR_BORDER;
  if (flags & WindowTitleBar) decorations |= GDK_DECOR_TITLE;
  if (flags & WindowSystemMenu) {
    functions |= GDK_FUNC_CLOSE;
    decorations |= GDK_DECOR_MENU;
  }
  if (flags & WindowMinimizeBox) {
    functions |= GDK_FUNC_MINIMIZE;
    decorations |= GDK_DECOR_MINIMIZE;
  }
  if (flags & WindowMaximizeBox) {
    functions |= GDK_FUNC_MAXIMIZE;
    decorations |= GDK_DECOR_MAXIMIZE;
  }
  if (flags & WindowSizeable) {
    functions |= GDK_FUNC_RESIZE;
    decorations |= GDK_DECOR_RESIZEH;
  }
  gdk_window_set_functions(native, static_cast<GdkWMFunction>(functions));
  gdk_window_set_decorations(native, static_cast<GdkWMDecoration>(decorations));
}

// ---- pointer ----

void ReadPointer(int window) {
  GuiState& gui = Gui();
  if (gui.PointerTurn == gui.Turn && gui.PointerWindow == window) return;
  gui.PointerTurn = gui.Turn;
  gui.PointerWindow = window;
  gui.PointerX = -1;
  gui.PointerY = -1;
  if (!ValidWindow(window)) return;
  GdkWindow* bin = gtk_layout_get_bin_window(GTK_LAYOUT(gui.Windows[window].Client));
  if (bin == nullptr) return;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(bin));
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer == nullptr) return;
  int x = 0;
  int y = 0;
  gdk_window_get_device_position(bin, pointer, &x, &y, nullptr);
  gui.PointerX = x;
  gui.PointerY = y;
}

void PointerAt(int window, int* x, int* y) {
  ReadPointer(window);
  const GuiState& gui = Gui();
  const WindowSlot& slot = gui.Windows[window];
  bool inside = ValidWindow(window) && gui.PointerX >= 0 && gui.PointerY >= 0 &&
                gui.PointerX < slot.ClientWidth && gui.PointerY < slot.ClientHeight;
  *x = inside ? gui.PointerX : -1;
  *y = inside ? gui.PointerY : -1;
}

// ---- events ----

void PumpPendingEvents() {
  // Bounded, so that a stream of redraws cannot hold the program inside the wait.
  for (int i = 0; i < 1000 && g_main_context_pending(nullptr); ++i) {
    g_main_context_iteration(nullptr, FALSE);
  }
}

// Looking at the toolkit's sources costs a few system calls, which add up at a thousand
// looks a second. Between looks the wait sleeps in poll() on the display's connection,
// so that input wakes it at once; the toolkit is then pumped when the display has input
// (on the connection or already read into the client's queue) and when GLib's next source
// falls due (learnt after each look, and after a frame was shown). At least every
// PumpPeriod microseconds GLib is asked whether a source is due (one queued by a call
// into GTK, say), and pumped only when one is.
constexpr int64_t PumpPeriod = 16000;
int64_t nextLook = 0;  // clock value (microseconds) of the next look without input

// Asks GLib when its next source falls due (a timer, or at once for one that is ready),
// without dispatching anything, and looks at the toolkit then, or after PumpPeriod; true
// when one is due now.
bool LearnNextLook() {
  const int64_t now = ElapsedMicroseconds();
  nextLook = now + PumpPeriod;
  GMainContext* context = g_main_context_default();
  if (!g_main_context_acquire(context)) {
    nextLook = now;
    return true;
  }
  gint priority = 0;
  const bool ready = g_main_context_prepare(context, &priority);
  constexpr gint MaxFds = 64;
  GPollFD fds[MaxFds];
  gint timeout = -1;
  const gint count = std::min(g_main_context_query(context, priority, &timeout, fds, MaxFds), MaxFds);
  for (gint i = 0; i < count; ++i) fds[i].revents = 0;
  g_main_context_check(context, priority, fds, count);
  g_main_context_release(context);
  const bool due = ready || timeout == 0;
  if (due) nextLook = now;
  else if (timeout > 0) nextLook = std::min(nextLook, now + int64_t{timeout} * 1000);
  return due;
}

void PumpWhenDue(bool input, int64_t now) {
  if (std::exchange(Gui().ToolkitAsked, false)) LearnNextLook();
  if (!input && now < nextLook) return;
  // Without input the look alone tells whether anything is due, which is seldom; the
  // pump would look and poll again.
  if (!input && !LearnNextLook()) return;
  PumpPendingEvents();
  LearnNextLook();
}

}  // namespace

// ---- start-up ----

bool InitialiseGui() {
  if (Gui().Initialised) return true;
  // One device pixel per client pixel: the program scales by the display's density
  // itself, so GTK must not scale windows on top of that.
  if (const char* scale = g_getenv("GDK_SCALE")) {
    Gui().HadGdkScale = true;
    Gui().UserGdkScale = scale;
  }
  g_setenv("GDK_SCALE", "1", TRUE);
  gdk_set_allowed_backends("x11,*");
  if (!gtk_init_check(nullptr, nullptr)) return false;
  WatchDisplayConnection();
  gdk_event_handler_set(OnDisplayEvent, nullptr, nullptr);
  // GTK takes the user's locale; numbers in files and on screen always use a point.
  setlocale(LC_NUMERIC, "C");
  g_object_set(gtk_settings_get_default(), "gtk-font-name", NativeWindowFont, nullptr);
  double dpi = ReadDisplayDpi();
  SetDisplayDpi(dpi, dpi);
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, CompactControlsCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
  Gui().Initialised = true;
  return true;
}

// ---- windows ----

bool OpenWindow(int window, int x, int y, int width, int height, const std::string& title,
                int flags, int parent) {
  if (!Gui().Initialised || window < 0 || window >= MaxWindows) return false;
  if (ValidWindow(window)) CloseWindow(window);
  width = std::max(width, 1);
  height = std::max(height, 1);

  GtkWidget* toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* client = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(toplevel), client);
  gtk_window_set_title(GTK_WINDOW(toplevel), title.c_str());
  bool sizeable = (flags & WindowSizeable) != 0;
  gtk_window_set_resizable(GTK_WINDOW(toplevel), sizeable);
  if (sizeable) {
    gtk_window_set_default_size(GTK_WINDOW(toplevel), width, height);
  } else {
    gtk_widget_set_size_request(client, width, height);
  }
  if (!(flags & (WindowTitleBar | WindowSystemMenu))) {
    gtk_window_set_decorated(GTK_WINDOW(toplevel), FALSE);
  }
  if (ValidWindow(parent) && parent != window) {
    gtk_window_set_transient_for(GTK_WINDOW(toplevel), GTK_WINDOW(Gui().Windows[parent].Toplevel));
    gtk_window_set_destroy_with_parent(GTK_WINDOW(toplevel), TRUE);
  }
  if (flags & WindowCentred) {
    gtk_window_set_position(GTK_WINDOW(toplevel), GTK_WIN_POS_CENTER);
  } else {
    gtk_window_move(GTK_WINDOW(toplevel), x, y);
  }
  gtk_widget_add_events(toplevel, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);

  WindowSlot& slot = Gui().Windows[window];
  slot.Toplevel = toplevel;
  slot.Client = client;
  slot.GadgetParent = client;
  slot.Flags = flags;
  slot.ClientWidth = width;
  slot.ClientHeight = height;

  g_signal_connect(toplevel, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(toplevel, "destroy", G_CALLBACK(OnDestroy), nullptr);
  g_signal_connect(toplevel, "notify::is-active", G_CALLBACK(OnActiveChanged), nullptr);
  g_signal_connect(toplevel, "button-press-event", G_CALLBACK(OnButton), nullptr);
  g_signal_connect(toplevel, "button-release-event", G_CALLBACK(OnButton), nullptr);
  g_signal_connect(client, "size-allocate", G_CALLBACK(OnClientAllocated), GINT_TO_POINTER(window));

  gtk_widget_realize(toplevel);
  ApplyFrameFlags(toplevel, flags);
  gtk_widget_show(client);
  if (!(flags & WindowInvisible)) gtk_widget_show(toplevel);
  return true;
}

void CloseWindow(int window) {
  if (!ValidWindow(window)) return;
  // The toplevel's destroy handler clears the slot; gadgets and the surface go with
  // their widgets.
  gtk_widget_destroy(Gui().Windows[window].Toplevel);
}

bool IsWindow(int window) { return ValidWindow(window); }

int WindowClientWidth(int window) {
  return ValidWindow(window) ? Gui().Windows[window].ClientWidth : 0;
}

int WindowClientHeight(int window) {
  return ValidWindow(window) ? Gui().Windows[window].ClientHeight : 0;
}

std::string WindowTitle(int window) {
  if (!ValidWindow(window)) return {};
  const char* title = gtk_window_get_title(GTK_WINDOW(Gui().Windows[window].Toplevel));
  return title != nullptr ? title : "";
}

void SetWindowTitle(int window, const std::string& title) {
  if (!ValidWindow(window)) return;
  gtk_window_set_title(GTK_WINDOW(Gui().Windows[window].Toplevel), title.c_str());
}

void SetWindowColour(int window, uint32_t colour) {
  if (!ValidWindow(window)) return;
  std::string css = "* { background-color: " + CssColour(colour) + "; }";
  SetWidgetCss(Gui().Windows[window].Toplevel, css);
  SetWidgetCss(Gui().Windows[window].Client, css);
}

void SetActiveWindow(int window) {
  if (!ValidWindow(window)) return;
  gtk_window_present(GTK_WINDOW(Gui().Windows[window].Toplevel));
}

int GetActiveWindow() { return Gui().ActiveWindow; }

// ---- events ----

WindowEvent WaitWindowEventUntil(int64_t deadline) {
  GuiState& gui = Gui();
  ++gui.Turn;
  if (!gui.Initialised) {
    SleepUntilMicroseconds(deadline);
    return {};
  }
  // An event left from the last look at the display is handed out at once; otherwise the
  // wait sleeps until the display has input or the deadline comes, at most 1 ms at a
  // time, and looks again.
  for (;;) {
    if (!gui.Queue.empty()) {
      QueuedEvent queued = gui.Queue.front();
      gui.Queue.pop_front();
      if (queued.HasPosition) {
        // The pointer step of this turn sees where the button was pressed.
        gui.PointerTurn = gui.Turn;
        gui.PointerWindow = queued.Event.Window;
        gui.PointerX = queued.X;
        gui.PointerY = queued.Y;
      }
      return queued.Event;
    }
    // A sleep that ran its full length ends at `until` or later, so the clock is read
    // again only after input.
    int64_t now = ElapsedMicroseconds();
    bool input = true;
    if (now < deadline) {
      const int64_t until = std::min<int64_t>(deadline, now + 1000);
      input = SleepOnDisplay(now, until);
      now = input ? ElapsedMicroseconds() : until;
    }
    PumpWhenDue(input, now);
    if (gui.Queue.empty() && now >= deadline) return {};
  }
}

WindowEvent WaitWindowEvent(int timeoutMs) {
  return WaitWindowEventUntil(ElapsedMicroseconds() + std::max(timeoutMs, 0) * int64_t{1000});
}

// ---- pointer ----

int WindowMouseX(int window) {
  int x = -1;
  int y = -1;
  if (Gui().Initialised && ValidWindow(window)) PointerAt(window, &x, &y);
  return x;
}

int WindowMouseY(int window) {
  int x = -1;
  int y = -1;
  if (Gui().Initialised && ValidWindow(window)) PointerAt(window, &x, &y);
  return y;
}

}  // namespace zolt::platform
