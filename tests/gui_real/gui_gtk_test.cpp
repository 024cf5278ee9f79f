// The gtk gui on a real (virtual) display: windows, the close box, events, gadgets,
// tabs, the pointer and the surface. The tests play the user by emitting the widgets'
// own signals (a click, a toggle, a choice) and by moving the display's pointer.
#include <gtest/gtest.h>

#include <signal.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

namespace {

using namespace zolt::platform;
namespace g = zolt::platform::gtkgui;

constexpr int Main = 23;
constexpr int Settings = 300;

class GtkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // A user's scaling must not change the program's pixels.
    g_setenv("GDK_SCALE", "2", TRUE);
    ASSERT_TRUE(InitialiseGui());
  }
};

const auto* const Environment = ::testing::AddGlobalTestEnvironment(new GtkEnvironment);

// Lets GTK work for a while without taking any program event.
void Pump(int milliseconds = 50) {
  const gint64 end = g_get_monotonic_time() + milliseconds * 1000;
  while (g_get_monotonic_time() < end) {
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

// Pumps until the condition holds (at most 5 s).
template <typename Condition>
bool PumpUntil(Condition condition) {
  for (int i = 0; i < 500 && !condition(); ++i) Pump(10);
  return condition();
}

// Takes every queued event but activation changes, which follow the pointer on a
// display without a window manager.
std::vector<WindowEvent> DrainEvents() {
  std::vector<WindowEvent> events;
  for (WindowEvent e = WaitWindowEvent(0); e.Type != EventType::None; e = WaitWindowEvent(0)) {
    if (e.Type != EventType::Activate && e.Type != EventType::Deactivate) events.push_back(e);
  }
  return events;
}

GtkWidget* Toplevel(int window) { return g::Gui().Windows[window].Toplevel; }
GtkWidget* Outer(int gadget) { return g::Gui().Gadgets[gadget].Outer; }
GtkWidget* Inner(int gadget) { return g::Gui().Gadgets[gadget].Inner; }

GtkAllocation Allocation(GtkWidget* widget) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  return allocation;
}

uint32_t ShownPixel(GtkWidget* widget, int x, int y);

bool Mapped(int window) {
  return IsWindow(window) && gtk_widget_get_mapped(Toplevel(window)) &&
         Allocation(g::Gui().Windows[window].Client).width > 1;
}

class GtkGui : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseSurface();
    for (int w = 0; w < MaxWindows; ++w) CloseWindow(w);
    Pump(20);
    DrainEvents();
  }

  static void OpenMain(int width = 1400, int height = 800) {
    int flags = WindowTitleBar | WindowSystemMenu | WindowMinimizeBox | WindowMaximizeBox |
                WindowSizeable | WindowCentred;
    ASSERT_TRUE(OpenWindow(Main, 0, 0, width, height, "ZOLT test", flags));
    ASSERT_TRUE(PumpUntil([] { return Mapped(Main); }));
    DrainEvents();
  }

  static void OpenSettings() {
    ASSERT_TRUE(OpenWindow(Settings, 0, 0, 1300, 800, "Settings",
                           WindowTitleBar | WindowSystemMenu | WindowCentred));
    ASSERT_TRUE(PumpUntil([] { return Mapped(Settings); }));
    DrainEvents();
  }
};

// ---- windows ----

TEST_F(GtkGui, WindowsHaveTheirClientSizeInDevicePixelsAndTheirTitle) {
  OpenMain();
  EXPECT_EQ(WindowClientWidth(Main), 1400);
  EXPECT_EQ(WindowClientHeight(Main), 800);
  GtkAllocation client = Allocation(g::Gui().Windows[Main].Client);
  EXPECT_EQ(client.width, 1400);
  EXPECT_EQ(client.height, 800);
  EXPECT_EQ(gdk_window_get_scale_factor(gtk_widget_get_window(Toplevel(Main))), 1);
  EXPECT_EQ(WindowTitle(Main), "ZOLT test");
  SetWindowTitle(Main, "ZOLT 25.017 \xC2\xB5");
  EXPECT_EQ(WindowTitle(Main), "ZOLT 25.017 \xC2\xB5");

  OpenSettings();  // a window that cannot be resized gets its exact size too
  EXPECT_EQ(Allocation(g::Gui().Windows[Settings].Client).width, 1300);
  EXPECT_EQ(Allocation(g::Gui().Windows[Settings].Client).height, 800);
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(Toplevel(Settings))));
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(Toplevel(Main))));

  SetWindowColour(Settings, MakeColour(0x12, 0x34, 0x56));
  EXPECT_EQ(ShownPixel(Toplevel(Settings), 1, 1), 0x123456u);

  EXPECT_FALSE(OpenWindow(-1, 0, 0, 10, 10, "x", 0));
  EXPECT_FALSE(OpenWindow(MaxWindows, 0, 0, 10, 10, "x", 0));
  EXPECT_EQ(WindowClientWidth(5), 0);
  EXPECT_EQ(WindowTitle(5), "");
}

TEST_F(GtkGui, TheCloseBoxQueuesCloseAndLeavesTheWindowToTheProgram) {
  OpenMain();
  gtk_window_close(GTK_WINDOW(Toplevel(Main)));
  Pump();
  std::vector<WindowEvent> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Type, EventType::Close);
  EXPECT_EQ(events[0].Window, Main);
  EXPECT_TRUE(IsWindow(Main));
  EXPECT_TRUE(gtk_widget_get_visible(Toplevel(Main)));

  CloseWindow(Main);
  EXPECT_FALSE(IsWindow(Main));
}

TEST_F(GtkGui, ResizingTheWindowQueuesOneSizeEventWithTheNewClientSize) {
  OpenMain();
  gtk_window_resize(GTK_WINDOW(Toplevel(Main)), 1000, 600);
  ASSERT_TRUE(PumpUntil([] { return WindowClientWidth(Main) == 1000; }));
  Pump();
  EXPECT_EQ(WindowClientHeight(Main), 600);
  std::vector<WindowEvent> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Type, EventType::Size);
  EXPECT_EQ(events[0].Window, Main);
}

TEST_F(GtkGui, ReopeningANumberReplacesTheWindowAndClosingFreesItsGadgets) {
  OpenSettings();
  ASSERT_TRUE(ButtonGadget(278, Settings, 312, 72, 96, 20, "Scan"));
  gtk_button_clicked(GTK_BUTTON(Inner(278)));  // an event still queued for the window
  OpenSettings();
  EXPECT_FALSE(IsGadget(278));
  EXPECT_TRUE(DrainEvents().empty());

  ASSERT_TRUE(ButtonGadget(278, Settings, 312, 72, 96, 20, "Scan"));
  ASSERT_TRUE(CheckBoxGadget(297, Settings, 312, 120, 96, 20, "Update Check"));
  // A new gadget under a number in use replaces the old one.
  ASSERT_TRUE(StringGadget(297, Settings, 312, 120, 96, 20, "now a field"));
  EXPECT_EQ(GetGadgetText(297), "now a field");
  EXPECT_TRUE(GTK_IS_ENTRY(Inner(297)));
  CloseWindow(Settings);
  EXPECT_FALSE(IsGadget(278));
  EXPECT_FALSE(IsGadget(297));
  EXPECT_FALSE(ButtonGadget(278, Settings, 0, 0, 10, 10, "no window"));
}

// ---- events ----

TEST_F(GtkGui, EventsAreHandedOutOnePerCallInOrder) {
  OpenSettings();
  ASSERT_TRUE(ButtonGadget(278, Settings, 312, 72, 96, 20, "Scan"));
  ASSERT_TRUE(ButtonGadget(282, Settings, 312, 144, 96, 20, "Update + Save"));
  DrainEvents();
  gtk_button_clicked(GTK_BUTTON(Inner(282)));
  gtk_button_clicked(GTK_BUTTON(Inner(278)));
  WindowEvent first = WaitWindowEvent(1);
  EXPECT_EQ(first.Type, EventType::Gadget);
  EXPECT_EQ(first.Window, Settings);
  EXPECT_EQ(first.Gadget, 282);
  WindowEvent second = WaitWindowEvent(1);
  EXPECT_EQ(second.Gadget, 278);
  EXPECT_TRUE(DrainEvents().empty());
}

// Takes every queued event and keeps the activation changes of a window.
std::vector<EventType> ActivationChanges(int window) {
  std::vector<EventType> changes;
  for (WindowEvent e = WaitWindowEvent(0); e.Type != EventType::None; e = WaitWindowEvent(0)) {
    if ((e.Type == EventType::Activate || e.Type == EventType::Deactivate) && e.Window == window)
      changes.push_back(e.Type);
  }
  return changes;
}

// Keeps every event of the display from GTK, as a display too busy to send them would.
GdkFilterReturn HoldEvents(GdkXEvent*, GdkEvent*, gpointer) { return GDK_FILTER_REMOVE; }

TEST_F(GtkGui, AWindowKeepsItsActivationWhileItsOwnDropDownListIsOpen) {
  OpenMain();
  OpenSettings();
  ASSERT_TRUE(ComboBoxGadget(287, Settings, 312, 120, 96, 20));
  AddGadgetItem(287, "10 Hz");
  AddGadgetItem(287, "20 Hz");
  // Without a window manager too, a window that is shown takes the keyboard.
  ASSERT_TRUE(PumpUntil([] { return GetActiveWindow() == Settings; }));
  GtkComboBox* list = GTK_COMBO_BOX(Inner(287));
  ActivationChanges(Settings);
  gtk_combo_box_popup(list);
  Pump(400);
  EXPECT_EQ(GetActiveWindow(), Settings);
  gtk_combo_box_popdown(list);
  Pump(400);
  EXPECT_EQ(GetActiveWindow(), Settings);
  EXPECT_TRUE(ActivationChanges(Settings).empty());

  // GTK told late that the activation came back (the display's events held up here, as
  // on a loaded machine): the window keeps it while the keyboard is still in it.
  gtk_combo_box_popup(list);
  Pump(200);
  gdk_window_add_filter(nullptr, HoldEvents, nullptr);
  gtk_combo_box_popdown(list);
  Pump(1000);
  gdk_window_remove_filter(nullptr, HoldEvents, nullptr);
  EXPECT_EQ(GetActiveWindow(), Settings);
  EXPECT_TRUE(ActivationChanges(Settings).empty());

  // Another window taken while the list is open: the loss shows once the list has gone.
  gtk_combo_box_popup(list);
  Pump(200);
  SetActiveWindow(Main);
  Pump(200);
  gtk_combo_box_popdown(list);
  std::vector<EventType> changes;
  ASSERT_TRUE(PumpUntil([&] {
    for (EventType change : ActivationChanges(Settings)) changes.push_back(change);
    return !changes.empty();
  }));
  EXPECT_EQ(changes, std::vector<EventType>{EventType::Deactivate});
  EXPECT_NE(GetActiveWindow(), Settings);
}

// ---- gadgets ----
// ---- gadgets ----

TEST_F(GtkGui, TheUsersActionsBecomeGadgetEvents) {
  OpenSettings();
  ASSERT_TRUE(CheckBoxGadget(307, Settings, 312, 48, 96, 20, "Use Direct"));
  ASSERT_TRUE(StringGadget(306, Settings, 168, 48, 120, 20, "--"));
  ASSERT_TRUE(ComboBoxGadget(89, Settings, 312, 48, 96, 20));
  AddGadgetItem(89, "KVR820");
  AddGadgetItem(89, "PMX40");
  ASSERT_TRUE(PanelGadget(40, Settings, 5, 5, 1290, 790));
  AddGadgetItem(40, "Language");
  AddGadgetItem(40, "Instrument");
  DrainEvents();

  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Inner(307)), TRUE);
  gtk_entry_set_text(GTK_ENTRY(Inner(306)), "5");
  gtk_combo_box_set_active(GTK_COMBO_BOX(Inner(89)), 1);
  gtk_notebook_set_current_page(GTK_NOTEBOOK(Inner(40)), 1);
  std::vector<WindowEvent> events = DrainEvents();
  ASSERT_EQ(events.size(), 4u);
  const int expected[] = {307, 306, 89, 40};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(events[i].Type, EventType::Gadget);
    EXPECT_EQ(events[i].Window, Settings);
    EXPECT_EQ(events[i].Gadget, expected[i]);
    EXPECT_EQ(events[i].Kind, GadgetEventKind::Change);
  }
  EXPECT_EQ(GetGadgetState(307), 1);
  EXPECT_EQ(GetGadgetText(306), "5");
  EXPECT_EQ(GetGadgetState(89), 1);
  EXPECT_EQ(GetGadgetState(40), 1);
}

TEST_F(GtkGui, TheProgramsOwnChangesQueueNoEvents) {
  OpenSettings();
  ASSERT_TRUE(CheckBoxGadget(307, Settings, 312, 48, 96, 20, "Use Direct"));
  ASSERT_TRUE(StringGadget(306, Settings, 168, 48, 120, 20, "--"));
  ASSERT_TRUE(ComboBoxGadget(281, Settings, 312, 120, 216, 20));
  ASSERT_TRUE(PanelGadget(40, Settings, 5, 5, 1290, 790));
  AddGadgetItem(40, "Language");
  AddGadgetItem(40, "Comms");
  SetGadgetState(40, 1);
  SetGadgetState(307, 1);
  SetGadgetState(307, 0);
  SetGadgetText(306, "12.5");
  AddGadgetItem(281, "COM 3");
  SetGadgetState(281, 0);
  SetGadgetText(281, "COM 3");
  ClearGadgetItems(281);
  HideGadget(306, true);
  HideGadget(306, false);
  DisableGadget(307, true);
  FreeGadget(307);
  Pump();
  EXPECT_TRUE(DrainEvents().empty());
  EXPECT_EQ(GetGadgetText(306), "12.5");
  EXPECT_EQ(GetGadgetState(40), 1);
}

TEST_F(GtkGui, ControlsKeepTheSizeTheyWereCreatedWithWhateverTheirText) {
  OpenSettings();
  const std::string longText(200, 'W');
  ASSERT_TRUE(ButtonGadget(1, Settings, 10, 10, 96, 20, longText));
  ASSERT_TRUE(CheckBoxGadget(2, Settings, 10, 40, 48, 20, longText));
  ASSERT_TRUE(ComboBoxGadget(3, Settings, 10, 70, 96, 20));
  AddGadgetItem(3, longText);
  SetGadgetState(3, 0);
  ASSERT_TRUE(StringGadget(4, Settings, 10, 100, 96, 20, longText, GadgetBorderless));
  ASSERT_TRUE(TextGadget(5, Settings, 10, 130, 288, 20, longText, GadgetBorder));
  ASSERT_TRUE(ButtonGadget(6, Settings, 24, 120, 204, 40, "English / English"));
  ASSERT_TRUE(PanelGadget(7, Settings, 400, 5, 800, 400));
  for (int tab = 0; tab < 13; ++tab) AddGadgetItem(7, "Displayed Results " + std::to_string(tab));
  Pump(100);
  struct Expected {
    int gadget, x, y, width, height;
  };
  const Expected expected[] = {{1, 10, 10, 96, 20},  {2, 10, 40, 48, 20},  {3, 10, 70, 96, 20},
                               {4, 10, 100, 96, 20}, {5, 10, 130, 288, 20}, {6, 24, 120, 204, 40},
                               {7, 400, 5, 800, 400}};
  for (const Expected& e : expected) {
    GtkAllocation a = Allocation(Outer(e.gadget));
    EXPECT_EQ(a.x, e.x) << "gadget " << e.gadget;
    EXPECT_EQ(a.y, e.y) << "gadget " << e.gadget;
    EXPECT_EQ(a.width, e.width) << "gadget " << e.gadget;
    EXPECT_EQ(a.height, e.height) << "gadget " << e.gadget;
  }
  // The window did not grow to make room.
  EXPECT_EQ(Allocation(g::Gui().Windows[Settings].Client).width, 1300);
}

TEST_F(GtkGui, TextsWrapInsideBoxesTallEnoughForMoreLinesAndEndInAnEllipsisElsewhere) {
  OpenSettings();
  const std::string text = "To calibrate follow the instructions below in numeric sequence, then enter the readings.";
  const struct {
    int Height, ButtonHeight;
    bool Wrapped;
  } boxes[] = {{45, 40, true}, {20, 20, false}};
  for (const auto& box : boxes) {
    ASSERT_TRUE(TextGadget(1, Settings, 10, 10, 300, box.Height, text));
    ASSERT_TRUE(ButtonGadget(2, Settings, 10, 60, 120, box.ButtonHeight, "Load existing 'PMX_cal.txt' file"));
    Pump(100);
    for (GtkWidget* label : {Inner(1), gtk_bin_get_child(GTK_BIN(Inner(2)))}) {
      PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
      int height = 0;
      pango_layout_get_pixel_size(layout, nullptr, &height);
      EXPECT_EQ(pango_layout_get_line_count(layout) > 1, box.Wrapped) << box.Height;
      EXPECT_EQ(pango_layout_is_ellipsized(layout), !box.Wrapped) << box.Height;
      EXPECT_LE(height, box.Height);
    }
  }
}

TEST_F(GtkGui, ControlsBuiltAfterATabGoOnThatTabAndGoWithTheTabControl) {
  OpenSettings();
  ASSERT_TRUE(ButtonGadget(1, Settings, 5, 5, 50, 20, "before"));
  ASSERT_TRUE(PanelGadget(40, Settings, 5, 5, 1290, 790));
  AddGadgetItem(40, "Language");
  ASSERT_TRUE(StringGadget(41, Settings, 312, 48, 216, 20, "--"));
  AddGadgetItem(40, "Instrument");
  ASSERT_TRUE(ComboBoxGadget(89, Settings, 312, 48, 96, 20));
  GtkNotebook* notebook = GTK_NOTEBOOK(Inner(40));
  EXPECT_EQ(gtk_widget_get_parent(Outer(41)), gtk_notebook_get_nth_page(notebook, 0));
  EXPECT_EQ(gtk_widget_get_parent(Outer(89)), gtk_notebook_get_nth_page(notebook, 1));
  EXPECT_EQ(gtk_widget_get_parent(Outer(1)), g::Gui().Windows[Settings].Client);
  EXPECT_EQ(CountGadgetItems(40), 2);
  EXPECT_EQ(GetGadgetItemText(40, 1), "Instrument");
  EXPECT_EQ(GetGadgetState(40), 0);
  SetGadgetState(40, 1);
  EXPECT_EQ(GetGadgetState(40), 1);
  EXPECT_EQ(GetGadgetText(40), "Instrument");
  SetGadgetState(40, 7);  // no such tab: stays
  EXPECT_EQ(GetGadgetState(40), 1);

  // Positions on a tab are relative to the tab's page.
  Pump(100);
  GtkAllocation field = Allocation(Outer(41));
  EXPECT_EQ(field.x, 312);
  EXPECT_EQ(field.y, 48);

  FreeGadget(40);
  EXPECT_FALSE(IsGadget(40));
  EXPECT_FALSE(IsGadget(41));
  EXPECT_FALSE(IsGadget(89));
  EXPECT_TRUE(IsGadget(1));
  ASSERT_TRUE(ButtonGadget(2, Settings, 5, 30, 50, 20, "after"));
  EXPECT_EQ(gtk_widget_get_parent(Outer(2)), g::Gui().Windows[Settings].Client);

  ASSERT_TRUE(PanelGadget(40, Settings, 5, 5, 1290, 790));
  AddGadgetItem(40, "Comms");
  ASSERT_TRUE(ButtonGadget(278, Settings, 312, 72, 96, 20, "Scan"));
  ClearGadgetItems(40);
  EXPECT_EQ(CountGadgetItems(40), 0);
  EXPECT_FALSE(IsGadget(278));
  EXPECT_EQ(GetGadgetState(40), -1);
}

TEST_F(GtkGui, DropDownListsChooseItemsByNumberOrByTextInAnyLetterCase) {
  OpenSettings();
  ASSERT_TRUE(ComboBoxGadget(89, Settings, 312, 48, 96, 20));
  EXPECT_EQ(GetGadgetState(89), -1);
  EXPECT_EQ(GetGadgetText(89), "");
  for (const char* model : {"KVR820", "PMX40", "PMX400"}) AddGadgetItem(89, model);
  EXPECT_EQ(CountGadgetItems(89), 3);
  EXPECT_EQ(GetGadgetItemText(89, 2), "PMX400");
  EXPECT_EQ(GetGadgetItemText(89, 3), "");
  EXPECT_EQ(GetGadgetItemText(89, -1), "");

  SetGadgetText(89, "pmx40");
  EXPECT_EQ(GetGadgetState(89), 1);
  EXPECT_EQ(GetGadgetText(89), "PMX40");
  SetGadgetText(89, "KVR864");
  EXPECT_EQ(GetGadgetState(89), -1);
  SetGadgetState(89, 2);
  EXPECT_EQ(GetGadgetText(89), "PMX400");
  SetGadgetState(89, 3);
  EXPECT_EQ(GetGadgetState(89), -1);
  ClearGadgetItems(89);
  EXPECT_EQ(CountGadgetItems(89), 0);
}

// ---- pointer ----

TEST_F(GtkGui, ThePointerIsInClientPixelsAndMinusOneOutsideTheClientArea) {
  OpenMain();
  GdkWindow* bin = gtk_layout_get_bin_window(GTK_LAYOUT(g::Gui().Windows[Main].Client));
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(bin, &originX, &originY);
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  auto moveTo = [&](int x, int y) {
    gdk_device_warp(pointer, gdk_screen_get_default(), originX + x, originY + y);
    gdk_display_sync(gdk_display_get_default());
    WaitWindowEvent(0);  // a new turn reads the pointer afresh
  };
  moveTo(10, 20);
  EXPECT_EQ(WindowMouseX(Main), 10);
  EXPECT_EQ(WindowMouseY(Main), 20);
  moveTo(1399, 799);
  EXPECT_EQ(WindowMouseX(Main), 1399);
  EXPECT_EQ(WindowMouseY(Main), 799);
  moveTo(1400, 300);
  EXPECT_EQ(WindowMouseX(Main), -1);
  EXPECT_EQ(WindowMouseY(Main), -1);
  moveTo(300, -1);
  EXPECT_EQ(WindowMouseX(Main), -1);
  EXPECT_EQ(WindowMouseY(Main), -1);
  EXPECT_EQ(WindowMouseX(77), -1);
}


// ---- drawing surface ----

GtkWidget* SurfaceArea(int window) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(g::Gui().Windows[window].Client));
  GtkWidget* area = nullptr;
  for (GList* child = children; child != nullptr; child = child->next) {
    if (GTK_IS_DRAWING_AREA(child->data)) area = GTK_WIDGET(child->data);
  }
  g_list_free(children);
  return area;
}

// What a widget shows: its drawing painted into an image of its size.
uint32_t ShownPixel(GtkWidget* area, int x, int y) {
  GtkAllocation a = Allocation(area);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
  cairo_t* cr = cairo_create(image);
  gtk_widget_draw(area, cr);
  cairo_destroy(cr);
  cairo_surface_flush(image);
  const uint8_t* row = cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
  uint32_t pixel = *reinterpret_cast<const uint32_t*>(row + x * 4) & 0xFFFFFF;
  cairo_surface_destroy(image);
  return pixel;  // 0xRRGGBB
}

TEST_F(GtkGui, TheSurfaceSitsAtTheTopLeftAtItsOwnSizeAndShowsTheCopiedCanvas) {
  OpenMain();
  ASSERT_TRUE(OpenSurface(Main, 0, 0));  // the first open of the program is at 0 x 0
  EXPECT_TRUE(IsSurfaceOpen());
  // Larger than the client area (a dense display): clipped, and the window keeps its size.
  ASSERT_TRUE(OpenSurface(Main, 2100, 1200));
  Pump(100);
  GtkWidget* area = SurfaceArea(Main);
  ASSERT_NE(area, nullptr);
  GtkAllocation a = Allocation(area);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, 2100);
  EXPECT_EQ(a.height, 1200);
  EXPECT_EQ(WindowClientWidth(Main), 1400);
  EXPECT_EQ(Allocation(g::Gui().Windows[Main].Client).height, 800);
  EXPECT_EQ(ShownPixel(area, 5, 5), 0x000000u);  // black until a frame arrives

  ASSERT_TRUE(CreateImage(38, 1920, 1080));
  ASSERT_TRUE(StartDrawing(38));
  DrawBox(0, 0, 1920, 1080, MakeColour(0x20, 0x60, 0xA0));
  DrawBox(1919, 1079, 1, 1, MakeColour(0xFF, 0, 0));
  StopDrawing();
  CopyImageToSurface(38, 0, 0);
  PresentSurface();
  EXPECT_EQ(ShownPixel(area, 0, 0), 0x2060A0u);
  EXPECT_EQ(ShownPixel(area, 1919, 1079), 0xFF0000u);
  EXPECT_EQ(ShownPixel(area, 1920, 1080), 0x000000u);  // outside the canvas stays black

  // Later copies take what drawing changed since; a canvas made anew is taken whole.
  ASSERT_TRUE(StartDrawing(38));
  DrawBox(100, 100, 4, 4, MakeColour(0xFF, 0xFF, 0));
  StopDrawing();
  CopyImageToSurface(38, 0, 0);
  PresentSurface();
  EXPECT_EQ(ShownPixel(area, 101, 101), 0xFFFF00u);
  EXPECT_EQ(ShownPixel(area, 99, 99), 0x2060A0u);
  ASSERT_TRUE(CreateImage(38, 1920, 1080));
  CopyImageToSurface(38, 0, 0);
  EXPECT_EQ(ShownPixel(area, 101, 101), 0x000000u);
  ASSERT_TRUE(StartDrawing(38));
  DrawBox(0, 0, 1920, 1080, MakeColour(0x20, 0x60, 0xA0));
  StopDrawing();
  CopyImageToSurface(38, 0, 0);

  // A copy at an offset is clipped at the surface's edges on every side.
  ASSERT_TRUE(CreateImage(39, 10, 10));
  ASSERT_TRUE(StartDrawing(39));
  DrawBox(0, 0, 10, 10, MakeColour(0, 0xFF, 0));
  StopDrawing();
  CopyImageToSurface(39, -5, -5);
  CopyImageToSurface(39, 2095, 1195);
  CopyImageToSurface(39, 5000, 0);
  CopyImageToSurface(77, 0, 0);  // no such image: nothing happens
  EXPECT_EQ(ShownPixel(area, 4, 4), 0x00FF00u);
  EXPECT_EQ(ShownPixel(area, 5, 5), 0x2060A0u);
  EXPECT_EQ(ShownPixel(area, 2099, 1199), 0x00FF00u);

  CloseSurface();
  EXPECT_FALSE(IsSurfaceOpen());
  EXPECT_EQ(SurfaceArea(Main), nullptr);
  CopyImageToSurface(38, 0, 0);  // harmless when closed
  PresentSurface();

  ASSERT_TRUE(OpenSurface(Main, 1400, 800));
  CloseWindow(Main);  // the surface goes with its window
  EXPECT_FALSE(IsSurfaceOpen());
  EXPECT_FALSE(OpenSurface(Main, 10, 10));
}

// ---- dialogs ----

// Answers the next dialog that appears, as the user would, once the dialog runs.
struct DialogAnswer {
  std::string Title;
  std::string Text;
  GtkMessageType Type = GTK_MESSAGE_OTHER;
  bool Modal = false;
  int Buttons = 0;  // 1 for OK, 100 for each other answer
  std::string Folder;  // chosen in a folder chooser; empty: cancel
  bool FolderShown = false;
  std::string Icons;  // of a message box
};

GtkWidget* FindDialog() {
  GList* toplevels = gtk_window_list_toplevels();
  GtkWidget* dialog = nullptr;
  for (GList* w = toplevels; w != nullptr; w = w->next) {
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) dialog = GTK_WIDGET(w->data);
  }
  g_list_free(toplevels);
  return dialog;
}

// The theme's icons of the images a dialog shows.
void ShownIcons(GtkWidget* widget, gpointer names) {
  const gchar* name = nullptr;
  if (GTK_IS_IMAGE(widget) && gtk_widget_is_visible(widget)) {
    gtk_image_get_icon_name(GTK_IMAGE(widget), &name, nullptr);
    if (name != nullptr && gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), name))
      *static_cast<std::string*>(names) += name;
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), ShownIcons, names);
}

gboolean AnswerDialog(gpointer data) {
  auto* answer = static_cast<DialogAnswer*>(data);
  GtkWidget* dialog = FindDialog();
  if (dialog == nullptr) return G_SOURCE_CONTINUE;
  answer->Title = gtk_window_get_title(GTK_WINDOW(dialog));
  answer->Modal = gtk_window_get_modal(GTK_WINDOW(dialog));
  if (GTK_IS_MESSAGE_DIALOG(dialog)) {
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, "message-type", &answer->Type, nullptr);
    answer->Text = text != nullptr ? text : "";
    g_free(text);
    ShownIcons(dialog, &answer->Icons);
    for (GtkResponseType response : {GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, GTK_RESPONSE_CLOSE,
                                     GTK_RESPONSE_YES, GTK_RESPONSE_NO}) {
      if (gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response) != nullptr) {
        answer->Buttons += response == GTK_RESPONSE_OK ? 1 : 100;
      }
    }
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  } else if (answer->Folder.empty()) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  } else {
    // Go into the folder, and press Select once the chooser shows it.
    if (!answer->FolderShown) {
      gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), answer->Folder.c_str());
      answer->FolderShown = true;
    }
    gchar* shown = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    bool ready = shown != nullptr && answer->Folder == shown;
    g_free(shown);
    if (!ready) return G_SOURCE_CONTINUE;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  }
  return G_SOURCE_REMOVE;
}

TEST_F(GtkGui, MessageBoxesAreModalWithOneOkButtonAndTheirIcon) {
  OpenMain();
  const std::tuple<MessageIcon, GtkMessageType, const char*> icons[] = {
      {MessageIcon::None, GTK_MESSAGE_OTHER, ""},
      {MessageIcon::Information, GTK_MESSAGE_INFO, "dialog-information"},
      {MessageIcon::Warning, GTK_MESSAGE_WARNING, "dialog-warning"},
      {MessageIcon::Error, GTK_MESSAGE_ERROR, "dialog-error"}};
  for (const auto& [icon, type, image] : icons) {
    DialogAnswer answer;
    g_timeout_add(50, AnswerDialog, &answer);
    ShowMessageBox("Error", "Can't open windowed screen!", icon);
    EXPECT_EQ(answer.Title, "Error");
    EXPECT_EQ(answer.Text, "Can't open windowed screen!");
    EXPECT_EQ(answer.Type, type);
    EXPECT_EQ(answer.Icons, image);
    EXPECT_TRUE(answer.Modal);
    EXPECT_EQ(answer.Buttons, 1);
  }
  EXPECT_EQ(FindDialog(), nullptr);
  EXPECT_EQ(GetActiveWindow(), Main);  // the window under the box is active again
}

TEST_F(GtkGui, ATerminationSignalAnswersAnOpenMessageBox) {
  OpenMain();
  WatchStopSignals();
  g_timeout_add(50, [](gpointer) -> gboolean {
    ::raise(SIGTERM);
    return G_SOURCE_REMOVE;
  }, nullptr);
  ShowMessageBox("Error", "Left open", MessageIcon::Error);
  EXPECT_EQ(FindDialog(), nullptr);
  EXPECT_EQ(StopSignalReceived(), SIGTERM);
  WatchStopSignals();  // forgotten for the tests after this one, and the usual ending back
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::signal(signal, SIG_DFL);
}

TEST_F(GtkGui, TheFolderChooserGivesTheFolderWithATrailingSlashOrNothing) {
  OpenSettings();
  gchar* folder = g_dir_make_tmp("zolt-folder-XXXXXX", nullptr);
  ASSERT_NE(folder, nullptr);
  DialogAnswer choose;
  choose.Folder = folder;
  g_timeout_add(50, AnswerDialog, &choose);
  EXPECT_EQ(ChooseFolder("Select folder", "/tmp"), std::string(folder) + "/");
  EXPECT_EQ(choose.Title, "Select folder");

  DialogAnswer cancel;
  g_timeout_add(50, AnswerDialog, &cancel);
  EXPECT_EQ(ChooseFolder("Select folder", "/no/such/folder"), "");
  g_rmdir(folder);
  g_free(folder);
}

// ---- help ----

// A stand-in viewer that records its argument and the scale setting it was given
// ("argument|scale"), and then lingers, as a viewer does.
std::string FakeViewer(const std::string& folder, const std::string& name) {
  std::string path = folder + "/" + name;
  // The argument file appears whole (written aside, then renamed).
  std::string script = "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$GDK_SCALE\" > \"" + path + ".tmp\"\n/bin/mv \"" + path +
                       ".tmp\" \"" + path + ".arg\"\nexec /bin/sleep 20\n";
  g_file_set_contents(path.c_str(), script.c_str(), -1, nullptr);
  g_chmod(path.c_str(), 0755);
  return path + ".arg";
}

std::string WaitForFile(const std::string& path) {
  gchar* contents = nullptr;
  PumpUntil([&] {
    g_free(contents);
    contents = nullptr;
    return g_file_get_contents(path.c_str(), &contents, nullptr, nullptr) != FALSE;
  });
  std::string result = contents != nullptr ? contents : "";
  g_free(contents);
  return result;
}

TEST_F(GtkGui, HelpOpensTheViewerAtTheTopicWithoutWaitingForIt) {
  gchar* folder = g_dir_make_tmp("zolt-help-XXXXXX", nullptr);
  ASSERT_NE(folder, nullptr);
  const std::string path = g_getenv("PATH") != nullptr ? g_getenv("PATH") : "";
  gchar* cwd = g_get_current_dir();
  const std::string manual = std::string(cwd) + "/help/KVR_MANUAL.chm";
  g_free(cwd);

  // With the help viewer installed: the file at the topic page.
  std::string viewerArgument = FakeViewer(folder, "xchm");
  std::string openerArgument = FakeViewer(folder, "xdg-open");
  g_setenv("PATH", folder, TRUE);
  gint64 start = g_get_monotonic_time();
  OpenHelp("help/KVR_MANUAL.chm", "SelectingInstrument.htm");
  EXPECT_LT(g_get_monotonic_time() - start, 10 * G_USEC_PER_SEC);  // the viewer lingers 20 s
  // The viewer runs at the user's scale (2 here), not at the program's.
  EXPECT_EQ(WaitForFile(viewerArgument), "file:" + manual + "#xchm:/SelectingInstrument.htm|2");

  // Without it: the desktop's opener gets the file.
  g_remove((std::string(folder) + "/xchm").c_str());
  OpenHelp("help/KVR_MANUAL.chm", "SelectingInstrument.htm");
  EXPECT_EQ(WaitForFile(openerArgument), manual + "|2");

  // With neither: nothing happens, and nothing hangs.
  g_remove((std::string(folder) + "/xdg-open").c_str());
  OpenHelp("help/KVR_MANUAL.chm", "SelectingInstrument.htm");
  g_setenv("PATH", path.c_str(), TRUE);
  g_remove(viewerArgument.c_str());
  g_remove(openerArgument.c_str());
  g_rmdir(folder);
  g_free(folder);
}

}  // namespace
