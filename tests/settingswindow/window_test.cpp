// The settings window: the tab a zone opens it on, the page protocol's modes, where the
// pages put their controls and texts, and the ways the window closes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/app.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "screen/colours.h"
#include "settingswindow/pages.h"
#include "support/temp_folder.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using platform::headless::PlacementOf;

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    frame::AppSettings = {};
    frame::AppInfo = {};
    frame::ClearLanguageTable();
    screen::SetColourScheme();
  }
  testing::TempFolder folder;
};

// The static texts of one tab (headings and labels), in the order they were made.
std::vector<std::string> TextsOnTab(int tab) {
  std::vector<std::string> texts;
  for (int number = 3000; number < 3100; ++number)
    if (PlacementOf(number).Tab == tab) texts.push_back(platform::GetGadgetText(number));
  return texts;
}

TEST_F(SettingsWindowTest, ZonesPickTheirTabAndModesAreReadInAnyLetterCase) {
  const std::pair<int32_t, int32_t> zones[] = {{334, 2}, {322, 3}, {346, 4}, {358, 5}, {382, 6},
                                               {370, 7}, {310, 8}, {298, 9}, {394, 10}, {406, 11},
                                               {0, 0},   {409, 0}, {289, 0}};
  for (const auto& [zone, tab] : zones) EXPECT_EQ(TabOfZone(zone), tab) << zone;
  const std::pair<const char*, PageMode> modes[] = {
      {"setup", PageMode::Setup},           {"SETUP", PageMode::Setup},
      {"MainLogic", PageMode::MainLogic},   {"eventGADGET", PageMode::EventGadget},
      {"setup ", PageMode::Ignored},        {"", PageMode::Ignored}};
  for (const auto& [mode, expected] : modes) EXPECT_EQ(ModeOf(mode), expected) << mode;
}

TEST_F(SettingsWindowTest, PagesStandOnTheirOwnTabsWithTheirControlsAndTexts) {
  testing::RunSettingsWindow(346, {[] {
    EXPECT_EQ(platform::WindowTitle(300), "Settings");
    EXPECT_EQ(platform::WindowClientWidth(300), 1300);
    EXPECT_EQ(platform::WindowClientHeight(300), 800);
    EXPECT_EQ(platform::GetGadgetState(TabControl), 4);
    const char* tabs[] = {"Language/Language", "Instrument", "Comms", "Test/Graph Mode",
                          "Collector Supply", "Step Generator", "Sweep/Live Values",
                          "Displayed Results", "Graph", "Cursors", "Key/Measurement",
                          "Sweep Settings", "Calibration"};
    ASSERT_EQ(platform::CountGadgetItems(TabControl), 13);
    for (int t = 0; t < 13; ++t) EXPECT_EQ(platform::GetGadgetItemText(TabControl, t), tabs[t]);

    struct Place { int Gadget, Tab, X, Y, Width, Height; };
    const Place places[] = {
        {41, 0, 312, 48, 216, 20},   {51, 0, 24, 120, 204, 40},   {63, 0, 1044, 120, 204, 40},
        {88, 0, 228, 456, 204, 40},  {89, 1, 312, 48, 96, 20},    {297, 1, 312, 120, 96, 20},
        {277, 2, 312, 48, 96, 20},   {280, 2, 528, 96, 96, 20},   {281, 2, 312, 120, 216, 20},
        {285, 2, 312, 264, 96, 20},  {286, 4, 312, 48, 96, 20},   {287, 4, 312, 120, 96, 20},
        {289, 5, 312, 48, 96, 20},   {291, 7, 168, 48, 768, 20},  {293, 7, 960, 48, 120, 20},
        {295, 7, 1104, 72, 120, 20}, {290, 12, 312, 48, 216, 20}};
    for (const Place& p : places) {
      const auto at = PlacementOf(p.Gadget);
      EXPECT_EQ((std::vector<int>{at.Window, at.Panel, at.Tab, at.X, at.Y, at.Width, at.Height}),
                (std::vector<int>{300, 40, p.Tab, p.X, p.Y, p.Width, p.Height}))
          << p.Gadget;
    }
    for (int unused : {42, 62, 80, 288}) EXPECT_FALSE(platform::IsGadget(unused)) << unused;
    EXPECT_EQ(platform::GetGadgetText(290), "Create HUMAN.TXT");

    using Texts = std::vector<std::string>;
    EXPECT_EQ(TextsOnTab(1),
              (Texts{"Change currently selected instrument", "Selected Instrument --->",
                     "*** any change will only take effect next time ZOLT is opened ***",
                     "Perform daily update check (default ENABLED) ---> "}));
    EXPECT_EQ(TextsOnTab(4), (Texts{"Collector Supply", "HV Supply Auto-Off ---> ", "Sample Rate",
                                    "Sample Rate ---> "}));
    EXPECT_EQ(TextsOnTab(5), (Texts{"Step Generator", "Clamp On Idle (default ENABLED) ---> "}));
    EXPECT_EQ(TextsOnTab(7), (Texts{"Location of *.CSV results", "CSV Save Location --->",
                                    "PNG Save Location --->"}));
    EXPECT_EQ(TextsOnTab(12), (Texts{"Export calibration file in human readable format",
                                     "Create Human Readable Calibration File ---> "}));
    EXPECT_EQ(TextsOnTab(2).size(), 9u);
    for (int empty : {3, 6, 8, 9, 10, 11}) {
      ASSERT_EQ(TextsOnTab(empty), (Texts{"Page Deliberately Empty"})) << empty;
    }
    // A heading: centred at (24, row + 3) on the heading colour.
    for (int number = 3000; number < 3100; ++number) {
      const auto at = PlacementOf(number);
      if (at.Tab != 9) continue;
      EXPECT_EQ((std::vector<int>{at.X, at.Y, at.Width, at.Height, at.Flags}),
                (std::vector<int>{24, 27, 600, 20, platform::GadgetCentred}));
      EXPECT_EQ(at.BackColour, screen::ColourScheme.SettingsHeadingColour);
    }
  }});
  EXPECT_FALSE(platform::IsWindow(300));
}

TEST_F(SettingsWindowTest, ClosesOnItsCloseBoxOrWhenAnotherWindowIsActive) {
  ASSERT_TRUE(platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "main", 0));
  struct Case {
    const char* name;
    int nowActive;     // the window active after the deactivation; 300: itself again
    bool closes;
  };
  const Case cases[] = {{"main window clicked", frame::MainWindow, true},
                        {"another application in front", -1, true},
                        {"active again after a dialog", 300, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int passesAfter = 0;
    testing::RunSettingsWindow(0, {[&] { platform::headless::PushDeactivate(300, c.nowActive); },
                                   [&] { ++passesAfter; }});
    EXPECT_EQ(passesAfter, c.closes ? 0 : 1);
    EXPECT_FALSE(platform::IsWindow(300));
    EXPECT_TRUE(platform::IsWindow(frame::MainWindow));
  }
  EXPECT_EQ(frame::FrameLoopState.QuitRequested, 0);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

TEST_F(SettingsWindowTest, AWindowThatCannotOpenIsReportedAndBuildsNothing) {
  platform::headless::FailNextWindowOpen();
  OpenSettingsWindow(346);
  EXPECT_FALSE(platform::IsGadget(TabControl));
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Text, "KVR_SettingsWindow won't start");
  EXPECT_TRUE(testing::ReadFile("log.txt").find("KVR_SettingsWindow won't start") != std::string::npos);
}

}  // namespace
}  // namespace zolt::settingswindow
