// Message log: the line format and which report types show a box.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "frame/log.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::headless::Reset(); }
  testing::TempFolder folder_;
};

TEST_F(LogTest, StampHasTwoDigitFieldsAndTheMonthsShortName) {
  platform::DateTime when;
  when.Year = 2026;
  when.Month = 3;
  when.Day = 5;
  when.Hour = 9;
  when.Minute = 7;
  when.Second = 3;
  EXPECT_EQ(FormatLogStamp(when), "05-Mar-2026 09:07:03");
  when.Month = 12;
  when.Day = 31;
  when.Hour = 23;
  EXPECT_EQ(FormatLogStamp(when), "31-Dec-2026 23:07:03");
}

TEST_F(LogTest, ReportIsLoggedAsTypeTitleAndTextWithNothingEscaped) {
  // The stamp is the local time of the write: taken before and after, it is one of them.
  const std::string before = FormatLogStamp(platform::LocalDateTime());
  ReportMessage("Error", "", "bad, very bad");
  ReportMessage("note", "Title", "only logged");
  const std::string after = FormatLogStamp(platform::LocalDateTime());
  const std::string log = testing::ReadFile(LogFile);
  const std::string first = log.substr(0, log.find("\r\n") + 2);
  const std::string second = log.substr(first.size());
  for (const auto& [line, text] : {std::pair{first, std::string("Error,,bad, very bad\r\n")},
                                   std::pair{second, std::string("note,Title,only logged\r\n")}}) {
    EXPECT_TRUE(line == "[" + before + "] " + text || line == "[" + after + "] " + text) << line;
  }
}

TEST_F(LogTest, KnownTypesShowABoxInAnyLetterCase) {
  ReportMessage("Error", "", "e");
  ReportMessage("Info", "USB", "i");
  ReportMessage("WARNING", "w", "text");
  ReportMessage("note", "n", "not shown");
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].Title, "Error - ");
  EXPECT_EQ(shown[0].Icon, platform::MessageIcon::Error);
  EXPECT_EQ(shown[1].Title, "Info - USB");
  EXPECT_EQ(shown[1].Text, "i");
  EXPECT_EQ(shown[1].Icon, platform::MessageIcon::Information);
  EXPECT_EQ(shown[2].Title, "WARNING - w");
  EXPECT_EQ(shown[2].Icon, platform::MessageIcon::Warning);
}

TEST_F(LogTest, UnwritableLogShowsAWarningAndTheReportStillShows) {
  testing::MakeFolder(LogFile);  // a folder in the log's place cannot be appended to
  ReportMessage("Error", "T", "x");
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Title, "Warning #xxxx");
  EXPECT_EQ(shown[0].Text, "cannot write to log.txt");
  EXPECT_EQ(shown[0].Icon, platform::MessageIcon::Warning);
  EXPECT_EQ(shown[1].Title, "Error - T");
}

}  // namespace
}  // namespace zolt::frame
