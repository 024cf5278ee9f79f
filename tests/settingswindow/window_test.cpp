// The settings window: the tab a zone opens it on, the page protocol's modes, where the
// pages put their controls and texts, the ways it closes or fails to open; what the
// language, instrument, collector supply, step generator and displayed results pages show
// from the settings, and what each control writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "frame/app.h"
#include "frame/default_settings.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/system.h"
#include "screen/colours.h"
#include "settingswindow/pages.h"
#include "support/temp_folder.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using namespace platform::headless;
using platform::GetGadgetState;
using platform::GetGadgetText;
using Texts = std::vector<std::string>;

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    frame::AppSettings = {};
    frame::AppInfo = {};
    frame::LanguageState = {};
    frame::ClearLanguageTable();
    screen::SetColourScheme();
    testing::MakeFolder("settings");
    testing::WriteFile(frame::SettingsPath, frame::NewSettingsFile);
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

TEST_F(SettingsWindowTest, LanguageButtonsChooseAtOnceAndShowANewLanguageOnly) {
  testing::MakeFolder("languages");
  testing::WriteFile("languages/languages.csv", "English,German\r\nGerman,Deutsch,Deutsch\r\n");
  frame::AppSettings.Language = frame::LanguageState.LanguageApplied = "German";
  testing::RunSettingsWindow(0, {
      [] {
        EXPECT_EQ(GetGadgetText(41), "German");
        EXPECT_EQ(GetGadgetText(55), "German / Deutsch");
        EXPECT_EQ(GetGadgetText(65), "Kanji / Kanji");  // no column, no row of its own
        ClickGadget(65);
      },
      [] { EXPECT_EQ(GetGadgetText(41), "Kanji"); ClickGadget(286); },  // another page's box
      [] { EXPECT_EQ(frame::AppSettings.Language, "Kanji"); ClickGadget(55); },
      [] {
        EXPECT_EQ(frame::AppSettings.Language, "German");  // the language in force: not shown
        EXPECT_EQ(GetGadgetText(41), "Kanji");
      }});
  // The main loop writes the language once it applies it, not the page.
  EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, "Language"), "English");
}

TEST_F(SettingsWindowTest, ControlsShowTheSettingsInAnyLetterCase) {
  struct Case {
    const char *update, *clamp, *csv, *png;
    double rate;
    const char* model;
    int developer;
    std::vector<int> states;  // boxes 297, 289, 292, 295; lists 287, 89; entries of 89
  };
  const Case cases[] = {
      {"YES", "CLAMPOFF", "YES", "maybe", 50.5, "KVR820", 1, {1, 0, 1, 0, 4, 0, 11}},
      {"no", "clamponidle", "No", "yes", 70.0, "BTQ999", 0, {0, 1, 0, 1, -1, -1, 1}},
      {"maybe", "x", "x", "x", 49.5, "pmx40", 1, {0, 0, 0, 0, 4, 6, 11}},
      {"Yes", "ClampOnIdle", "Yes", "Yes", 100.0, "KVR820", 0, {1, 1, 1, 1, 7, 0, 1}},
  };
  for (const Case& c : cases) {
    frame::AppSettingsRecord& s = frame::AppSettings;
    s.CheckWebsiteForUpdate = c.update, s.ClampModeSetting = c.clamp, s.SaveCSVFileEnabled = c.csv;
    s.SavePNGFileEnabled = c.png, s.SampleRate = c.rate, s.ActiveInstrument = c.model;
    frame::AppInfo.DeveloperMode = c.developer;
    testing::RunSettingsWindow(0, {[&] {
      std::vector<int> states;
      for (int gadget : {297, 289, 292, 295, 287, 89}) states.push_back(GetGadgetState(gadget));
      states.push_back(platform::CountGadgetItems(89));
      EXPECT_EQ(states, c.states) << c.model;
    }});
  }
}

TEST_F(SettingsWindowTest, EachControlWritesItsKeyAndTheFileStaysWhole) {
  frame::AppInfo.DeveloperMode = 1;
  const std::tuple<testing::Step, const char*, const char*> cases[] = {
      {[] { ChooseGadgetItem(287, 5); }, "KVR_SampleRate", "60"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOff"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOnIdle"},
      {[] { ClickGadget(297); }, "CheckWebsiteForUpdate", "No"},
      {[] { ChooseGadgetItem(89, 6); }, "activeInstrument", "PMX40"},
      {[] { ClickGadget(295); }, "KVR_SavePNGFileEnabled", "No"},
      {[] { ScriptFolderChoice("runs"); ClickGadget(293); }, "KVR_SaveCSVFileLocation", "runs/"},
      {[] { ClickGadget(296); }, "KVR_SavePNGFileLocation", "results\\"},  // chooser cancelled
  };
  std::vector<testing::Step> steps;
  for (const auto& [act, key, value] : cases) {
    steps.push_back(act);
    steps.push_back([key, value] { EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, key), value) << key; });
  }
  steps.push_back([] { EXPECT_EQ(GetGadgetText(291), "runs/"); });
  testing::RunSettingsWindow(0, steps);

  const frame::AppSettingsRecord& s = frame::AppSettings;
  EXPECT_EQ(s.SampleRate, 60.0);
  EXPECT_EQ(s.ActiveInstrument, "KVR820");  // the model in force until the next start
  EXPECT_EQ(s.SaveCSVFileLocation, "runs/");
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title + ": " + MessagesShown()[0].Text,
            "Information: The requester was canceled.");
  EXPECT_EQ(MessagesShown()[0].Icon, platform::MessageIcon::None);
  const std::string file = testing::ReadFile(frame::SettingsPath);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 36);
}

// The chooser opens at the folder as the run saver reads it; a chosen folder that does not
// exist is made before it is stored, one that cannot be made is refused with a warning.
TEST_F(SettingsWindowTest, TheChooserStartsAtTheSavedFolderWhichMustExistBeforeItIsStored) {
  const auto choose = [](const char* folder) { return [folder] { ScriptFolderChoice(folder); ClickGadget(293); }; };
  testing::RunSettingsWindow(0, {choose("made/deeper"), choose("settings/system_settings.txt/runs")});
  ASSERT_EQ(FolderRequests().size(), 2u);
  EXPECT_EQ(FolderRequests()[0].InitialFolder + " " + FolderRequests()[1].InitialFolder, "results/ made/deeper/");
  EXPECT_TRUE(platform::FolderExists("made/deeper"));
  EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, "KVR_SaveCSVFileLocation"), "made/deeper/");
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Icon, platform::MessageIcon::Warning);
}

}  // namespace
}  // namespace zolt::settingswindow
