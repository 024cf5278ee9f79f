// Headless gui: gadgets (native controls) as records with their texts, states and item
// lists, and the test side that uses them as a user would and queues their events.
//
// A tab control's first tab becomes the chosen one, as in the real toolkit; a drop-down
// list starts with nothing chosen.
//
// Sections: creation; texts and states; items; looks; user actions.
#include <cctype>

#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/gui_headless_internal.h"

namespace zolt::platform {

using headless::FindGadget;
using headless::Gadget;
using headless::GadgetKind;
using headless::Gui;
using Lock = std::lock_guard<std::mutex>;

// ---- creation ----

namespace {

bool CreateGadget(int gadget, int window, GadgetKind kind, int x, int y, int width, int height,
                  const std::string& text, int flags) {
  auto& gui = Gui();
  Lock lock(gui.Mutex);
  if (!headless::ValidGadgetNumber(gadget) || !headless::ValidWindowNumber(window) ||
      !gui.Windows[window].Open)
    return false;
  Gadget& g = gui.Gadgets[gadget];
  g = Gadget{};
  g.Exists = true;
  g.Kind = kind;
  g.Window = window;
  g.X = x;
  g.Y = y;
  g.Width = width;
  g.Height = height;
  g.Text = text;
  g.Flags = flags;
  g.State = (kind == GadgetKind::ComboBox || kind == GadgetKind::Panel) ? -1 : 0;
  g.Panel = gui.Windows[window].GadgetPanel;
  g.Tab = gui.Windows[window].GadgetTab;
  return true;
}

}  // namespace

bool ButtonGadget(int gadget, int window, int x, int y, int width, int height, const std::string& text,
                  int flags) {
  return CreateGadget(gadget, window, GadgetKind::Button, x, y, width, height, text, flags);
}

bool CheckBoxGadget(int gadget, int window, int x, int y, int width, int height, const std::string& text,
                    int flags) {
  return CreateGadget(gadget, window, GadgetKind::CheckBox, x, y, width, height, text, flags);
}

bool ComboBoxGadget(int gadget, int window, int x, int y, int width, int height, int flags) {
  return CreateGadget(gadget, window, GadgetKind::ComboBox, x, y, width, height, "", flags);
}

bool StringGadget(int gadget, int window, int x, int y, int width, int height, const std::string& text,
                  int flags) {
  return CreateGadget(gadget, window, GadgetKind::String, x, y, width, height, text, flags);
}

bool TextGadget(int gadget, int window, int x, int y, int width, int height, const std::string& text,
                int flags) {
  return CreateGadget(gadget, window, GadgetKind::Text, x, y, width, height, text, flags);
}

bool PanelGadget(int gadget, int window, int x, int y, int width, int height) {
  return CreateGadget(gadget, window, GadgetKind::Panel, x, y, width, height, "", 0);
}

bool IsGadget(int gadget) {
  Lock lock(Gui().Mutex);
  return FindGadget(Gui(), gadget) != nullptr;
}

namespace {

// With the mutex held: gadgets made next in the window of a tab control that goes away
// or loses its tabs go on the client area again.
void LeaveTabs(int panel) {
  for (auto& window : Gui().Windows)
    if (window.GadgetPanel == panel) window.GadgetPanel = window.GadgetTab = -1;
}

}  // namespace

void FreeGadget(int gadget) {
  Lock lock(Gui().Mutex);
  if (Gadget* g = FindGadget(Gui(), gadget)) {
    if (g->Kind == GadgetKind::Panel) LeaveTabs(gadget);
    *g = Gadget{};
  }
}

// ---- texts and states ----

namespace {

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void SetGadgetText(int gadget, const std::string& text) {
  Lock lock(Gui().Mutex);
  Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return;
  if (g->Kind != GadgetKind::ComboBox) {
    g->Text = text;
    return;
  }
  // A drop-down list chooses its first item of that text, letter case aside.
  g->State = -1;
  for (size_t item = 0; item < g->Items.size() && g->State < 0; ++item)
    if (LowerCase(g->Items[item]) == LowerCase(text)) g->State = static_cast<int>(item);
}

std::string GetGadgetText(int gadget) {
  Lock lock(Gui().Mutex);
  const Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return {};
  // A drop-down list shows the text of its chosen item.
  if (g->Kind == GadgetKind::ComboBox)
    return g->State >= 0 && g->State < static_cast<int>(g->Items.size()) ? g->Items[g->State] : std::string();
  return g->Text;
}

void SetGadgetState(int gadget, int state) {
  Lock lock(Gui().Mutex);
  Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return;
  if (g->Kind == GadgetKind::ComboBox || g->Kind == GadgetKind::Panel)
    g->State = state >= 0 && state < static_cast<int>(g->Items.size()) ? state : -1;
  else if (g->Kind == GadgetKind::CheckBox)
    g->State = state != 0 ? 1 : 0;
  else
    g->State = state;
}

int GetGadgetState(int gadget) {
  Lock lock(Gui().Mutex);
  const Gadget* g = FindGadget(Gui(), gadget);
  return g ? g->State : 0;
}

// ---- items ----

void AddGadgetItem(int gadget, const std::string& text) {
  Lock lock(Gui().Mutex);
  Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return;
  g->Items.push_back(text);
  if (g->Kind != GadgetKind::Panel) return;
  if (g->State < 0) g->State = 0;
  // The gadgets created next go on this tab.
  Gui().Windows[g->Window].GadgetPanel = gadget;
  Gui().Windows[g->Window].GadgetTab = static_cast<int>(g->Items.size()) - 1;
}

void ClearGadgetItems(int gadget) {
  Lock lock(Gui().Mutex);
  Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return;
  g->Items.clear();
  if (g->Kind == GadgetKind::ComboBox || g->Kind == GadgetKind::Panel) g->State = -1;
  if (g->Kind == GadgetKind::Panel) LeaveTabs(gadget);
}

int CountGadgetItems(int gadget) {
  Lock lock(Gui().Mutex);
  const Gadget* g = FindGadget(Gui(), gadget);
  return g ? static_cast<int>(g->Items.size()) : 0;
}

std::string GetGadgetItemText(int gadget, int item) {
  Lock lock(Gui().Mutex);
  const Gadget* g = FindGadget(Gui(), gadget);
  if (!g || item < 0 || item >= static_cast<int>(g->Items.size())) return {};
  return g->Items[item];
}

// ---- looks ----

void SetGadgetBackColour(int gadget, uint32_t colour) {
  Lock lock(Gui().Mutex);
  if (Gadget* g = FindGadget(Gui(), gadget)) g->BackColour = colour;
}

void SetGadgetFrontColour(int gadget, uint32_t colour) {
  Lock lock(Gui().Mutex);
  if (Gadget* g = FindGadget(Gui(), gadget)) g->FrontColour = colour;
}

void DisableGadget(int gadget, bool disabled) {
  Lock lock(Gui().Mutex);
  if (Gadget* g = FindGadget(Gui(), gadget)) g->Disabled = disabled;
}

void HideGadget(int gadget, bool hidden) {
  Lock lock(Gui().Mutex);
  if (Gadget* g = FindGadget(Gui(), gadget)) g->Hidden = hidden;
}

// ---- user actions ----
//
// A user cannot use a gadget that is missing, disabled or hidden, nor type into a
// read-only field: those actions change nothing and queue nothing.

namespace {

Gadget* Usable(int gadget) {
  Gadget* g = FindGadget(Gui(), gadget);
  return g && !g->Disabled && !g->Hidden ? g : nullptr;
}

void QueueChange(const Gadget& g, int gadget) {
  Gui().Queue.push_back({EventType::Gadget, g.Window, gadget, GadgetEventKind::Change});
}

}  // namespace

namespace headless {

GadgetPlacement PlacementOf(int gadget) {
  Lock lock(Gui().Mutex);
  const Gadget* g = FindGadget(Gui(), gadget);
  if (!g) return {};
  return {g->Window, g->X, g->Y, g->Width, g->Height, g->Panel, g->Tab, g->Flags, g->BackColour};
}

void ClickGadget(int gadget) {
  Lock lock(Gui().Mutex);
  Gadget* g = Usable(gadget);
  if (!g) return;
  if (g->Kind == GadgetKind::CheckBox) g->State = g->State ? 0 : 1;
  QueueChange(*g, gadget);
}

void TypeIntoGadget(int gadget, const std::string& text) {
  Lock lock(Gui().Mutex);
  Gadget* g = Usable(gadget);
  if (!g || (g->Flags & GadgetReadOnly)) return;
  g->Text = text;
  QueueChange(*g, gadget);
}

void ChooseGadgetItem(int gadget, int item) {
  Lock lock(Gui().Mutex);
  Gadget* g = Usable(gadget);
  if (!g || item < 0 || item >= static_cast<int>(g->Items.size())) return;
  g->State = item;
  QueueChange(*g, gadget);
}

}  // namespace headless

}  // namespace zolt::platform
