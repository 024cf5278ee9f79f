// Test configurations: the file read into the table (one row per configuration number),
// and a configuration applied to GraphSettings with its built titles and derived units.
#include "tracer/test_config.h"

#include <algorithm>

#include "frame/csv.h"
#include "frame/numbers.h"
#include "platform/system.h"

namespace zolt::tracer {

namespace {

constexpr int32_t FirstConfiguration = 100;
constexpr int32_t LastConfiguration = 1000;

// The unit of a measured quantity: volts for the voltages, amperes for the currents, none
// for hfe and anything else.
std::string UnitOfQuantity(const std::string& quantity) {
  const std::string q = frame::ToLower(quantity);
  if (q == "vc" || q == "vr" || q == "vb" || q == "tvb") return "V";
  if (q == "ic" || q == "ir" || q == "ib" || q == "tib") return "A";
  return "";
}

}  // namespace

void LoadTestConfigurations() {
  std::string bytes;
  platform::ReadFileBytes(TestConfigurationFile, bytes);  // a missing file reads as empty
  LoadTestConfigurationText(bytes);
}

void LoadTestConfigurationText(std::string_view text) {
  frame::ReadCsvText(text, ',');
  for (auto& row : TestConfigTable)
    for (std::string& cell : row) cell.clear();

  // Column 0 numbers the line; a line whose number reads as 0 (a header, an empty line)
  // is skipped. Numbers outside the table and columns beyond its width are left out.
  const int columns = std::min<int>(frame::CsvColumnCount, TestConfigColumns);
  for (int row = 0; row < frame::CsvRowCount; ++row) {
    const int64_t number = frame::ParseInteger(frame::CsvCell(row, 0));
    if (number < 1 || number >= TestConfigRows) continue;
    for (int column = 0; column < columns; ++column)
      TestConfigTable[number][column] = frame::CsvCell(row, column);
  }
}

void ApplyTestConfiguration(int32_t number) {
  GraphSettingsRecord& g = GraphSettings;
  g.XTitle.clear();
  g.YTitle.clear();
  g.XUnit.clear();
  g.YUnit.clear();
  g.CurveUnit.clear();

  const int32_t clamped = std::clamp(number, FirstConfiguration, LastConfiguration);
  if (clamped != number) TestConfiguration = clamped;

  const std::string(&row)[TestConfigColumns] = TestConfigTable[clamped];
  g.ConfigText1 = row[2];
  g.ConfigText2 = row[3];
  g.XTitle = row[4];
  g.YTitle = row[5];
  g.XQuantity = row[6];
  g.XSymbol = row[7];
  g.XSubscript = row[8];
  g.XDescription = row[9];
  g.YQuantity = row[10];
  g.YSymbol = row[11];
  g.YSubscript = row[12];
  g.YDescription = row[13];
  g.CurveQuantity = row[14];
  g.CurveSymbol = row[15];
  g.CurveSubscript = row[16];
  g.CurveDescription = row[17];

  if (g.XTitle.empty()) g.XTitle = "X axis: " + g.XSymbol + g.XSubscript;
  if (g.YTitle.empty()) g.YTitle = "Y axis: " + g.YSymbol + g.YSubscript;
  g.XUnit = UnitOfQuantity(g.XQuantity);
  g.YUnit = UnitOfQuantity(g.YQuantity);
  g.CurveUnit = UnitOfQuantity(g.CurveQuantity);
}

}  // namespace zolt::tracer
