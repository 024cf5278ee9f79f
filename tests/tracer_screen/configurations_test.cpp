// The test configurations installed with the program: every configuration a device preset
// selects is there, with quantities the graph knows, units derivable from them, and
// symbols, subscripts and descriptions for both axes and the curve parameter.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "frame/csv.h"
#include "frame/numbers.h"
#include "tracer/quantities.h"

namespace zolt::tracer {
namespace {

TEST(TestConfigurationFile, HoldsEveryPresetsConfiguration) {
  frame::ReadCsvFile(std::string(ZOLT_APP_DIR) + "/settings/TestConfigurations.csv", ',');
  ASSERT_GT(frame::CsvRowCount, 1);
  EXPECT_EQ(frame::ParseInteger(frame::CsvCell(0, 0)), 0) << "the header line is skipped";
  std::map<int64_t, int> rows;
  for (int r = 0; r < frame::CsvRowCount; ++r) {
    const int64_t number = frame::ParseInteger(frame::CsvCell(r, 0));
    if (number != 0) rows[number] = r;
  }
  for (int64_t number : {100, 300, 500, 600, 610, 620}) {
    ASSERT_TRUE(rows.count(number)) << number;
    const int r = rows[number];
    for (int column : {2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 15, 16, 17})
      EXPECT_FALSE(frame::CsvCell(r, column).empty()) << number << " column " << column;
    // X, Y and the curve parameter name point fields with a unit (volts or amperes).
    for (int column : {6, 10, 14}) {
      const std::string kind = QuantityKind(frame::CsvCell(r, column));
      EXPECT_TRUE(kind == "volts" || kind == "amps") << number << " column " << column;
    }
  }
  const int collector = rows[100];
  EXPECT_EQ(frame::CsvCell(collector, 6), "vc");
  EXPECT_EQ(frame::CsvCell(collector, 10), "ic");
  EXPECT_EQ(frame::CsvCell(collector, 14), "tib");
  EXPECT_EQ(frame::CsvCell(rows[300], 14), "tvb");
}

}  // namespace
}  // namespace zolt::tracer
