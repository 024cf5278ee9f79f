// Every caption of the program's native windows on a real (virtual) display, in English
// and in each language the language file translates: each label, button, check box,
// tab and drop-down entry must show its whole text inside the part of its box that is
// on screen, and the settings window must show all its tabs at once.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analyser/window.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"
#include "settingswindow/settings_window.h"
#include "support/temp_folder.h"
#include "tracer/direct_entry.h"
#include "tracer/graph_title.h"

namespace {

using namespace zolt;
namespace g = platform::gtkgui;

struct Rect {
  int X = 0, Y = 0, W = 0, H = 0;
  bool Holds(const Rect& r) const { return r.X >= X && r.Y >= Y && r.X + r.W <= X + W && r.Y + r.H <= Y + H; }
  Rect Within(const Rect& r) const {
    const int left = std::max(X, r.X), top = std::max(Y, r.Y);
    return {left, top, std::max(0, std::min(X + W, r.X + r.W) - left), std::max(0, std::min(Y + H, r.Y + r.H) - top)};
  }
};

// A widget's box in its toplevel's coordinates.
Rect Box(GtkWidget* widget) {
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &x, &y);
  return {x, y, a.width, a.height};
}

// The part of a widget's box that is on screen: inside every box around it.
Rect ShownPart(GtkWidget* widget) {
  Rect shown = Box(widget);
  for (GtkWidget* w = gtk_widget_get_parent(widget); w != nullptr; w = gtk_widget_get_parent(w))
    shown = shown.Within(Box(w));
  return shown;
}

std::vector<std::string> Faults;

void Fault(const std::string& where, const std::string& text, const char* what) {
  Faults.push_back(where + " \"" + text + "\": " + what);
}

// A label shows its whole text, on screen: nothing cut off at its end, nothing outside.
void CheckLabel(GtkWidget* label, const std::string& where) {
  if (!GTK_IS_LABEL(label) || !gtk_widget_get_mapped(label)) return;
  const std::string text = gtk_label_get_text(GTK_LABEL(label));
  if (text.empty()) return;
  PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
  if (pango_layout_is_ellipsized(layout)) return Fault(where, text, "cut off");
  int ox = 0, oy = 0;
  gtk_label_get_layout_offsets(GTK_LABEL(label), &ox, &oy);
  GtkAllocation a;
  gtk_widget_get_allocation(label, &a);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  const Rect box = Box(label);
  const Rect drawn{box.X + ox - a.x + logical.x, box.Y + oy - a.y + logical.y, logical.width, logical.height};
  if (!ShownPart(label).Holds(drawn)) Fault(where, text, "needs more room than its box gives");
}

// Every entry of a drop-down list fits the list's closed box.
void CheckList(GtkWidget* combo, const std::string& where) {
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(combo));
  if (view == nullptr || !gtk_widget_get_mapped(view)) return;
  const Rect shown = ShownPart(view);
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter iter;
  for (bool more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter)) {
    gchar* item = nullptr;
    gtk_tree_model_get(model, &iter, 0, &item, -1);
    PangoLayout* layout = gtk_widget_create_pango_layout(view, item);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    constexpr int CellPadding = 2;  // the text cell's own padding on each side
    if (width + 2 * CellPadding > shown.W || height > shown.H) Fault(where, item, "does not fit the list");
    g_object_unref(layout);
    g_free(item);
  }
}

// Walks the shown gadgets of a window.
void CheckWindow(int window, const std::string& where) {
  for (int gadget = 0; gadget < platform::MaxGadgets; ++gadget) {
    const g::GadgetSlot& slot = g::Gui().Gadgets[gadget];
    if (slot.Window != window || slot.Outer == nullptr || !gtk_widget_get_mapped(slot.Outer)) continue;
    const std::string name = where + " gadget " + std::to_string(gadget);
    switch (slot.Kind) {
      case g::GadgetKind::Text: CheckLabel(slot.Inner, name); break;
      case g::GadgetKind::Button:
      case g::GadgetKind::CheckBox: CheckLabel(gtk_bin_get_child(GTK_BIN(slot.Inner)), name); break;
      case g::GadgetKind::ComboBox: CheckList(slot.Inner, name); break;
      case g::GadgetKind::Panel: {
        GtkNotebook* tabs = GTK_NOTEBOOK(slot.Inner);
        for (int tab = 0; tab < gtk_notebook_get_n_pages(tabs); ++tab) {
          GtkWidget* label = gtk_notebook_get_tab_label(tabs, gtk_notebook_get_nth_page(tabs, tab));
          if (!gtk_widget_get_child_visible(label) || !gtk_widget_get_mapped(label))
            Fault(name + " tab " + std::to_string(tab), gtk_label_get_text(GTK_LABEL(label)), "not shown");
          else
            CheckLabel(label, name + " tab " + std::to_string(tab));
        }
        break;
      }
      default: break;
    }
  }
}

void Pump(int milliseconds) {
  const gint64 end = g_get_monotonic_time() + milliseconds * 1000;
  while (g_get_monotonic_time() < end) {
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

bool Shown(int window) {
  return platform::IsWindow(window) && gtk_widget_get_mapped(g::Gui().Windows[window].Toplevel);
}

// Walks a window that runs its own loop, page by page, from inside that loop; then
// closes it with its close box.
struct ModalWalk {
  int Window;
  std::string Where;
  int Tab = -1;  // the tab being walked; -1 before the first
  int Ticks = 0;
};

gboolean WalkModalWindow(gpointer data) {
  auto* walk = static_cast<ModalWalk*>(data);
  if (!Shown(walk->Window) || ++walk->Ticks < 3) return G_SOURCE_CONTINUE;
  walk->Ticks = 0;
  const bool tabbed = platform::IsGadget(settingswindow::TabControl) &&
                      g::Gui().Gadgets[settingswindow::TabControl].Window == walk->Window;
  if (walk->Tab >= 0 || !tabbed) {
    CheckWindow(walk->Window, walk->Where + (tabbed ? " tab " + std::to_string(walk->Tab) : ""));
  }
  if (tabbed && ++walk->Tab < platform::CountGadgetItems(settingswindow::TabControl)) {
    platform::SetGadgetState(settingswindow::TabControl, walk->Tab);
    return G_SOURCE_CONTINUE;
  }
  gtk_window_close(GTK_WINDOW(g::Gui().Windows[walk->Window].Toplevel));
  return G_SOURCE_REMOVE;
}

void WalkModal(int window, const std::string& where, void (*open)()) {
  ModalWalk walk{window, where};
  const guint source = g_timeout_add(30, WalkModalWindow, &walk);
  open();
  if (platform::IsWindow(window)) g_source_remove(source);  // the window never opened
}

void WalkPowerAnalyserForm(const std::string& where, void (*open)()) {
  open();
  for (int i = 0; i < 500 && !Shown(analyser::PmxWindow); ++i) Pump(10);
  Pump(150);
  CheckWindow(analyser::PmxWindow, where);
  platform::CloseWindow(analyser::PmxWindow);
}

// English, and each language whose column translates more than its own name.
std::vector<int> TranslatedLanguages() {
  std::vector<int> columns{0};
  for (int column = 1; column < frame::LanguageColumns && !frame::LanguageCell(0, column).empty(); ++column) {
    int translated = 0;
    for (int row = 1; row < 1000; ++row) {
      translated += frame::LanguageCell(row, column) != frame::LanguageCell(row, 0) ? 1 : 0;
    }
    if (translated > 1) columns.push_back(column);
  }
  return columns;
}

TEST(NativeWindowCaptions, EveryCaptionFitsItsBoxInEveryTranslatedLanguage) {
  ASSERT_TRUE(platform::InitialiseGui());
  zolt::testing::TempFolder folder;
  std::filesystem::copy(ZOLT_APP_FOLDER "/languages", "languages");
  frame::LoadLanguageTable(frame::LanguagesFile);
  const std::vector<int> languages = TranslatedLanguages();
  EXPECT_GE(languages.size(), 5u);  // English, Dutch, French, German, Spanish at least
  for (const int column : languages) {
    frame::LanguageState.LanguageColumn = column;
    const std::string language = frame::LanguageCell(0, column);
    WalkModal(settingswindow::SettingsWindowNumber, language + " settings",
              [] { settingswindow::OpenSettingsWindow(0); });
    WalkModal(tracer::DirectEntryWindow, language + " direct entry", tracer::OpenDirectEntryWindow);
    WalkModal(tracer::GraphTitleWindow, language + " graph title", tracer::OpenGraphTitleWindow);
    WalkPowerAnalyserForm(language + " analyser settings", analyser::OpenPowerAnalyserSettingsWindow);
    WalkPowerAnalyserForm(language + " analyser calibration", analyser::OpenPowerAnalyserCalWindow);
  }
  for (const std::string& fault : Faults) ADD_FAILURE() << fault;
}

}  // namespace
