// The language, instrument, collector supply, step generator and displayed results
// pages: what they show from the settings, and what each control writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/app.h"
#include "frame/default_settings.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "settingswindow/pages.h"
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
  testing::WriteFile("languages/languages.csv",
                     "English,German,Kanji\r\nGerman,Deutsch,Deutsch\r\nKanji,Kanji,\xE6\xBC\xA2\xE5\xAD\x97\r\n");
  frame::AppSettings.Language = frame::LanguageState.LanguageApplied = "German";
  testing::RunSettingsWindow(0, {
      [] {
        EXPECT_EQ(GetGadgetText(41), "German");
        EXPECT_EQ(GetGadgetText(55), "German / Deutsch");
        EXPECT_EQ(GetGadgetText(65), "Kanji / \xE6\xBC\xA2\xE5\xAD\x97");
        EXPECT_EQ(GetGadgetText(51), "English / English");
        EXPECT_EQ(GetGadgetText(88), "Vietnamese / Vietnamese");
        ClickGadget(65);
      },
      [] {
        EXPECT_EQ(frame::AppSettings.Language, "Kanji");
        EXPECT_EQ(GetGadgetText(41), "Kanji");
        ClickGadget(286);  // another page's control
      },
      [] {
        EXPECT_EQ(frame::AppSettings.Language, "Kanji");
        ClickGadget(55);  // the language in force: chosen, but not shown as new
      },
      [] {
        EXPECT_EQ(frame::AppSettings.Language, "German");
        EXPECT_EQ(GetGadgetText(41), "Kanji");
      }});
  // The main loop writes the language once it applies it, not the page.
  EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, "Language"), "English");
  EXPECT_EQ(frame::ShowChosenLanguage, nullptr);
}

TEST_F(SettingsPagesTest, ControlsShowTheSettingsInAnyLetterCase) {
  struct Case {
    const char* update;
    const char* clamp;
    const char* csv;
    const char* png;
    double rate;
    const char* model;
    int developer;
    std::vector<int> states;  // boxes 297, 289, 292, 295; list 287; list 89 and its size
  };
  const Case cases[] = {
      {"YES", "CLAMPOFF", "YES", "maybe", 50.5, "KVR820", 1, {1, 0, 1, 0, 4, 0, 11}},
      {"no", "clamponidle", "No", "yes", 70.0, "BTQ999", 0, {0, 1, 0, 1, -1, -1, 1}},
      {"maybe", "x", "x", "x", 49.5, "pmx40", 1, {0, 0, 0, 0, 4, 6, 11}},
      {"Yes", "ClampOnIdle", "Yes", "Yes", 100.0, "KVR820", 0, {1, 1, 1, 1, 7, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    frame::AppSettingsRecord& s = frame::AppSettings;
    s.CheckWebsiteForUpdate = c.update;
    s.ClampModeSetting = c.clamp;
    s.SaveCSVFileEnabled = c.csv;
    s.SavePNGFileEnabled = c.png;
    s.SampleRate = c.rate;
    s.ActiveInstrument = c.model;
    frame::AppInfo.DeveloperMode = c.developer;
    testing::RunSettingsWindow(0, {[&] {
      EXPECT_EQ((std::vector<int>{GetGadgetState(297), GetGadgetState(289), GetGadgetState(292),
                                  GetGadgetState(295), GetGadgetState(287), GetGadgetState(89),
                                  platform::CountGadgetItems(89)}),
                c.states);
      EXPECT_EQ(GetGadgetText(291), "results\\");
    }});
  }
}

TEST_F(SettingsPagesTest, EachControlWritesItsKeyAndTheFileStaysWhole) {
  frame::AppInfo.DeveloperMode = 1;
  struct Case {
    std::function<void()> act;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {[] { ChooseGadgetItem(287, 5); }, "KVR_SampleRate", "60"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOff"},
      {[] { ClickGadget(289); }, "KVR_BaseGateClampMode", "ClampOnIdle"},
      {[] { ClickGadget(297); }, "CheckWebsiteForUpdate", "No"},
      {[] { ChooseGadgetItem(89, 6); }, "activeInstrument", "PMX40"},
      {[] { ClickGadget(292); }, "KVR_SaveCSVFileEnabled", "No"},
      {[] { ClickGadget(295); }, "KVR_SavePNGFileEnabled", "No"},
      {[] { ScriptFolderChoice("/data/runs"); ClickGadget(293); }, "KVR_SaveCSVFileLocation", "/data/runs/"},
      {[] { ClickGadget(296); }, "KVR_SavePNGFileLocation", "results\\"},  // chooser cancelled
  };
  std::vector<testing::Step> steps;
  for (const Case& c : cases) {
    steps.push_back(c.act);
    steps.push_back([&c] {
      EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, c.key), c.value) << c.key;
    });
  }
  steps.push_back([] { EXPECT_EQ(GetGadgetText(291), "/data/runs/"); });
  testing::RunSettingsWindow(0, steps);

  const frame::AppSettingsRecord& s = frame::AppSettings;
  EXPECT_EQ(s.SampleRate, 60.0);
  EXPECT_EQ(s.CheckWebsiteForUpdate, "No");
  EXPECT_EQ(s.ActiveInstrument, "KVR820");  // the model in force until the next start
  EXPECT_EQ(s.SaveCSVFileLocation, "/data/runs/");
  EXPECT_EQ(s.SavePNGFileLocation, "results\\");
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title, "Information");
  EXPECT_EQ(MessagesShown()[0].Text, "The requester was canceled.");
  const std::string file = testing::ReadFile(frame::SettingsPath);
  size_t lines = 0;
  for (size_t at = file.find("\r\n"); at != std::string::npos; at = file.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 36u);
}

}  // namespace
}  // namespace zolt::settingswindow
