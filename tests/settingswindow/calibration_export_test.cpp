// The calibration listing: byte for byte from a known (short) calibration file through
// the page's button, a listing of zeros when no file could be read, and a listing that
// cannot be written.
#include <gtest/gtest.h>

#include <string>

#include "frame/numbers.h"
#include "link/calibration.h"
#include "platform/system.h"
#include "settingswindow/calibration_export.h"
#include "settingswindow/pages.h"
#include "support/temp_folder.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using platform::headless::MessagesShown;

class CalibrationExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    testing::MakeFolder("settings");
  }
  testing::TempFolder folder;
};

TEST_F(CalibrationExportTest, ListsAKnownFileByteForByteAndReplacesAnOlderListing) {
  // 66 lines: entries 66 to 70 are missing and list as 0.
  std::string file;
  for (int k = 0; k <= 65; ++k) {
    std::string value = frame::RealToText(k * 3.5 - 50);
    if (k == 3) value = "1.23456789012";
    if (k == 4) value = "-9.87";
    if (k == 50) value = "0.25";
    if (k == 51) value = "27000";
    if (k == 56) value = "2550";
    if (k == 61) value = "270.0";
    file += value + "\r\n";
  }
  testing::WriteFile("settings/KVR820_cal.txt", file + std::string(1024 - file.size(), '\0'));
  link::ReadCalibrationFile("settings/KVR820_cal.txt");
  testing::WriteFile(CalibrationExportFile, std::string(20000, 'x'));

  testing::RunSettingsWindow(0, {[] { platform::headless::ClickGadget(ExportButton); }, [] {}});
  EXPECT_EQ(testing::ReadFile(CalibrationExportFile), testing::ReadFile(ZOLT_EXPECTED_LISTING));
  EXPECT_TRUE(MessagesShown().empty());
}

TEST_F(CalibrationExportTest, NoCalibrationFileListsZerosAndAnUnwritableListingIsReported) {
  link::ReadCalibrationFile("settings/KVR820_cal.txt");  // missing: reported, record of zeros
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title, "Cannot find calibration file");
  ASSERT_TRUE(ExportCalibration());
  const std::string listing = testing::ReadFile(CalibrationExportFile);
  EXPECT_EQ(listing.rfind("0: 0V, +10V BaseGate DAC measured voltage (Active/Pulse) - from calibration DMM\r\n", 0), 0u);
  EXPECT_NE(listing.find("\r\n70: 0 , -Vc ADC Collector voltage - raw value, from internal vADC\r\n"),
            std::string::npos);
  size_t lines = 0;
  for (char c : listing) lines += c == '\n';
  EXPECT_EQ(lines, 110u);
  EXPECT_TRUE(listing.ends_with("--------------\r\nDocument End.\r\n"));

  // A folder in the listing's place: nothing is written, the user is told.
  platform::DeleteFile(CalibrationExportFile);
  testing::MakeFolder(CalibrationExportFile);
  EXPECT_FALSE(ExportCalibration());
  ASSERT_EQ(MessagesShown().size(), 2u);
  EXPECT_EQ(MessagesShown()[1].Title, "Cannot create HUMAN.TXT file");
  EXPECT_EQ(MessagesShown()[1].Text, "Cannot create HUMAN.TXT file");
  EXPECT_EQ(MessagesShown()[1].Icon, platform::MessageIcon::Warning);
  for (const platform::FolderEntry& entry : platform::ListFolder("."))
    EXPECT_TRUE(entry.Name == "settings" || entry.Name == CalibrationExportFile) << entry.Name;
}

}  // namespace
}  // namespace zolt::settingswindow
