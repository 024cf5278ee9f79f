// Headless gui: start-up, windows, events, the pointer, the drawing surface, dialogs and
// help, with the test side of each (gui_headless.h).
//
// Windows are records with the same numbers, titles and client sizes (device pixels) as
// real ones. WaitWindowEvent calls the test's wait hook, then hands out one queued event,
// or sleeps the timeout (or to the deadline) and reports none. Message boxes are recorded and return at once;
// the folder chooser is recorded and answers from a script; help requests are recorded.
//
// Sections: state; start-up; windows; events; pointer; surface; dialogs; help; test side.
#include <utility>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/gui_headless_internal.h"
#include "platform/system.h"

namespace zolt::platform {

using headless::Gui;
using Lock = std::lock_guard<std::mutex>;

// ---- state ----

headless::State& headless::Gui() {
  static State state;
  return state;
}

namespace {

// With the mutex held: closes a window with its gadgets and, if it holds it, the surface.
void CloseWindowLocked(headless::State& gui, int window) {
  gui.Windows[window] = headless::Window{};
  for (auto& gadget : gui.Gadgets)
    if (gadget.Exists && gadget.Window == window) gadget = headless::Gadget{};
  if (gui.Screen.Open && gui.Screen.Window == window) {
    gui.Screen.Open = false;
    gui.Screen.Width = gui.Screen.Height = 0;
  }
  if (gui.ActiveWindow == window) gui.ActiveWindow = -1;
}

bool OpenWindowLocked(headless::State& gui, int window) {
  return headless::ValidWindowNumber(window) && gui.Windows[window].Open;
}

}  // namespace

// ---- start-up ----

bool InitialiseGui() {
  double x, y;
  {
    Lock lock(Gui().Mutex);
    x = Gui().DpiX;
    y = Gui().DpiY;
  }
  SetDisplayDpi(x, y);
  return true;
}

void SetDisplayLostHandler(void (*handler)(const std::string& what)) {
  Lock lock(Gui().Mutex);
  Gui().DisplayLost = handler;
}

// ---- windows ----

bool OpenWindow(int window, int x, int y, int width, int height, const std::string& title, int flags,
                int parent) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  if (!headless::ValidWindowNumber(window)) return false;
  if (std::exchange(gui.FailWindowOpen, false)) return false;
  if (gui.Windows[window].Open) CloseWindowLocked(gui, window);
  headless::Window& w = gui.Windows[window];
  w.Open = true;
  w.X = x;
  w.Y = y;
  w.Width = width;
  w.Height = height;
  w.Title = title;
  w.Flags = flags;
  w.Parent = parent;
  w.GadgetPanel = w.GadgetTab = -1;
  if (!(flags & WindowInvisible)) gui.ActiveWindow = window;
  return true;
}

void CloseWindow(int window) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  if (OpenWindowLocked(gui, window)) CloseWindowLocked(gui, window);
}

bool IsWindow(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window);
}

int WindowClientWidth(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window) ? Gui().Windows[window].Width : 0;
}

int WindowClientHeight(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window) ? Gui().Windows[window].Height : 0;
}

std::string WindowTitle(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window) ? Gui().Windows[window].Title : std::string();
}

void SetWindowTitle(int window, const std::string& title) {
  Lock lock(Gui().Mutex);
  if (OpenWindowLocked(Gui(), window)) Gui().Windows[window].Title = title;
}

void SetWindowColour(int window, uint32_t colour) {
  Lock lock(Gui().Mutex);
  if (OpenWindowLocked(Gui(), window)) Gui().Windows[window].Colour = colour;
}

void SetActiveWindow(int window) {
  Lock lock(Gui().Mutex);
  if (OpenWindowLocked(Gui(), window)) Gui().ActiveWindow = window;
}

int GetActiveWindow() {
  Lock lock(Gui().Mutex);
  return Gui().ActiveWindow;
}

// ---- events ----

namespace {

// The test's hook, then the first queued event; false when none is queued.
bool TakeQueuedEvent(WindowEvent& event) {
  std::function<void()> hook;
  {
    Lock lock(Gui().Mutex);
    hook = Gui().WaitHook;  // a copy: the hook may replace itself
  }
  if (hook) hook();
  Lock lock(Gui().Mutex);
  if (Gui().Queue.empty()) return false;
  event = Gui().Queue.front();
  Gui().Queue.pop_front();
  return true;
}

}  // namespace

WindowEvent WaitWindowEvent(int timeoutMs) {
  WindowEvent event;
  if (TakeQueuedEvent(event)) return event;
  if (timeoutMs > 0) Delay(timeoutMs);
  return WindowEvent{};
}

WindowEvent WaitWindowEventUntil(int64_t deadline) {
  WindowEvent event;
  if (TakeQueuedEvent(event)) return event;
  SleepUntilMicroseconds(deadline);
  return WindowEvent{};
}

// ---- pointer ----

int WindowMouseX(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window) ? Gui().MouseX : -1;
}

int WindowMouseY(int window) {
  Lock lock(Gui().Mutex);
  return OpenWindowLocked(Gui(), window) ? Gui().MouseY : -1;
}

// ---- surface ----

bool OpenSurface(int window, int width, int height) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  if (std::exchange(gui.FailSurfaceOpen, false)) return false;
  if (!OpenWindowLocked(gui, window) || width < 0 || height < 0) return false;
  gui.Screen.Open = true;
  gui.Screen.Window = window;
  gui.Screen.Width = width;
  gui.Screen.Height = height;
  return true;
}

void CloseSurface() {
  Lock lock(Gui().Mutex);
  Gui().Screen.Open = false;
  Gui().Screen.Width = Gui().Screen.Height = 0;
}

bool IsSurfaceOpen() {
  Lock lock(Gui().Mutex);
  return Gui().Screen.Open;
}

void CopyImageToSurface(int image, int, int) {
  if (!IsImage(image)) return;
  Lock lock(Gui().Mutex);
  if (Gui().Screen.Open) Gui().Screen.LastCopiedImage = image;
}

void PresentSurface() {
  Lock lock(Gui().Mutex);
  if (Gui().Screen.Open) ++Gui().Screen.PresentCount;
}

// ---- dialogs ----

void ShowMessageBox(const std::string& title, const std::string& text, MessageIcon icon) {
  Lock lock(Gui().Mutex);
  Gui().Messages.push_back({title, text, icon});
}

std::string ChooseFolder(const std::string& title, const std::string& initialFolder) {
  Lock lock(Gui().Mutex);
  Gui().FolderRequests.push_back({title, initialFolder});
  if (Gui().FolderAnswers.empty()) return {};
  std::string folder = Gui().FolderAnswers.front();
  Gui().FolderAnswers.pop_front();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// ---- help ----

void OpenHelp(const std::string& file, const std::string& topic) {
  Lock lock(Gui().Mutex);
  Gui().Help.push_back({file, topic});
}

// ---- test side ----

namespace headless {

void Reset() {
  {
    auto& gui = Gui();
    Lock lock(gui.Mutex);
    gui.DpiX = gui.DpiY = 96.0;
    gui.Windows.fill(Window{});
    for (auto& gadget : gui.Gadgets) gadget = Gadget{};
    gui.Queue.clear();
    gui.MouseX = gui.MouseY = -1;
    gui.ActiveWindow = -1;
    gui.DisplayLost = nullptr;
    gui.Screen = Surface{};
    gui.FailWindowOpen = gui.FailSurfaceOpen = false;
    gui.WaitHook = nullptr;
    gui.Messages.clear();
    gui.FolderAnswers.clear();
    gui.FolderRequests.clear();
    gui.Help.clear();
  }
  SetDisplayDpi(96.0, 96.0);
}

void SetDpi(double horizontal, double vertical) {
  Lock lock(Gui().Mutex);
  if (horizontal > 0) Gui().DpiX = horizontal;
  if (vertical > 0) Gui().DpiY = vertical;
}

void PushEvent(const WindowEvent& event) {
  Lock lock(Gui().Mutex);
  Gui().Queue.push_back(event);
}

void ResizeWindow(int window, int width, int height) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  if (!OpenWindowLocked(gui, window)) return;
  gui.Windows[window].Width = width;
  gui.Windows[window].Height = height;
  gui.Queue.push_back({EventType::Size, window, -1, GadgetEventKind::None});
}

void PushClose(int window) { PushEvent({EventType::Close, window, -1, GadgetEventKind::None}); }

void PushDeactivate(int window, int nowActive) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  gui.ActiveWindow = OpenWindowLocked(gui, nowActive) ? nowActive : -1;
  gui.Queue.push_back({EventType::Deactivate, window, -1, GadgetEventKind::None});
}

void SetMousePosition(int x, int y) {
  Lock lock(Gui().Mutex);
  Gui().MouseX = x;
  Gui().MouseY = y;
}

void PushLeftButtonDown(int window, int x, int y) {
  SetMousePosition(x, y);
  PushEvent({EventType::LeftButtonDown, window, -1, GadgetEventKind::None});
}

void PushLeftButtonUp(int window, int x, int y) {
  SetMousePosition(x, y);
  PushEvent({EventType::LeftButtonUp, window, -1, GadgetEventKind::None});
}

void SetWaitHook(std::function<void()> hook) {
  Lock lock(Gui().Mutex);
  Gui().WaitHook = std::move(hook);
}

void LoseDisplay() {
  void (*handler)(const std::string&) = nullptr;
  {
    Lock lock(Gui().Mutex);
    handler = Gui().DisplayLost;
  }
  if (handler != nullptr) handler("The connection to the display was lost");
}

void FailNextWindowOpen() {
  Lock lock(Gui().Mutex);
  Gui().FailWindowOpen = true;
}

void FailNextSurfaceOpen() {
  Lock lock(Gui().Mutex);
  Gui().FailSurfaceOpen = true;
}

// The records are handed out by reference: read them from the test's own thread.
const std::vector<ShownMessage>& MessagesShown() { return Gui().Messages; }

void ScriptFolderChoice(const std::string& folder) {
  Lock lock(Gui().Mutex);
  Gui().FolderAnswers.push_back(folder);
}

const std::vector<FolderRequest>& FolderRequests() { return Gui().FolderRequests; }

const std::vector<HelpRequest>& HelpRequests() { return Gui().Help; }

int LastCopiedImage() {
  Lock lock(Gui().Mutex);
  return Gui().Screen.LastCopiedImage;
}

int PresentCount() {
  Lock lock(Gui().Mutex);
  return Gui().Screen.PresentCount;
}

int SurfaceWidth() {
  Lock lock(Gui().Mutex);
  return Gui().Screen.Open ? Gui().Screen.Width : 0;
}

int SurfaceHeight() {
  Lock lock(Gui().Mutex);
  return Gui().Screen.Open ? Gui().Screen.Height : 0;
}

}  // namespace headless

}  // namespace zolt::platform
