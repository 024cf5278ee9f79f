// The language, instrument, collector supply, step generator and displayed results
// pages: what they show from the settings, and what each control writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "frame/app.h"
#include "frame/default_settings.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "support/temp_folder.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using namespace platform::headless;
using platform::GetGadgetState;
using platform::GetGadgetText;

class SettingsPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    frame::AppSettings = {};
    frame::AppInfo = {};
    frame::LanguageState = {};
    frame::ClearLanguageTable();
    testing::MakeFolder("settings");
    testing::WriteFile(frame::SettingsPath, frame::NewSettingsFile);
  }
  testing::TempFolder folder;
};

TEST_F(SettingsPagesTest, LanguageButtonsChooseAtOnceAndShowANewLanguageOnly) {
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

TEST_F(SettingsPagesTest, ControlsShowTheSettingsInAnyLetterCase) {
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

TEST_F(SettingsPagesTest, EachControlWritesItsKeyAndTheFileStaysWhole) {
  frame::AppInfo.DeveloperMode = 1;
  const std::tuple<testing::Step, const char*, const char*> cases[] = {
      {[] { ChooseGadgetItem(287, 5); }, "KVR_SampleRate", "60"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOff"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOnIdle"},
      {[] { ClickGadget(297); }, "CheckWebsiteForUpdate", "No"},
      {[] { ChooseGadgetItem(89, 6); }, "activeInstrument", "PMX40"},
      {[] { ClickGadget(295); }, "KVR_SavePNGFileEnabled", "No"},
      {[] { ScriptFolderChoice("/data/runs"); ClickGadget(293); }, "KVR_SaveCSVFileLocation", "/data/runs/"},
      {[] { ClickGadget(296); }, "KVR_SavePNGFileLocation", "results\\"},  // chooser cancelled
  };
  std::vector<testing::Step> steps;
  for (const auto& [act, key, value] : cases) {
    steps.push_back(act);
    steps.push_back([key, value] { EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, key), value) << key; });
  }
  steps.push_back([] { EXPECT_EQ(GetGadgetText(291), "/data/runs/"); });
  testing::RunSettingsWindow(0, steps);

  const frame::AppSettingsRecord& s = frame::AppSettings;
  EXPECT_EQ(s.SampleRate, 60.0);
  EXPECT_EQ(s.ActiveInstrument, "KVR820");  // the model in force until the next start
  EXPECT_EQ(s.SaveCSVFileLocation, "/data/runs/");
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title + ": " + MessagesShown()[0].Text,
            "Information: The requester was canceled.");
  const std::string file = testing::ReadFile(frame::SettingsPath);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 36);
}

}  // namespace
}  // namespace zolt::settingswindow
