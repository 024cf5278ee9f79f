// The settings window: the tab a zone opens it on, the page protocol's modes, where the
// pages put their controls and texts, and the ways it closes or fails to open.
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
using Texts = std::vector<std::string>;

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    frame::AppSettings = {};
    frame::ClearLanguageTable();
    screen::SetColourScheme();
  }
  testing::TempFolder folder;
};

// The headings and labels of one tab, in the order they were made.
Texts TextsOnTab(int tab) {
  Texts texts;
  for (int number = 3000; number < 3100; ++number)
    if (PlacementOf(number).Tab == tab) texts.push_back(platform::GetGadgetText(number));
  return texts;
}

TEST_F(SettingsWindowTest, PagesStandOnTheirOwnTabsWithTheirControlsAndTexts) {
  for (int32_t zone : {0, 289, 409}) EXPECT_EQ(TabOfZone(zone), 0) << zone;  // unlisted: language
  const std::pair<const char*, PageMode> modes[] = {
      {"SETUP", PageMode::Setup}, {"MainLogic", PageMode::MainLogic},
      {"eventGADGET", PageMode::EventGadget}, {"setup ", PageMode::Ignored}};
  for (const auto& [mode, expected] : modes) EXPECT_EQ(ModeOf(mode), expected) << mode;

  testing::RunSettingsWindow(346, {[] {
    EXPECT_EQ(platform::WindowTitle(300) + " " + std::to_string(platform::WindowClientWidth(300)) + "x" +
                  std::to_string(platform::WindowClientHeight(300)),
              "Settings 1300x800");
    EXPECT_EQ(platform::GetGadgetState(TabControl), 4);
    const char* tabs[] = {"Language/Language", "Instrument", "Comms", "Test/Graph Mode",
                          "Collector Supply", "Step Generator", "Sweep/Live Values",
                          "Displayed Results", "Graph", "Cursors", "Key/Measurement",
                          "Sweep Settings", "Calibration"};
    ASSERT_EQ(platform::CountGadgetItems(TabControl), 13);
    for (int t = 0; t < 13; ++t) EXPECT_EQ(platform::GetGadgetItemText(TabControl, t), tabs[t]);
    // gadget, tab, x, y, width, height
    const std::vector<int> places[] = {{41, 0, 312, 48, 216, 20},  {88, 0, 228, 456, 204, 40},
                                       {280, 2, 528, 96, 96, 20},  {295, 7, 1104, 72, 120, 20},
                                       {290, 12, 312, 48, 216, 20}};
    for (const std::vector<int>& p : places) {
      const auto at = PlacementOf(p[0]);
      EXPECT_EQ((std::vector<int>{p[0], at.Tab, at.X, at.Y, at.Width, at.Height}), p);
    }
    EXPECT_EQ(TextsOnTab(1), (Texts{"Change currently selected instrument", "Selected Instrument --->",
                                    "*** any change will only take effect next time ZOLT is opened ***",
                                    "Perform daily update check (default ENABLED) ---> "}));
    for (int empty : {3, 6, 8, 9, 10, 11}) EXPECT_EQ(TextsOnTab(empty), Texts{"Page Deliberately Empty"});
    const auto heading = PlacementOf(3000);  // the language tab's first
    EXPECT_EQ((std::vector<int>{heading.X, heading.Y, heading.Width, heading.Flags}),
              (std::vector<int>{24, 27, 600, platform::GadgetCentred}));
    EXPECT_EQ(heading.BackColour, screen::ColourScheme.SettingsHeadingColour);
  }});
  EXPECT_FALSE(platform::IsWindow(300));
}

TEST_F(SettingsWindowTest, ClosesWhenAnotherWindowIsActiveAndReportsAFailedOpening) {
  ASSERT_TRUE(platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "main", 0));
  // The window active after the deactivation; 300 itself again (after a dialog) keeps it.
  for (const auto& [nowActive, closes] : {std::pair{frame::MainWindow, true}, {-1, true}, {300, false}}) {
    int passesAfter = 0;
    testing::RunSettingsWindow(0, {[&] { platform::headless::PushDeactivate(300, nowActive); },
                                   [&] { ++passesAfter; }});
    EXPECT_EQ(passesAfter, closes ? 0 : 1) << nowActive;
  }
  EXPECT_TRUE(platform::IsWindow(frame::MainWindow));
  EXPECT_EQ(frame::FrameLoopState.QuitRequested, 0);

  platform::headless::FailNextWindowOpen();
  OpenSettingsWindow(346);
  EXPECT_FALSE(platform::IsGadget(TabControl));
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Text, "KVR_SettingsWindow won't start");
}

}  // namespace
}  // namespace zolt::settingswindow
