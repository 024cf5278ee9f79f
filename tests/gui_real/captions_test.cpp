// Every caption of the program's native windows on a real (virtual) display, in English
// and in each language the language file translates: each label, button, check box,
// tab and drop-down entry must show its whole text inside the part of its box that is
// on screen, and the settings window must show all its tabs at once.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

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

// A widget's box in its toplevel's coordinates.
GdkRectangle Box(GtkWidget* widget) {
  GdkRectangle box;
  gtk_widget_get_allocation(widget, &box);
  gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &box.x, &box.y);
  return box;
}

// Whether the rectangle lies inside the part of the widget's box that is on screen.
bool ShownWhole(GtkWidget* widget, GdkRectangle drawn) {
  for (GtkWidget* w = widget; w != nullptr; w = gtk_widget_get_parent(w)) {
    const GdkRectangle box = Box(w);
    GdkRectangle inside;
    if (!gdk_rectangle_intersect(&drawn, &box, &inside) || !gdk_rectangle_equal(&inside, &drawn)) return false;
  }
  return true;
}

std::vector<std::string> Faults;

void Fault(const std::string& where, const std::string& text, const char* what) {
  Faults.push_back(where + " \"" + text + "\": " + what);
}

// A label shows its whole text on screen: nothing cut off at its end, nothing outside.
void CheckLabel(GtkWidget* label, const std::string& where) {
  if (!GTK_IS_LABEL(label) || !gtk_widget_get_mapped(label) || *gtk_label_get_text(GTK_LABEL(label)) == 0) return;
  const std::string text = gtk_label_get_text(GTK_LABEL(label));
  PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
  if (pango_layout_is_ellipsized(layout)) return Fault(where, text, "cut off");
  int x = 0, y = 0;
  gtk_label_get_layout_offsets(GTK_LABEL(label), &x, &y);
  GtkAllocation own;
  gtk_widget_get_allocation(label, &own);
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  const GdkRectangle box = Box(label);
  const GdkRectangle drawn{box.x + x - own.x + logical.x, box.y + y - own.y + logical.y, logical.width, logical.height};
  if (!ShownWhole(label, drawn)) Fault(where, text, "needs more room than its box gives");
}

// Every entry of a drop-down list fits the list's closed box.
void CheckList(GtkWidget* combo, const std::string& where) {
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(combo));
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter item;
  for (bool more = gtk_tree_model_get_iter_first(model, &item); more; more = gtk_tree_model_iter_next(model, &item)) {
    gchar* text = nullptr;
    gtk_tree_model_get(model, &item, 0, &text, -1);
    PangoLayout* layout = gtk_widget_create_pango_layout(view, text);
    GdkRectangle drawn = Box(view);
    pango_layout_get_pixel_size(layout, &drawn.width, &drawn.height);
    drawn.width += 4;  // the text cell's own padding, 2 pixels a side
    if (!ShownWhole(view, drawn)) Fault(where, text, "does not fit the list");
    g_object_unref(layout);
    g_free(text);
  }
}

// Walks the shown gadgets of a window.
void CheckWindow(int window, const std::string& where) {
  for (int gadget = 0; gadget < platform::MaxGadgets; ++gadget) {
    const g::GadgetSlot& slot = g::Gui().Gadgets[gadget];
    if (slot.Window != window || slot.Outer == nullptr || !gtk_widget_get_mapped(slot.Outer)) continue;
    const std::string name = where + " gadget " + std::to_string(gadget);
    if (slot.Kind == g::GadgetKind::Text) CheckLabel(slot.Inner, name);
    if (slot.Kind == g::GadgetKind::Button || slot.Kind == g::GadgetKind::CheckBox)
      CheckLabel(gtk_bin_get_child(GTK_BIN(slot.Inner)), name);
    if (slot.Kind == g::GadgetKind::ComboBox) CheckList(slot.Inner, name);
    for (int tab = 0; slot.Kind == g::GadgetKind::Panel && tab < platform::CountGadgetItems(gadget); ++tab) {
      GtkNotebook* tabs = GTK_NOTEBOOK(slot.Inner);
      GtkWidget* label = gtk_notebook_get_tab_label(tabs, gtk_notebook_get_nth_page(tabs, tab));
      if (!gtk_widget_get_child_visible(label)) Fault(name, gtk_label_get_text(GTK_LABEL(label)), "tab not shown");
      CheckLabel(label, name + " tab " + std::to_string(tab));
    }
  }
}

bool Shown(int window) {
  return platform::IsWindow(window) && gtk_widget_get_mapped(g::Gui().Windows[window].Toplevel);
}

// Walks a window that runs its own loop from inside that loop, tab by tab where it has
// tabs, then closes it with its close box.
struct ModalWalk {
  int Window;
  std::string Where;
  int Tab = -1;  // the tab walked next; -1 before the window is walked
  int Ticks = 0;
};

gboolean WalkModalWindow(gpointer data) {
  auto* walk = static_cast<ModalWalk*>(data);
  if (!Shown(walk->Window) || ++walk->Ticks % 3 != 0) return G_SOURCE_CONTINUE;  // let it lay out
  const int tabs = platform::IsGadget(settingswindow::TabControl) ? platform::CountGadgetItems(settingswindow::TabControl) : 0;
  if (walk->Tab >= 0) CheckWindow(walk->Window, walk->Where + " tab " + std::to_string(walk->Tab));
  if (++walk->Tab < tabs) {
    platform::SetGadgetState(settingswindow::TabControl, walk->Tab);
    return G_SOURCE_CONTINUE;
  }
  if (tabs == 0) CheckWindow(walk->Window, walk->Where);
  gtk_window_close(GTK_WINDOW(g::Gui().Windows[walk->Window].Toplevel));
  return G_SOURCE_REMOVE;
}

void WalkModal(int window, const std::string& where, void (*open)()) {
  ModalWalk walk{window, where};
  const guint source = g_timeout_add(30, WalkModalWindow, &walk);
  open();
  if (GSource* left = g_main_context_find_source_by_id(nullptr, source)) g_source_destroy(left);
}

void WalkPowerAnalyserForm(const std::string& where, void (*open)()) {
  open();
  const gint64 end = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
  for (gint64 settled = 0; g_get_monotonic_time() < end && settled < 200; g_usleep(1000)) {
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    settled = Shown(analyser::PmxWindow) ? settled + 1 : 0;
  }
  CheckWindow(analyser::PmxWindow, where);
  platform::CloseWindow(analyser::PmxWindow);
}

TEST(NativeWindowCaptions, EveryCaptionFitsItsBoxInEveryTranslatedLanguage) {
  ASSERT_TRUE(platform::InitialiseGui());
  zolt::testing::TempFolder folder;
  std::filesystem::copy(ZOLT_APP_FOLDER "/languages", "languages");
  frame::LoadLanguageTable(frame::LanguagesFile);
  int walked = 0;
  for (int column = 0; column < frame::LanguageColumns && !frame::LanguageCell(0, column).empty(); ++column) {
    // English, and each language that translates more than its own name.
    int translated = 0;
    for (int row = 1; row < 1000; ++row) translated += frame::LanguageCell(row, column) != frame::LanguageCell(row, 0);
    if (column > 0 && translated < 2) continue;
    ++walked;
    frame::LanguageState.LanguageColumn = column;
    const std::string language = frame::LanguageCell(0, column);
    WalkModal(settingswindow::SettingsWindowNumber, language + " settings", [] { settingswindow::OpenSettingsWindow(0); });
    WalkModal(tracer::DirectEntryWindow, language + " direct entry", tracer::OpenDirectEntryWindow);
    WalkModal(tracer::GraphTitleWindow, language + " graph title", tracer::OpenGraphTitleWindow);
    WalkPowerAnalyserForm(language + " analyser settings", analyser::OpenPowerAnalyserSettingsWindow);
    WalkPowerAnalyserForm(language + " analyser calibration", analyser::OpenPowerAnalyserCalWindow);
  }
  EXPECT_GE(walked, 5);  // English, Dutch, French, German, Spanish at least
  for (const std::string& fault : Faults) ADD_FAILURE() << fault;
}

}  // namespace
