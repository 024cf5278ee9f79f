// GTK gui: the state shared by its files (windows, gadgets, the event queue, the
// surface), kept in one place so each file can read and update it.
//
// Windows and gadgets live in fixed tables indexed by their numbers. Each toplevel holds
// a GtkLayout as its client area: children sit at absolute positions, are clipped to the
// client area and never make the window grow. GTK's signals become program events in
// one queue that WaitWindowEvent hands out one at a time.
//
// Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <string>

#include "platform/gui.h"

namespace zolt::platform::gtkgui {

struct WindowSlot {
  GtkWidget* Toplevel = nullptr;  // nullptr: no window under this number
  GtkWidget* Client = nullptr;    // the GtkLayout that is the client area
  int Flags = 0;
  int ClientWidth = 0;   // the client size last allocated (device pixels)
  int ClientHeight = 0;
  bool ButtonHeld = false;  // the left button went down on the client area
  // The window's activation went to a pop-up of its own, and is watched until it comes
  // back (or, the pop-up gone, is found lost).
  bool ActivationLent = false;
  // Where gadgets created in this window go: the window's client area, or the page of
  // a tab control that received the last tab. Gadget positions are relative to it.
  GtkWidget* GadgetParent = nullptr;
};

enum class GadgetKind { None, Button, CheckBox, ComboBox, String, Text, Panel };

struct GadgetSlot {
  GadgetKind Kind = GadgetKind::None;
  int Window = -1;
  GtkWidget* Outer = nullptr;  // the widget placed in the parent (freed with it)
  GtkWidget* Inner = nullptr;  // the widget carrying the text/state (label of a text)
  uint32_t BackColour = 0xFFFFFFFFu;  // 0x00BBGGRR, or unset
  uint32_t FrontColour = 0xFFFFFFFFu;
  int Flags = 0;
};

constexpr uint32_t NoColour = 0xFFFFFFFFu;

// A queued event; button events carry the client position where they happened.
struct QueuedEvent {
  WindowEvent Event;
  bool HasPosition = false;
  int X = -1;
  int Y = -1;
};

struct GuiState {
  bool Initialised = false;
  WindowSlot Windows[MaxWindows];
  GadgetSlot Gadgets[MaxGadgets];
  std::deque<QueuedEvent> Queue;
  // Set while the layer itself changes a widget, so that its signals do not turn into
  // program events (only the user's actions do).
  int Quiet = 0;
  // Set while a message box or the folder chooser runs: activation moving to our own
  // dialog is not the loss of activation the program acts on.
  int DialogDepth = 0;
  // The program's window that has the activation, -1 none. A window keeps it while a
  // pop-up of its own (a drop-down list's menu, a context menu) holds the keyboard.
  int ActiveWindow = -1;
  // The user's own scale setting, handed on to the viewers the program starts.
  bool HadGdkScale = false;
  std::string UserGdkScale;
  // Pointer position of the current turn: taken from a button event when one is handed
  // out, otherwise read from the display once per turn.
  int PointerWindow = -1;
  int PointerX = -1;
  int PointerY = -1;
  unsigned Turn = 0;
  unsigned PointerTurn = ~0u;
  // Set when GTK was given work (a frame to show): the event wait asks it anew when it
  // will next have something to do.
  bool ToolkitAsked = false;
};

GuiState& Gui();

// Has the emergency block written and the handler set by SetDisplayLostHandler run when
// the display's connection is lost or an X error ends the program.
void WatchDisplayConnection();
// Sleeps from `now` until the clock reads `until` (microseconds) or the display has input
// for the toolkit; true when it has (or when it cannot tell).
bool SleepOnDisplay(int64_t now, int64_t until);
// Copies the rectangle [left, right) x [top, bottom) of the pixels, shown by the drawing
// area at its top-left corner, onto the window at once; false when that cannot be done
// (not X11, not shown), and GTK is to draw it.
bool DrawOnDisplay(GtkWidget* area, cairo_surface_t* pixels, int left, int top, int right, int bottom);
// Drops what DrawOnDisplay keeps for the window; called before the surface goes.
void ForgetDirectTarget();
// Whether the display's keyboard focus is in the toplevel (on it or on a window of its
// own inside it), in another window (of this program or another), or in none (or the
// display cannot tell). Asks the display, so the answer is current even where GTK has
// not yet seen the focus events that tell it.
enum class FocusPlace { Inside, Elsewhere, Nowhere };
FocusPlace KeyboardFocusPlace(GtkWidget* toplevel);
// Gives the keyboard to the toplevel, as a window manager that focuses on click would,
// when no window manager runs (there the X server hands the keyboard to whichever window
// the pointer is over). `time` is the X time of the event that asks for it.
void FocusWithoutWindowManager(GtkWidget* toplevel, uint32_t time);


bool ValidWindow(int window);   // a number in range that holds an open window
bool ValidGadget(int gadget);
void QueueEvent(EventType type, int window, int gadget = -1,
                GadgetEventKind kind = GadgetEventKind::None);
void QueueButtonEvent(EventType type, int window, int x, int y);
// Drops queued events of a window that is going away.
void ForgetWindowEvents(int window);
// The window number of a toplevel widget, -1 when it is not one of ours.
int WindowOfToplevel(GtkWidget* toplevel);

// "#RRGGBB" for a colour 0x00BBGGRR.
std::string CssColour(uint32_t colour);
// Replaces the style rules of one widget (its own provider, kept with the widget).
void SetWidgetCss(GtkWidget* widget, const std::string& css);

}  // namespace zolt::platform::gtkgui
