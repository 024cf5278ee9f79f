// The gtk gui on a real (virtual) display: windows, the close box, events, gadgets,
// tabs, the pointer and the surface. The tests play the user by emitting the widgets'
// own signals (a click, a toggle, a choice) and by moving the display's pointer.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"

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

TEST_F(GtkGui, TextsAndStatesOfEachKindOfControl) {
  OpenSettings();
  ASSERT_TRUE(ButtonGadget(278, Settings, 312, 72, 96, 20, "Scan"));
  ASSERT_TRUE(CheckBoxGadget(297, Settings, 312, 120, 96, 20, "Update Check"));
  ASSERT_TRUE(StringGadget(277, Settings, 312, 48, 96, 20, "COM 1", GadgetReadOnly));
  ASSERT_TRUE(TextGadget(1, Settings, 24, 27, 600, 20, "Heading", GadgetCentred));
  SetGadgetText(278, "Scan again");
  SetGadgetText(297, "Check");
  SetGadgetText(277, "COM 12");
  SetGadgetText(1, "Another heading");
  EXPECT_EQ(GetGadgetText(278), "Scan again");
  EXPECT_EQ(GetGadgetText(297), "Check");
  EXPECT_EQ(GetGadgetText(277), "COM 12");
  EXPECT_EQ(GetGadgetText(1), "Another heading");
  EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(Inner(277))));

  SetGadgetState(297, 5);  // any non-zero state ticks
  EXPECT_EQ(GetGadgetState(297), 1);
  EXPECT_EQ(GetGadgetState(278), 0);

  // A new gadget under a number in use replaces the old one.
  ASSERT_TRUE(StringGadget(278, Settings, 312, 72, 96, 20, "now a field"));
  EXPECT_EQ(GetGadgetText(278), "now a field");
  EXPECT_EQ(GetGadgetText(4000), "");
  EXPECT_FALSE(IsGadget(MaxGadgets));
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

}  // namespace
