// The model table, the developer-mode marker and the instrument-selection help.
#include <gtest/gtest.h>

#include "frame/app.h"
#include "frame/settings.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

class ModelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings = AppSettingsRecord{};
    AppInfo = AppInfoRecord{};
    platform::headless::Reset();
  }
  testing::TempFolder folder_;
};

TEST_F(ModelsTest, NamesAreFoundInUpperCaseAndKeepTheirOwnCase) {
  ASSERT_NE(FindModel("pmx400"), nullptr);
  EXPECT_TRUE(FindModel("pmx400")->PowerAnalyser);
  EXPECT_FALSE(FindModel("Drl710")->PowerAnalyser);
  EXPECT_EQ(FindModel("KVR864"), nullptr);
  EXPECT_EQ(FindModel(""), nullptr);

  AppSettings.ActiveInstrument = "pmx40";
  ApplyModelTable();
  EXPECT_EQ(AppSettings.ActiveInstrument, "pmx40");
  EXPECT_EQ(AppInfo.WorkText, "ZOLT 25.017 (alpha) by Brevaxo - PMX40 Power Analyser");
  EXPECT_EQ(AppInfo.ManualPath, "help/PMX40_MANUAL.chm");
}

TEST_F(ModelsTest, EmptyAndUnlistedNamesBecomeTheCurveTracer) {
  for (const char* name : {"", "KVR864"}) {
    AppSettings.ActiveInstrument = name;
    ApplyModelTable();
    EXPECT_EQ(AppSettings.ActiveInstrument, "KVR820") << name;
    EXPECT_EQ(AppInfo.WorkText, "ZOLT 25.017 by Brevaxo - KVR820 Curve Tracer") << name;
    EXPECT_EQ(AppInfo.ManualPath, "help/KVR820_MANUAL.chm") << name;
  }
  AppSettings.ActiveInstrument = "DRL320";
  ApplyModelTable();
  EXPECT_EQ(AppInfo.WorkText, "ZOLT 25.017 (alpha) by Brevaxo - DRL320 Dual Source-Picoammeter");
}

TEST_F(ModelsTest, DeveloperModeFollowsTheMarkersPresenceOnly) {
  CheckDeveloperMode();
  EXPECT_EQ(AppInfo.DeveloperMode, 0);
  testing::WriteFile("developermode.txt", "");
  CheckDeveloperMode();
  EXPECT_EQ(AppInfo.DeveloperMode, 1);
}

TEST_F(ModelsTest, InstrumentHelpAlwaysOpensTheFamilyManual) {
  AppInfo.ManualPath = "help/PMX40_MANUAL.chm";
  ShowSelectingInstrumentHelp();
  ASSERT_EQ(platform::headless::HelpRequests().size(), 1u);
  EXPECT_EQ(platform::headless::HelpRequests()[0].File, "help/KVR_MANUAL.chm");
  EXPECT_EQ(platform::headless::HelpRequests()[0].Topic, "SelectingInstrument.htm");
}

}  // namespace
}  // namespace zolt::frame
