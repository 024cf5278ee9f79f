// Settings store: lookups, appended defaults, the start-up read and the key writer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "frame/settings.h"
#include "platform/draw.h"
#include "default_settings.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings = AppSettingsRecord{};
    platform::headless::Reset();
    testing::MakeFolder("settings");
  }
  testing::TempFolder folder_;
};

TEST_F(SettingsTest, NewFileGetsAllKeysInOrderWithTheirDefaults) {
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(ReadFile(SettingsPath), NewSettingsFile);
  EXPECT_EQ(AppSettings.ActiveInstrument, "KVR820");
  EXPECT_DOUBLE_EQ(AppSettings.TriggerAvg, 0.015);
  EXPECT_DOUBLE_EQ(AppSettings.SampleRate, 50.0);
  EXPECT_EQ(AppSettings.ComPort, 1);

  // A second start reads everything back and appends nothing.
  AppSettings = AppSettingsRecord{};
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(ReadFile(SettingsPath), NewSettingsFile);
}

// The fonts the start-up read loads, measured against the faces, sizes and styles they
// must have; at 144 dots per inch every one is half as large again.
TEST_F(SettingsTest, StartUpReadLoadsTheElevenNumberedFonts) {
  struct Expected {
    int Number;
    const char* Face;
    int Points;
    int Style;
  };
  using platform::FontBold;
  using platform::FontHighQuality;
  using platform::FontPlain;
  const Expected fonts[] = {
      {9, "Carlito", 10, FontPlain},   {3, "Carlito", 20, FontBold},
      {1, "Carlito", 11, FontHighQuality}, {2, "Carlito", 11, FontBold | FontHighQuality},
      {4, "Carlito", 20, FontBold},    {5, "Carlito", 10, FontPlain},
      {6, "Carlito", 20, FontBold},    {7, "Carlito", 18, FontBold},
      {18, "Carlito", 13, FontBold | FontHighQuality},
      {19, "Carlito", 10, FontBold | FontHighQuality},
      {20, "Liberation Sans", 10, FontBold | FontHighQuality},
  };
  const std::string sample = "Max. Current 0123456789";
  constexpr int Reference = 60;
  for (double dpi : {96.0, 144.0}) {
    platform::SetDisplayDpi(dpi, dpi);
    ReadSystemSettings(SettingsPath);
    for (const Expected& font : fonts) {
      ASSERT_TRUE(platform::IsFont(font.Number)) << font.Number;
      platform::SelectFont(font.Number);
      const double width = platform::TextWidth(sample);
      const double height = platform::TextHeight(sample);
      platform::LoadFont(Reference, font.Face, font.Points, font.Style);
      platform::SelectFont(Reference);
      EXPECT_EQ(width, platform::TextWidth(sample)) << "font " << font.Number << " at " << dpi;
      EXPECT_EQ(height, platform::TextHeight(sample)) << "font " << font.Number << " at " << dpi;
    }
  }
  platform::SetDisplayDpi(96, 96);
  ReadSystemSettings(SettingsPath);  // the fonts at the usual density for later tests
}

TEST_F(SettingsTest, FileOfUnrelatedLinesGainsAllKeysAtTheEnd) {
  WriteFile(SettingsPath, "# my notes\r\nunrelated line\r\n");
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(ReadFile(SettingsPath), std::string("# my notes\r\nunrelated line\r\n") + NewSettingsFile);
}

TEST_F(SettingsTest, NoSettingsFolderUsesDefaultsSilently) {
  std::filesystem::remove("settings");
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(AppSettings.Language, "English");
  EXPECT_FALSE(testing::Exists(SettingsPath));
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

// A file that exists but cannot be read: "/proc/self/mem" opens, and reading its start
// fails, which stands in for a locked or damaged file even for the superuser.
TEST_F(SettingsTest, UnreadableFileStartsWithDefaultsIsReportedAndLeftAlone) {
  std::filesystem::create_symlink("/proc/self/mem", SettingsPath);
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(AppSettings.ActiveInstrument, "KVR820");
  EXPECT_EQ(AppSettings.Language, "English");
  EXPECT_EQ(AppSettings.ComPort, 1);
  EXPECT_DOUBLE_EQ(AppSettings.SampleRate, 50.0);
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Icon, platform::MessageIcon::Error);
  EXPECT_NE(platform::headless::MessagesShown()[0].Text.find(SettingsPath), std::string::npos);

  // Nothing is appended to it and a key write leaves it (and its link) as it was.
  WriteKeyValue(SettingsPath, "Language", "French");
  EXPECT_TRUE(std::filesystem::is_symlink(SettingsPath));
  EXPECT_EQ(std::filesystem::read_symlink(SettingsPath), "/proc/self/mem");
  EXPECT_FALSE(testing::Exists("tmp.txt"));
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "");
}

TEST_F(SettingsTest, LastLineWithoutLineEndKeepsItsValueWhenAKeyIsAppended) {
  WriteFile(SettingsPath, "Language=German");
  EXPECT_EQ(ReadSettingString(SettingsPath, "Yes", "KVR_AutoSave"), "Yes");
  EXPECT_EQ(ReadFile(SettingsPath), "Language=German\r\nKVR_AutoSave=Yes\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "German");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "KVR_AutoSave"), "Yes");
}

TEST_F(SettingsTest, LookupIgnoresLetterCaseAndKeepsTextBeforeTheKey) {
  WriteFile(SettingsPath, "language=German\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "German");
  EXPECT_EQ(KeyValueResult, "German");

  WriteFile(SettingsPath, " Language=French\r\nmy Language=Dutch;x\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "my Dutch;x");
  WriteFile(SettingsPath, " Language=French\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), " French");
}

TEST_F(SettingsTest, LaterLineForAKeyWins) {
  WriteFile(SettingsPath, "KVR_ComPort=3\r\nKVR_ComPort=7\r\n");
  EXPECT_EQ(ReadSettingInteger(SettingsPath, 1, "KVR_ComPort"), 7);
}

TEST_F(SettingsTest, MissingFileOrKeyGivesEmptyLookup) {
  EXPECT_EQ(ReadKeyValue("settings/none.txt", "Language"), "");
  WriteFile(SettingsPath, "Languag=German\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "");
}

TEST_F(SettingsTest, EmptyValueCountsAsMissingAndTheAppendedLineWins) {
  WriteFile(SettingsPath, "Language=\r\n");
  EXPECT_EQ(ReadSettingString(SettingsPath, "English", "Language"), "English");
  EXPECT_EQ(ReadFile(SettingsPath), "Language=\r\nLanguage=English\r\n");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "English");
}

TEST_F(SettingsTest, NumbersAreConvertedAndDefaultsWrittenWithEighteenDecimals) {
  WriteFile(SettingsPath,
            "KVR_SampleRate=75\r\nKVR_ComPort=$1F\r\nPMX_TriggerLevel=abc\r\nA=4294967299\r\n");
  EXPECT_DOUBLE_EQ(ReadSettingDouble(SettingsPath, 50.0, "KVR_SampleRate"), 75.0);
  EXPECT_EQ(ReadSettingInteger(SettingsPath, 1, "KVR_ComPort"), 31);
  EXPECT_DOUBLE_EQ(ReadSettingDouble(SettingsPath, 1.0, "PMX_TriggerLevel"), 0.0);
  EXPECT_EQ(ReadSettingInteger(SettingsPath, 0, "A"), 3);  // cut to the low 32 bits

  EXPECT_DOUBLE_EQ(ReadSettingDouble(SettingsPath, 0.015, "PMX_TriggerAvg"), 0.015);
  EXPECT_DOUBLE_EQ(ReadSettingDouble(SettingsPath, -2.5, "Neg"), -2.5);
  EXPECT_EQ(ReadSettingInteger(SettingsPath, -4, "Int"), -4);
  const std::string text = ReadFile(SettingsPath);
  EXPECT_NE(text.find("PMX_TriggerAvg=0.014999999999999999\r\n"), std::string::npos);
  EXPECT_NE(text.find("Neg=-2.500000000000000000\r\n"), std::string::npos);
  EXPECT_NE(text.find("Int=-4\r\n"), std::string::npos);
}

TEST_F(SettingsTest, ExactLookupMatchesOnlyTheWholeKeyInItsCase) {
  WriteFile("PMX_cal.txt", "Gain1=1.5\r\ngain2=2\r\n Gain3=3\r\nGain4=a=b\r\nGain1=1.75\r\nnoequals\r\n");
  EXPECT_EQ(ReadKeyValueExact("PMX_cal.txt", "Gain1"), "1.75");
  EXPECT_EQ(KeyValueResult, "1.75");
  EXPECT_EQ(ReadKeyValueExact("PMX_cal.txt", "Gain2"), "0");
  EXPECT_EQ(ReadKeyValueExact("PMX_cal.txt", "Gain3"), "0");
  EXPECT_EQ(ReadKeyValueExact("PMX_cal.txt", "Gain4"), "a=b");
  EXPECT_EQ(ReadKeyValueExact("missing.txt", "Gain1"), "0");
}

TEST_F(SettingsTest, KeyWriterRewritesEveryMatchingLineInTheCallersCase) {
  WriteFile(SettingsPath, "language=German\nother=1\r\nx LANGUAGE=French\r\n");
  WriteKeyValue(SettingsPath, "Language", "Spanish");
  EXPECT_EQ(ReadFile(SettingsPath), "Language=Spanish\r\nother=1\r\nLanguage=Spanish\r\n");
  EXPECT_EQ(KeyValueResult, "x French");
  EXPECT_FALSE(testing::Exists("tmp.txt"));
}

TEST_F(SettingsTest, KeyWriterAddsNoKeyAndCreatesNoFile) {
  WriteFile(SettingsPath, "other=1\r\n");
  WriteKeyValue(SettingsPath, "Language", "Spanish");
  EXPECT_EQ(ReadFile(SettingsPath), "other=1\r\n");

  WriteKeyValue("settings/none.txt", "Language", "Spanish");
  EXPECT_FALSE(testing::Exists("settings/none.txt"));
}

TEST_F(SettingsTest, KeyWriterKeepsLineEndsOutOfTheValue) {
  WriteFile(SettingsPath, "KVR_SavePNGFileLocation=results\\\r\nactiveInstrument=KVR820\r\n");
  WriteKeyValue(SettingsPath, "KVR_SavePNGFileLocation", "a\r\nactiveInstrument=PMX40");
  EXPECT_EQ(ReadKeyValue(SettingsPath, "activeInstrument"), "KVR820");
}

TEST_F(SettingsTest, KeyWriterWritesBesideTheFileOnAnyFileSystemAndReportsAFailure) {
  // On another file system than the working folder the key is written all the same.
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) == 0 && ::stat(".", &here) == 0 && shm.st_dev != here.st_dev) {
    const std::string elsewhere = "/dev/shm/zolt-settings-" + std::to_string(::getpid()) + ".txt";
    WriteFile(elsewhere, "Language=German\r\n");
    WriteKeyValue(elsewhere, "Language", "French");
    const std::string after = ReadFile(elsewhere);
    std::filesystem::remove(elsewhere);
    EXPECT_EQ(after, "Language=French\r\n");
    EXPECT_TRUE(platform::headless::MessagesShown().empty());
  }
  EXPECT_FALSE(testing::Exists("tmp.txt"));

  // A file that reads but cannot be replaced: the failure is reported.
  WriteKeyValue("/proc/self/status", "Name", "x");
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  const auto& box = platform::headless::MessagesShown()[0];
  EXPECT_EQ(box.Title, "Error - ");
  EXPECT_EQ(box.Text, "'/proc/self/status' could not be rewritten; the setting Name is not saved.");
}

TEST_F(SettingsTest, AFolderInPlaceOfTheFileIsReportedAndLeftoverTemporariesCleared) {
  WriteFile("settings/.zolt-Ab12Cd.tmp", "Language=Fr");
  std::filesystem::last_write_time("settings/.zolt-Ab12Cd.tmp",
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  testing::MakeFolder(SettingsPath);
  ReadSystemSettings(SettingsPath);
  EXPECT_EQ(AppSettings.Language, "English");
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_NE(platform::headless::MessagesShown()[0].Text.find("is a folder"), std::string::npos);
  EXPECT_FALSE(testing::Exists("settings/.zolt-Ab12Cd.tmp"));
}

}  // namespace
}  // namespace zolt::frame
