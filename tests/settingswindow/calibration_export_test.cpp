// The calibration listing: zeros while no calibration file could be read, byte for byte
// from a known (short) calibration file through the page's button, and a listing that
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

TEST(CalibrationExport, ListsTheRecordByteForByteAndReportsAListingThatCannotBeWritten) {
  testing::TempFolder folder;
  platform::headless::Reset();
  testing::MakeFolder("settings");
  link::ReadCalibrationFile("settings/KVR820_cal.txt");  // missing: reported, record of zeros
  ASSERT_TRUE(ExportCalibration());
  EXPECT_TRUE(testing::ReadFile(CalibrationExportFile)
                  .starts_with("0: 0V, +10V BaseGate DAC measured voltage (Active/Pulse) - from calibration DMM\r\n"));

  // 66 lines: entries 66 to 70 are missing and list as 0.
  std::string file;
  for (int k = 0; k <= 65; ++k) {
    const std::pair<int, const char*> odd[] = {{3, "1.23456789012"}, {4, "-9.87"}, {50, "0.25"},
                                               {51, "27000"}, {56, "2550"}, {61, "270.0"}};
    std::string value = frame::RealToText(k * 3.5 - 50);
    for (const auto& [entry, text] : odd) if (entry == k) value = text;
    file += value + "\r\n";
  }
  testing::WriteFile("settings/KVR820_cal.txt", file + std::string(1024 - file.size(), '\0'));
  link::ReadCalibrationFile("settings/KVR820_cal.txt");
  testing::WriteFile(CalibrationExportFile, std::string(20000, 'x'));  // replaced, not grown
  testing::RunSettingsWindow(0, {[] { platform::headless::ClickGadget(ExportButton); }});
  EXPECT_EQ(testing::ReadFile(CalibrationExportFile), testing::ReadFile(ZOLT_EXPECTED_LISTING));
  EXPECT_EQ(MessagesShown().size(), 1u);  // the missing calibration file only

  platform::DeleteFile(CalibrationExportFile);
  testing::MakeFolder(CalibrationExportFile);  // a folder in the listing's place
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
