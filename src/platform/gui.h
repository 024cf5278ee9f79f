// Platform layer, gui part: windows, events, the drawing surface, native controls
// ("gadgets"), message boxes, the folder chooser and the help viewer.
//
// Two interchangeable implementations are chosen at link time: gui_gtk (real windows)
// and gui_headless (in-memory windows for tests, driven through gui_headless.h).
// Windows and gadgets are addressed by small fixed numbers; gadget numbers come from
// one program-wide space and are carried by every gadget event.
//
// Sections: start-up; windows; events; pointer; drawing surface; gadgets; dialogs; help.
#pragma once

#include <cstdint>
#include <string>

namespace zolt::platform {

constexpr int MaxWindows = 512;
constexpr int MaxGadgets = 4096;

// ---- start-up ----

// Prepares the toolkit and reads the display's dots per inch into the draw part
// (SetDisplayDpi). Returns false when no display can be used.
bool InitialiseGui();
// Called on the main thread when the connection to the display is lost, or when the
// display reports an error the program cannot go on from (a window of the program taken
// away by another program, say), with a sentence saying which; the program ends as soon
// as it returns. The emergency block (system.h) has gone out just before.
void SetDisplayLostHandler(void (*handler)(const std::string& what));

// ---- windows ----

enum WindowFlags : int {
  WindowTitleBar = 1,
  WindowSystemMenu = 2,
  WindowMinimizeBox = 4,
  WindowMaximizeBox = 8,
  WindowSizeable = 16,
  WindowCentred = 32,
  WindowInvisible = 64,
};

// Opens window `window` with a client area of width x height device pixels.
// `parent` is another window number or -1.
bool OpenWindow(int window, int x, int y, int width, int height, const std::string& title,
                int flags, int parent = -1);
void CloseWindow(int window);
bool IsWindow(int window);
int WindowClientWidth(int window);   // device pixels
int WindowClientHeight(int window);
std::string WindowTitle(int window);
void SetWindowTitle(int window, const std::string& title);
void SetWindowColour(int window, uint32_t colour);  // background, 0x00BBGGRR
void SetActiveWindow(int window);
// The program's window that has the activation now, -1 when none of them has it
// (another application is in front).
int GetActiveWindow();

// ---- events ----

enum class EventType {
  None,              // nothing arrived within the wait
  Size,              // a window changed size
  Close,             // the close box of a window
  LeftButtonDown,
  LeftButtonUp,
  LeftDoubleClick,
  Gadget,            // a gadget was used (button pressed, box ticked, item chosen, text edited)
  Deactivate,        // a window lost activation to another window
  Activate,
};

enum class GadgetEventKind { None, Change, Focus, LostFocus };

struct WindowEvent {
  EventType Type = EventType::None;
  int Window = -1;
  int Gadget = -1;
  GadgetEventKind Kind = GadgetEventKind::None;
};

// Waits at most `timeoutMs` for one event and hands it out; one event per call.
WindowEvent WaitWindowEvent(int timeoutMs);
// Waits for one event until the clock (ElapsedMicroseconds) reads `deadline`; an event
// already queued is handed out at once.
WindowEvent WaitWindowEventUntil(int64_t deadline);

// ---- pointer ----

// Pointer position in client pixels of the window; -1 when outside the client area.
int WindowMouseX(int window);
int WindowMouseY(int window);

// ---- drawing surface ----
//
// A double-buffered child area at the top-left corner of a window's client area, not
// stretched with the window. The canvas image is copied onto its back buffer and shown
// by PresentSurface.

bool OpenSurface(int window, int width, int height);
void CloseSurface();
bool IsSurfaceOpen();
void CopyImageToSurface(int image, int x, int y);
void PresentSurface();

// ---- gadgets ----

enum GadgetFlags : int {
  GadgetReadOnly = 1,       // edit field that cannot be typed into
  GadgetBorderless = 2,     // edit field without a frame
  GadgetRightAligned = 4,   // edit field or static text aligned right
  GadgetCentred = 8,        // static text centred
  GadgetBorder = 16,        // static text with a frame
};

// Gadgets are created in the window given (the current gadget list). Once a tab has
// been added to a tab control, the gadgets created next in its window go on that tab,
// at positions relative to the tab's page, until the tab control is cleared or freed.
bool ButtonGadget(int gadget, int window, int x, int y, int width, int height,
                  const std::string& text, int flags = 0);
bool CheckBoxGadget(int gadget, int window, int x, int y, int width, int height,
                    const std::string& text, int flags = 0);
bool ComboBoxGadget(int gadget, int window, int x, int y, int width, int height, int flags = 0);
bool StringGadget(int gadget, int window, int x, int y, int width, int height,
                  const std::string& text, int flags = 0);
bool TextGadget(int gadget, int window, int x, int y, int width, int height,
                const std::string& text, int flags = 0);
// A tab control; its tabs are added with AddGadgetItem and chosen with SetGadgetState.
bool PanelGadget(int gadget, int window, int x, int y, int width, int height);

bool IsGadget(int gadget);
void FreeGadget(int gadget);
// A drop-down list takes a text as the choice of its first item of that text, letter
// case aside (no item chosen when none matches), and gives the chosen item's text.
void SetGadgetText(int gadget, const std::string& text);
std::string GetGadgetText(int gadget);
// Check box: 0/1. Combo box and tab control: the chosen item (-1 none).
void SetGadgetState(int gadget, int state);
int GetGadgetState(int gadget);
void AddGadgetItem(int gadget, const std::string& text);
void ClearGadgetItems(int gadget);
int CountGadgetItems(int gadget);
std::string GetGadgetItemText(int gadget, int item);
void SetGadgetBackColour(int gadget, uint32_t colour);  // 0x00BBGGRR
void SetGadgetFrontColour(int gadget, uint32_t colour);
void DisableGadget(int gadget, bool disabled);
void HideGadget(int gadget, bool hidden);

// ---- dialogs ----

enum class MessageIcon { None, Information, Warning, Error };

// A modal message box with one OK button; returns when it is closed.
void ShowMessageBox(const std::string& title, const std::string& text, MessageIcon icon);

// The folder chooser, opened at `initialFolder` (relative to the working folder), or at
// the nearest folder above it that exists; returns the chosen folder ending in "/" or
// empty when cancelled. A folder typed into the chooser may not exist yet.
std::string ChooseFolder(const std::string& title, const std::string& initialFolder);

// ---- help ----

// Opens a compiled help file at a topic page: `xchm` at the topic when it is installed,
// otherwise the file through the desktop's opener. Does not wait.
void OpenHelp(const std::string& file, const std::string& topic);

}  // namespace zolt::platform
