// Headless gui internals: the in-memory windows, gadgets, event queue and records shared
// by the headless files. One mutex guards them, so a test may inject events from another
// thread while the program waits for them.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "platform/gui_headless.h"

namespace zolt::platform::headless {

struct Window {
  bool Open = false;
  int X = 0, Y = 0, Width = 0, Height = 0;  // client area, device pixels
  std::string Title;
  int Flags = 0;
  int Parent = -1;
  uint32_t Colour = 0;
  // The tab control and tab that receive the gadgets created next (-1: the client area).
  int GadgetPanel = -1;
  int GadgetTab = -1;
};

enum class GadgetKind { Button, CheckBox, ComboBox, String, Text, Panel };

struct Gadget {
  bool Exists = false;
  GadgetKind Kind = GadgetKind::Button;
  int Window = -1;
  int X = 0, Y = 0, Width = 0, Height = 0;
  std::string Text;
  int Flags = 0;
  int State = 0;
  std::vector<std::string> Items;
  uint32_t BackColour = 0, FrontColour = 0;
  bool Disabled = false;
  bool Hidden = false;
  int Panel = -1;  // the tab control and tab the gadget stands on; -1: the client area
  int Tab = -1;
};

struct Surface {
  bool Open = false;
  int Window = -1;
  int Width = 0, Height = 0;
  int LastCopiedImage = -1;
  int PresentCount = 0;
};

struct State {
  std::mutex Mutex;
  double DpiX = 96.0, DpiY = 96.0;
  std::array<Window, MaxWindows> Windows;
  std::vector<Gadget> Gadgets = std::vector<Gadget>(MaxGadgets);
  std::deque<WindowEvent> Queue;
  int MouseX = -1, MouseY = -1;
  int ActiveWindow = -1;
  Surface Screen;
  bool FailWindowOpen = false;
  bool FailSurfaceOpen = false;
  std::function<void()> WaitHook;
  void (*DisplayLost)(const std::string& what) = nullptr;
  std::vector<ShownMessage> Messages;
  std::deque<std::string> FolderAnswers;
  std::vector<FolderRequest> FolderRequests;
  std::vector<HelpRequest> Help;
};

State& Gui();

inline bool ValidWindowNumber(int window) { return window >= 0 && window < MaxWindows; }
inline bool ValidGadgetNumber(int gadget) { return gadget >= 0 && gadget < MaxGadgets; }

// With the mutex held: the gadget, or nullptr when the number holds none.
inline Gadget* FindGadget(State& gui, int gadget) {
  return ValidGadgetNumber(gadget) && gui.Gadgets[gadget].Exists ? &gui.Gadgets[gadget] : nullptr;
}

}  // namespace zolt::platform::headless
