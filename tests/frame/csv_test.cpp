// CSV tables: the field rule, the grid's limits, the writer, numbered names and the
// rewrite of one cell.
#include <gtest/gtest.h>

#include <string>

#include "frame/csv.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class CsvTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
};

TEST_F(CsvTest, QuotedFieldsKeepTheirCommasAndCountOneMoreColumnAtTheEnd) {
  WriteFile("a.csv", "a,\"b,c\",d\r\n\r\nx,y\r\n");
  ReadCsvFile("a.csv", ',');
  EXPECT_EQ(CsvRowCount, 3);
  EXPECT_EQ(CsvColumnCount, 3);
  EXPECT_EQ(CsvCell(0, 0), "a");
  EXPECT_EQ(CsvCell(0, 1), "b,c");
  EXPECT_EQ(CsvCell(0, 2), "d");
  EXPECT_EQ(CsvCell(1, 0), "");  // an empty line is a row of its own
  EXPECT_EQ(CsvCell(2, 1), "y");

  WriteFile("b.csv", "a,b\r\n");
  ReadCsvFile("b.csv", ',');
  EXPECT_EQ(CsvColumnCount, 2);
  WriteFile("c.csv", "a,\"b\"\r\n");
  ReadCsvFile("c.csv", ',');
  EXPECT_EQ(CsvColumnCount, 3);
  WriteFile("d.csv", "a,b,\r\n");  // a trailing separator leaves an empty last field
  ReadCsvFile("d.csv", ',');
  EXPECT_EQ(CsvColumnCount, 3);
}

TEST_F(CsvTest, DoubledQuotesStandForOneAndAnUnclosedQuoteEndsTheLine) {
  SplitCsvLine("\"a\"\"b\",c,\"\"");  // a doubled quote inside quotes is one quote
  EXPECT_EQ(CsvFields[0], "a\"b");
  EXPECT_EQ(CsvFields[1], "c");
  EXPECT_EQ(CsvFields[2], "");

  SplitCsvLine("x,\"open, never closed");
  EXPECT_EQ(CsvFields[0], "x");
  EXPECT_EQ(CsvFields[1], "open, never closed");
  EXPECT_EQ(CsvFields[2], "");

  SplitCsvLine("\"q\"tail,next");  // the text after a closing quote starts the next field
  EXPECT_EQ(CsvFields[0], "q");
  EXPECT_EQ(CsvFields[1], "tail");
  EXPECT_EQ(CsvFields[2], "next");
}

TEST_F(CsvTest, SplitterForgetsTheFieldsOfTheLineBefore) {
  std::string wide;
  for (int i = 0; i < 80; ++i) wide += "f" + std::to_string(i) + ",";
  SplitCsvLine(wide);
  EXPECT_EQ(CsvFields[70], "f70");
  SplitCsvLine("one");
  EXPECT_EQ(CsvFields[0], "one");
  EXPECT_EQ(CsvFields[1], "");
  EXPECT_EQ(CsvFields[70], "");
}

TEST_F(CsvTest, ByteOrderMarkStaysInTheFirstCell) {
  WriteFile("bom.csv", "\xEF\xBB\xBFName,Value\r\n");
  ReadCsvFile("bom.csv", ',');
  EXPECT_EQ(CsvCell(0, 0), "\xEF\xBB\xBFName");
}

TEST_F(CsvTest, OtherSeparatorStillDropsACommaAfterAQuotedField) {
  WriteFile("semi.csv", "\"a;b\",c;d\r\n");
  ReadCsvFile("semi.csv", ';');
  EXPECT_EQ(CsvCell(0, 0), "a;b");
  EXPECT_EQ(CsvCell(0, 1), "c");
  EXPECT_EQ(CsvCell(0, 2), "d");
}

TEST_F(CsvTest, ExtraFieldsAndLinesAreDroppedAtTheGridsEdge) {
  std::string wide;
  for (int i = 0; i < 150; ++i) wide += "c" + std::to_string(i) + ",";
  SplitCsvLine(wide);
  EXPECT_EQ(CsvFields[100], "c100");

  std::string text = wide + "\r\n";
  for (int i = 1; i < CsvRows + 4; ++i) text += "r" + std::to_string(i) + "\r\n";
  WriteFile("big.csv", text);
  ReadCsvFile("big.csv", ',');
  EXPECT_EQ(CsvRowCount, CsvRows);
  EXPECT_EQ(CsvColumnCount, CsvColumns);
  EXPECT_EQ(CsvCell(0, 100), "c100");
  EXPECT_EQ(CsvCell(0, 101), "");
  EXPECT_EQ(CsvCell(CsvRows - 1, 0), "r" + std::to_string(CsvRows - 1));
  EXPECT_EQ(CsvCell(CsvRows, 0), "");
}

TEST_F(CsvTest, MissingFileGivesAnEmptyGrid) {
  SetCsvCell(5, 5, "old");
  ReadCsvFile("none.csv", ',');
  EXPECT_EQ(CsvRowCount, 0);
  EXPECT_EQ(CsvColumnCount, 1);
  EXPECT_EQ(CsvCell(5, 5), "");
}

TEST_F(CsvTest, ClearingEmptiesTheGivenBlockOnly) {
  ClearStringGrid(0, 0);
  SetCsvCell(0, 0, "a");
  SetCsvCell(2, 3, "b");
  SetCsvCell(3, 0, "c");
  SetCsvCell(CsvRows - 1, CsvColumns - 1, "corner");
  SetCsvCell(CsvRows, 0, "outside");  // ignored
  ClearStringGrid(2, 2);
  EXPECT_EQ(CsvCell(0, 0), "");
  EXPECT_EQ(CsvCell(2, 3), "b");
  EXPECT_EQ(CsvCell(3, 0), "c");
  ClearStringGrid(3, 0);  // 0 columns: the whole width
  EXPECT_EQ(CsvCell(2, 3), "");
  EXPECT_EQ(CsvCell(CsvRows - 1, CsvColumns - 1), "corner");
  ClearStringGrid(0, 0);
  EXPECT_EQ(CsvCell(CsvRows - 1, CsvColumns - 1), "");
}

TEST_F(CsvTest, WriterQuotesOnlyCellsThatWouldNotReadBackAsTheyAre) {
  ClearStringGrid(0, 0);
  SetCsvCell(0, 0, "a,b");
  SetCsvCell(0, 1, "say \"hi\"");
  SetCsvCell(0, 2, "\"Q1\", 25 C");
  SetCsvCell(1, 0, "\"Q2\"");
  SetCsvCell(1, 1, std::string("two\r\nlines\0", 11));  // a line end never splits the row
  SetCsvCell(1, 2, "z");
  ASSERT_TRUE(WriteCsvFile("out.csv", ',', 2, 3));
  EXPECT_EQ(ReadFile("out.csv"),
            "\"a,b\",say \"hi\",\"\"\"Q1\"\", 25 C\"\r\n\"\"\"Q2\"\"\",two  lines ,z\r\n");
  ReadCsvFile("out.csv", ',');
  EXPECT_EQ(CsvCell(0, 1), "say \"hi\"");
  EXPECT_EQ(CsvCell(0, 2), "\"Q1\", 25 C");
  EXPECT_EQ(CsvCell(1, 0), "\"Q2\"");
  EXPECT_EQ(CsvCell(1, 2), "z");

  EXPECT_FALSE(WriteCsvFile("no/such/folder/out.csv", ',', 2, 3));
}

TEST_F(CsvTest, HighestNumberReadsCsvNamesInAnyLetterCase) {
  EXPECT_EQ(FindHighestCsvNumber("missing"), 1);
  testing::MakeFolder("runs");
  EXPECT_EQ(FindHighestCsvNumber("runs"), 1);
  WriteFile("runs/0007.CSV", "");
  WriteFile("runs/Sample.csv", "");
  WriteFile("runs/0099.txt", "");
  EXPECT_EQ(FindHighestCsvNumber("runs"), 7);
  WriteFile("runs/0012.csv.bak", "");
  EXPECT_EQ(FindHighestCsvNumber("runs"), 12);
  testing::MakeFolder("runs/0500.csv");  // a folder counts as 0000.csv
  EXPECT_EQ(FindHighestCsvNumber("runs"), 12);
}

TEST_F(CsvTest, NumberedNamesAreClampedToFourDigits) {
  EXPECT_EQ(MakeCsvFileName(12), "0012.csv");
  EXPECT_EQ(MakeCsvFileName(0), "0001.csv");
  EXPECT_EQ(MakeCsvFileName(-3), "0001.csv");
  EXPECT_EQ(MakeCsvFileName(9999), "9999.csv");
  EXPECT_EQ(MakeCsvFileName(12345), "9999.csv");
}

TEST_F(CsvTest, UpdateCellRewritesOneFieldAndNoOtherByte) {
  WriteFile("run.csv", "Step,GraphTitle,Note\r\n1,\"old, title\",x\r\n2,,y\r\n");
  UpdateCsvCell("run.csv", "GraphTitle", 1, "My \"best\" run, 2");
  EXPECT_EQ(ReadFile("run.csv"),
            "Step,GraphTitle,Note\r\n1,\"My \"\"best\"\" run, 2\",x\r\n2,,y\r\n");
  SplitCsvLine("1,\"My \"\"best\"\" run, 2\",x");
  EXPECT_EQ(CsvFields[1], "My \"best\" run, 2");
  EXPECT_EQ(CsvFields[2], "x");
  UpdateCsvCell("run.csv", "Note", 1, "plain");
  EXPECT_EQ(ReadFile("run.csv"),
            "Step,GraphTitle,Note\r\n1,\"My \"\"best\"\" run, 2\",plain\r\n2,,y\r\n");

  // A heading and one data line; line ends, a quoted neighbour and an empty last field
  // keep their bytes.
  WriteFile("two.csv", "\nStep,GraphTitle,Note\r\r\n \n1,title,\"a,b\"\n");
  UpdateCsvCell("two.csv", "GraphTitle", 1, "new");
  EXPECT_EQ(ReadFile("two.csv"), "\nStep,GraphTitle,Note\r\r\n \n1,new,\"a,b\"\n");
  WriteFile("end.csv", "Step,GraphTitle\r\n1,");
  UpdateCsvCell("end.csv", "GraphTitle", 1, "last,\nline");
  EXPECT_EQ(ReadFile("end.csv"), "Step,GraphTitle\r\n1,\"last, line\"");
}

TEST_F(CsvTest, UpdateCellStopsWithoutChangingTheFile) {
  const std::string one = "Step,GraphTitle\r\n";
  WriteFile("one.csv", one);
  UpdateCsvCell("one.csv", "GraphTitle", 1, "new");  // no data line
  EXPECT_EQ(ReadFile("one.csv"), one);

  const std::string three = "Step,GraphTitle,Extra\r\n1\r\n2,a\r\n";
  WriteFile("three.csv", three);
  UpdateCsvCell("three.csv", "graphtitle", 1, "new");  // heading compared in its case
  UpdateCsvCell("three.csv", "GraphTitle", 1, "new");  // line 1 has no such field
  UpdateCsvCell("three.csv", "Step", -1, "new");
  EXPECT_EQ(ReadFile("three.csv"), three);

  UpdateCsvCell("none.csv", "Step", 1, "new");
  EXPECT_FALSE(testing::Exists("none.csv"));
}

}  // namespace
}  // namespace zolt::frame
