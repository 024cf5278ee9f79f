// Translations: the language table, Translate, the captions and the language buttons.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

using testing::WriteFile;

class TranslateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int row = 0; row < 40; ++row)
      for (int column = 0; column < 8; ++column) SetLanguageCell(row, column, "");
    LanguageState = LanguageStateRecord{};
    AppSettings = AppSettingsRecord{};
    ShowChosenLanguage = nullptr;
  }
  void TearDown() override { ShowChosenLanguage = nullptr; }
  testing::TempFolder folder_;
};

const char* const Table =
    "English,German,French\r\n"
    "Connect,Verbinden,Connecter\r\n"
    "STOP,,Arr\xC3\xAAt\r\n"
    "Connect,Second,Deuxi\xC3\xA8me\r\n"
    "\"Max. Current, peak\",\"Max. Strom, Spitze\",x\r\n";

TEST_F(TranslateTest, FirstMatchingRowWinsAndAnEmptyCellGivesAnEmptyText) {
  WriteFile("languages/language.csv", Table);
  LoadLanguageTable(LanguageFile);
  LanguageState.LanguageColumn = FindLanguageColumn("German");
  ASSERT_EQ(LanguageState.LanguageColumn, 1);
  EXPECT_EQ(Translate("Connect"), "Verbinden");
  EXPECT_EQ(Translate("STOP"), "");
  EXPECT_EQ(Translate("Max. Current, peak"), "Max. Strom, Spitze");
  EXPECT_EQ(Translate("connect"), "connect");  // exact comparison
  EXPECT_EQ(Translate("Not in the table"), "Not in the table");
  EXPECT_EQ(TranslateToColumn("STOP", 2), "Arr\xC3\xAAt");
  EXPECT_EQ(TranslateToColumn("English", 2), "French");
}

TEST_F(TranslateTest, EmptyTextGivesTheCellOfTheFirstRowWithoutEnglish) {
  WriteFile("l.csv", "English,German\r\nA,B\r\n,leer\r\n");
  LoadLanguageTable("l.csv");
  EXPECT_EQ(TranslateToColumn("", 1), "leer");
}

TEST_F(TranslateTest, LanguageNamesAreFoundInTheirExactCase) {
  WriteFile("l.csv", Table);
  LoadLanguageTable("l.csv");
  EXPECT_EQ(FindLanguageColumn("French"), 2);
  EXPECT_EQ(FindLanguageColumn("english"), 0);
  EXPECT_EQ(FindLanguageColumn("Klingon"), 0);
}

TEST_F(TranslateTest, LoadKeepsCellsOutsideTheNewFilesBlock) {
  WriteFile("big.csv", Table);
  LoadLanguageTable("big.csv");
  WriteFile("small.csv", "English,Dutch\r\nConnect,Verbinden NL\r\n");
  LoadLanguageTable("small.csv");
  EXPECT_EQ(LanguageCell(0, 1), "Dutch");
  EXPECT_EQ(LanguageCell(0, 2), "French");  // outside the second file's columns
  EXPECT_EQ(LanguageCell(2, 0), "STOP");    // outside its rows
  LoadLanguageTable("missing.csv");
  EXPECT_EQ(LanguageCell(1, 1), "Verbinden NL");
}

TEST_F(TranslateTest, UnreadableFileIsReportedAndLeavesTheTable) {
  WriteFile("l.csv", Table);
  LoadLanguageTable("l.csv");
  platform::headless::Reset();
  // "/proc/self/mem" opens, but reading its start fails.
  std::filesystem::create_symlink("/proc/self/mem", "broken.csv");
  LoadLanguageTable("broken.csv");
  EXPECT_EQ(LanguageCell(0, 1), "German");
  EXPECT_EQ(LanguageCell(1, 1), "Verbinden");
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_NE(platform::headless::MessagesShown()[0].Text.find("broken.csv"), std::string::npos);

  LoadLanguageTable("missing.csv");  // a missing file is no error
  EXPECT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(LanguageCell(1, 1), "Verbinden");
}

TEST_F(TranslateTest, CaptionsAreTranslatedExceptTheCursorNames) {
  WriteFile("l.csv",
            "English,German\r\nConnect,Verbinden\r\nXA,Xa\r\nZERO,NULL\r\nlive Data,Live-Daten\r\n");
  LoadLanguageTable("l.csv");
  LanguageState.LanguageColumn = 1;
  LoadUiTexts();
  EXPECT_EQ(Captions.Connect, "Verbinden");
  EXPECT_EQ(Captions.Zero, "NULL");
  EXPECT_EQ(Captions.LiveData, "Live-Daten");
  EXPECT_EQ(Captions.XA, "XA");
  EXPECT_EQ(Captions.YB, "YB");
  EXPECT_EQ(Captions.KeyMeasurements, "KEY / MEASUREMENTS");
  EXPECT_EQ(Captions.MaxCurrent, "Max. Current");
}

TEST_F(TranslateTest, LanguageButtonsSelectTheirNames) {
  EXPECT_EQ(LanguageNameOfButton(43), "Arabic");
  EXPECT_EQ(LanguageNameOfButton(61), "Icelandic");
  EXPECT_EQ(LanguageNameOfButton(63), "Italian");
  EXPECT_EQ(LanguageNameOfButton(88), "Vietnamese");
  EXPECT_EQ(LanguageNameOfButton(62), "");
  EXPECT_EQ(LanguageNameOfButton(80), "");
  EXPECT_EQ(LanguageNameOfButton(42), "");
  int named = 0;
  for (int id = 0; id < 200; ++id) named += LanguageNameOfButton(id).empty() ? 0 : 1;
  EXPECT_EQ(named, 44);
}

TEST_F(TranslateTest, SelectingALanguageShowsItOnlyWhenItDiffersFromTheApplied) {
  static std::vector<std::string> shown;
  shown.clear();
  ShowChosenLanguage = [](const std::string& name) { shown.push_back(name); };

  LanguageState.LanguageApplied = "English";
  SelectLanguageById(80);
  EXPECT_EQ(AppSettings.Language, "English");
  SelectLanguageById(51);
  EXPECT_EQ(AppSettings.Language, "English");
  SelectLanguageById(55);
  EXPECT_EQ(AppSettings.Language, "German");
  EXPECT_EQ(shown, std::vector<std::string>{"German"});
}

TEST_F(TranslateTest, LookupsFollowEveryChangeOfTheEnglishTexts) {
  SetLanguageCell(1, 0, "Run");
  SetLanguageCell(1, 1, "Lauf");
  EXPECT_EQ(TranslateToColumn("Run", 1), "Lauf");
  EXPECT_EQ(TranslateToColumn("Halt", 1), "Halt");
  SetLanguageCell(0, 0, "Halt");  // an earlier row with a text of its own
  SetLanguageCell(0, 1, "Stopp");
  SetLanguageCell(1, 0, "");
  EXPECT_EQ(TranslateToColumn("Halt", 1), "Stopp");
  EXPECT_EQ(TranslateToColumn("Run", 1), "Run");
  ClearLanguageTable();
  EXPECT_EQ(TranslateToColumn("Halt", 1), "Halt");
}

}  // namespace
}  // namespace zolt::frame
