// GTK gui: gadgets (native controls) at absolute positions.
//
// A gadget is placed in its window's current gadget parent: the client area, or, once a
// tab control has received a tab, that tab's page, so that the controls built after a
// tab is added show only on that tab. GtkLayout gives each child its minimum size, so
// every text inside a control can end in an ellipsis and entries ask for no width of
// their own: a control is then exactly the size it was created with. The native
// windows' font is narrow enough for their captions to fit whole; a box tall enough for
// more than one line wraps its text.
//
// Only the user's actions become gadget events; changes the program makes (texts,
// states, items) are done quietly.
//
// Sections: helpers and signal handlers; creation; texts, states and items; colours,
// disabling and hiding.
#include <algorithm>
#include <cctype>

#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"

namespace zolt::platform {

using namespace gtkgui;

namespace {

// ---- helpers and signal handlers ----

// Marks a change made by the layer itself, so that its signals queue no event.
struct QuietChange {
  QuietChange() { ++Gui().Quiet; }
  ~QuietChange() { --Gui().Quiet; }
  QuietChange(const QuietChange&) = delete;
  QuietChange& operator=(const QuietChange&) = delete;
};

GadgetSlot* Slot(int gadget) { return ValidGadget(gadget) ? &Gui().Gadgets[gadget] : nullptr; }

int GadgetOf(gpointer widget) {
  int gadget = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zolt-gadget")) - 1;
  if (!ValidGadget(gadget) || Gui().Gadgets[gadget].Inner != widget) return -1;
  return gadget;
}

void QueueGadgetEvent(gpointer widget, GadgetEventKind kind) {
  if (Gui().Quiet > 0) return;
  int gadget = GadgetOf(widget);
  if (gadget < 0) return;
  QueueEvent(EventType::Gadget, Gui().Gadgets[gadget].Window, gadget, kind);
}

void OnUsed(GtkWidget* widget, gpointer) { QueueGadgetEvent(widget, GadgetEventKind::Change); }

void OnPageSwitched(GtkNotebook* notebook, GtkWidget*, guint, gpointer) {
  QueueGadgetEvent(notebook, GadgetEventKind::Change);
}

gboolean OnFocusIn(GtkWidget* widget, GdkEvent*, gpointer) {
  QueueGadgetEvent(widget, GadgetEventKind::Focus);
  return FALSE;
}

gboolean OnFocusOut(GtkWidget* widget, GdkEvent*, gpointer) {
  QueueGadgetEvent(widget, GadgetEventKind::LostFocus);
  return FALSE;
}

// A gadget's widget went away (freed, or with its window or tab control): forget it.
void OnGadgetDestroyed(GtkWidget* outer, gpointer data) {
  int gadget = GPOINTER_TO_INT(data);
  GadgetSlot& slot = Gui().Gadgets[gadget];
  if (slot.Outer != outer) return;
  if (slot.Kind == GadgetKind::Panel && ValidWindow(slot.Window)) {
    WindowSlot& window = Gui().Windows[slot.Window];
    if (window.GadgetParent != nullptr && gtk_widget_is_ancestor(window.GadgetParent, outer)) {
      window.GadgetParent = window.Client;
    }
  }
  slot = GadgetSlot{};
}

// The height of one line of text in the native windows' font.
int LineHeight(GtkWidget* label) {
  PangoLayout* layout = gtk_widget_create_pango_layout(label, "Ag");
  int height = 0;
  pango_layout_get_pixel_size(layout, nullptr, &height);
  g_object_unref(layout);
  return std::max(height, 1);
}

// Sets up the text of a control whose text may use `height` pixels: on one line, or,
// where the box holds more lines, wrapped between words (within a word only where one
// word is wider than the box). Text that still does not fit ends in an ellipsis.
void FitText(GtkWidget* label, float xalign, int height) {
  if (!GTK_IS_LABEL(label)) return;
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  gtk_label_set_xalign(GTK_LABEL(label), xalign);
  const int lines = height / LineHeight(label);
  if (lines < 2) return;
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  gtk_label_set_lines(GTK_LABEL(label), lines);
  gtk_label_set_justify(GTK_LABEL(label), xalign == 0.5f   ? GTK_JUSTIFY_CENTER
                                          : xalign == 1.0f ? GTK_JUSTIFY_RIGHT
                                                           : GTK_JUSTIFY_LEFT);
}

GtkWidget* ButtonLabel(const GadgetSlot& slot) { return gtk_bin_get_child(GTK_BIN(slot.Inner)); }

std::string ComboItemText(GtkWidget* combo, int item) {
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter iter;
  if (item < 0 || !gtk_tree_model_iter_nth_child(model, &iter, nullptr, item)) return {};
  gchar* text = nullptr;
  gtk_tree_model_get(model, &iter, 0, &text, -1);
  std::string result = text != nullptr ? text : "";
  g_free(text);
  return result;
}

int ComboItemCount(GtkWidget* combo) {
  return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string TabText(GtkWidget* notebook, int tab) {
  GtkWidget* page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), tab);
  if (page == nullptr) return {};
  const char* text = gtk_notebook_get_tab_label_text(GTK_NOTEBOOK(notebook), page);
  return text != nullptr ? text : "";
}

// ---- creation ----

// Places a new gadget's widget in its window and records it under its number.
bool Place(int gadget, int window, int x, int y, int width, int height, GadgetKind kind,
           GtkWidget* outer, GtkWidget* inner, int flags) {
  if (gadget < 0 || gadget >= MaxGadgets || !ValidWindow(window)) {
    g_object_ref_sink(outer);
    g_object_unref(outer);
    return false;
  }
  FreeGadget(gadget);
  QuietChange quiet;
  gtk_widget_set_size_request(outer, std::max(width, 0), std::max(height, 0));
  gtk_layout_put(GTK_LAYOUT(Gui().Windows[window].GadgetParent), outer, x, y);
  gtk_widget_show_all(outer);
  g_object_set_data(G_OBJECT(inner), "zolt-gadget", GINT_TO_POINTER(gadget + 1));
  g_signal_connect(outer, "destroy", G_CALLBACK(OnGadgetDestroyed), GINT_TO_POINTER(gadget));
  GadgetSlot& slot = Gui().Gadgets[gadget];
  slot.Kind = kind;
  slot.Window = window;
  slot.Outer = outer;
  slot.Inner = inner;
  slot.Flags = flags;
  return true;
}

void ApplyColours(const GadgetSlot& slot) {
  std::string back;
  std::string front;
  if (slot.BackColour != NoColour) {
    back = "background-color: " + CssColour(slot.BackColour) + "; background-image: none;";
  }
  if (slot.FrontColour != NoColour) front = "color: " + CssColour(slot.FrontColour) + ";";
  if (slot.Kind == GadgetKind::Text) {
    std::string border = (slot.Flags & GadgetBorder) ? "border: 1px solid #7A7A7A;" : "";
    SetWidgetCss(slot.Outer, "* { " + back + border + " }");
    SetWidgetCss(slot.Inner, "* { " + front + " }");
  } else {
    SetWidgetCss(slot.Inner, "* { " + back + front + " }");
  }
}

}  // namespace

namespace gtkgui {

bool ValidGadget(int gadget) {
  return gadget >= 0 && gadget < MaxGadgets && Gui().Gadgets[gadget].Kind != GadgetKind::None;
}

}  // namespace gtkgui

bool ButtonGadget(int gadget, int window, int x, int y, int width, int height,
                  const std::string& text, int flags) {
  GtkWidget* button = gtk_button_new_with_label(text.c_str());
  // Inside the button's 1-pixel border.
  FitText(gtk_bin_get_child(GTK_BIN(button)), 0.5f, height - 2);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::Button, button, button, flags)) {
    return false;
  }
  g_signal_connect(button, "clicked", G_CALLBACK(OnUsed), nullptr);
  return true;
}

bool CheckBoxGadget(int gadget, int window, int x, int y, int width, int height,
                    const std::string& text, int flags) {
  GtkWidget* box = gtk_check_button_new_with_label(text.c_str());
  FitText(gtk_bin_get_child(GTK_BIN(box)), 0.0f, height);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::CheckBox, box, box, flags)) {
    return false;
  }
  g_signal_connect(box, "toggled", G_CALLBACK(OnUsed), nullptr);
  return true;
}

bool ComboBoxGadget(int gadget, int window, int x, int y, int width, int height, int flags) {
  GtkWidget* combo = gtk_combo_box_text_new();
  GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
  for (GList* cell = cells; cell != nullptr; cell = cell->next) {
    g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "ypad", 0, nullptr);
  }
  g_list_free(cells);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::ComboBox, combo, combo, flags)) {
    return false;
  }
  g_signal_connect(combo, "changed", G_CALLBACK(OnUsed), nullptr);
  return true;
}

bool StringGadget(int gadget, int window, int x, int y, int width, int height,
                  const std::string& text, int flags) {
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 0);
  gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
  if (flags & GadgetReadOnly) gtk_editable_set_editable(GTK_EDITABLE(entry), FALSE);
  if (flags & GadgetBorderless) {
    gtk_entry_set_has_frame(GTK_ENTRY(entry), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(entry), "zolt-borderless");
  }
  if (flags & GadgetRightAligned) gtk_entry_set_alignment(GTK_ENTRY(entry), 1.0f);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::String, entry, entry, flags)) {
    return false;
  }
  g_signal_connect(entry, "changed", G_CALLBACK(OnUsed), nullptr);
  g_signal_connect(entry, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
  g_signal_connect(entry, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
  return true;
}

bool TextGadget(int gadget, int window, int x, int y, int width, int height,
                const std::string& text, int flags) {
  GtkWidget* box = gtk_event_box_new();
  GtkWidget* label = gtk_label_new(text.c_str());
  float xalign = (flags & GadgetCentred) ? 0.5f : (flags & GadgetRightAligned) ? 1.0f : 0.0f;
  FitText(label, xalign, height);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  gtk_container_add(GTK_CONTAINER(box), label);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::Text, box, label, flags)) {
    return false;
  }
  if (flags & GadgetBorder) ApplyColours(Gui().Gadgets[gadget]);
  return true;
}

bool PanelGadget(int gadget, int window, int x, int y, int width, int height) {
  GtkWidget* notebook = gtk_notebook_new();
  gtk_notebook_set_scrollable(GTK_NOTEBOOK(notebook), TRUE);
  if (!Place(gadget, window, x, y, width, height, GadgetKind::Panel, notebook, notebook, 0)) {
    return false;
  }
  g_signal_connect(notebook, "switch-page", G_CALLBACK(OnPageSwitched), nullptr);
  return true;
}

bool IsGadget(int gadget) { return ValidGadget(gadget); }

void FreeGadget(int gadget) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  gtk_widget_destroy(slot->Outer);  // the destroy handler clears the slot
}

// ---- texts, states and items ----

void SetGadgetText(int gadget, const std::string& text) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  switch (slot->Kind) {
    case GadgetKind::Button:
    case GadgetKind::CheckBox:
      if (GTK_IS_LABEL(ButtonLabel(*slot))) gtk_label_set_text(GTK_LABEL(ButtonLabel(*slot)), text.c_str());
      break;
    case GadgetKind::ComboBox: {
      // A drop-down list selects the first item of that text, letter case aside.
      int found = -1;
      const std::string wanted = Lower(text);
      for (int item = 0, count = ComboItemCount(slot->Inner); item < count; ++item) {
        if (Lower(ComboItemText(slot->Inner, item)) == wanted) {
          found = item;
          break;
        }
      }
      gtk_combo_box_set_active(GTK_COMBO_BOX(slot->Inner), found);
      break;
    }
    case GadgetKind::String: gtk_entry_set_text(GTK_ENTRY(slot->Inner), text.c_str()); break;
    case GadgetKind::Text: gtk_label_set_text(GTK_LABEL(slot->Inner), text.c_str()); break;
    case GadgetKind::Panel:
    case GadgetKind::None: break;
  }
}

std::string GetGadgetText(int gadget) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return {};
  switch (slot->Kind) {
    case GadgetKind::Button:
    case GadgetKind::CheckBox:
      return GTK_IS_LABEL(ButtonLabel(*slot)) ? gtk_label_get_text(GTK_LABEL(ButtonLabel(*slot))) : "";
    case GadgetKind::ComboBox:
      return ComboItemText(slot->Inner, gtk_combo_box_get_active(GTK_COMBO_BOX(slot->Inner)));
    case GadgetKind::String: return gtk_entry_get_text(GTK_ENTRY(slot->Inner));
    case GadgetKind::Text: return gtk_label_get_text(GTK_LABEL(slot->Inner));
    case GadgetKind::Panel:
      return TabText(slot->Inner, gtk_notebook_get_current_page(GTK_NOTEBOOK(slot->Inner)));
    case GadgetKind::None: break;
  }
  return {};
}

void SetGadgetState(int gadget, int state) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  switch (slot->Kind) {
    case GadgetKind::CheckBox:
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(slot->Inner), state != 0);
      break;
    case GadgetKind::ComboBox:
      gtk_combo_box_set_active(GTK_COMBO_BOX(slot->Inner),
                               state >= 0 && state < ComboItemCount(slot->Inner) ? state : -1);
      break;
    case GadgetKind::Panel:
      if (state >= 0 && state < gtk_notebook_get_n_pages(GTK_NOTEBOOK(slot->Inner))) {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(slot->Inner), state);
      }
      break;
    default: break;
  }
}

int GetGadgetState(int gadget) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return 0;
  switch (slot->Kind) {
    case GadgetKind::CheckBox:
      return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(slot->Inner)) ? 1 : 0;
    case GadgetKind::ComboBox: return gtk_combo_box_get_active(GTK_COMBO_BOX(slot->Inner));
    case GadgetKind::Panel: return gtk_notebook_get_current_page(GTK_NOTEBOOK(slot->Inner));
    default: return 0;
  }
}

void AddGadgetItem(int gadget, const std::string& text) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  if (slot->Kind == GadgetKind::ComboBox) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(slot->Inner), text.c_str());
  } else if (slot->Kind == GadgetKind::Panel) {
    GtkWidget* page = gtk_layout_new(nullptr, nullptr);
    GtkWidget* label = gtk_label_new(text.c_str());
    // Presses on a tab's page belong to the tab control, not to the window.
    gtk_widget_add_events(page, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(page, "button-press-event", G_CALLBACK(gtk_true), nullptr);
    g_signal_connect(page, "button-release-event", G_CALLBACK(gtk_true), nullptr);
    gtk_widget_show(page);
    gtk_notebook_append_page(GTK_NOTEBOOK(slot->Inner), page, label);
    // The controls built next belong on this tab.
    Gui().Windows[slot->Window].GadgetParent = page;
  }
}

void ClearGadgetItems(int gadget) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  if (slot->Kind == GadgetKind::ComboBox) {
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(slot->Inner));
  } else if (slot->Kind == GadgetKind::Panel) {
    WindowSlot& window = Gui().Windows[slot->Window];
    if (window.GadgetParent != nullptr && gtk_widget_is_ancestor(window.GadgetParent, slot->Inner)) {
      window.GadgetParent = window.Client;
    }
    while (gtk_notebook_get_n_pages(GTK_NOTEBOOK(slot->Inner)) > 0) {
      gtk_notebook_remove_page(GTK_NOTEBOOK(slot->Inner), -1);
    }
  }
}

int CountGadgetItems(int gadget) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return 0;
  if (slot->Kind == GadgetKind::ComboBox) return ComboItemCount(slot->Inner);
  if (slot->Kind == GadgetKind::Panel) return gtk_notebook_get_n_pages(GTK_NOTEBOOK(slot->Inner));
  return 0;
}

std::string GetGadgetItemText(int gadget, int item) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return {};
  if (slot->Kind == GadgetKind::ComboBox) return ComboItemText(slot->Inner, item);
  if (slot->Kind == GadgetKind::Panel) return TabText(slot->Inner, item);
  return {};
}

// ---- colours, disabling and hiding ----

void SetGadgetBackColour(int gadget, uint32_t colour) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  slot->BackColour = colour & 0xFFFFFF;
  ApplyColours(*slot);
}

void SetGadgetFrontColour(int gadget, uint32_t colour) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  slot->FrontColour = colour & 0xFFFFFF;
  ApplyColours(*slot);
}

void DisableGadget(int gadget, bool disabled) {
  GadgetSlot* slot = Slot(gadget);
  if (slot != nullptr) gtk_widget_set_sensitive(slot->Outer, !disabled);
}

void HideGadget(int gadget, bool hidden) {
  GadgetSlot* slot = Slot(gadget);
  if (slot == nullptr) return;
  QuietChange quiet;
  gtk_widget_set_visible(slot->Outer, !hidden);
}

}  // namespace zolt::platform
