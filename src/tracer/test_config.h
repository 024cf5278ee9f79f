// Test configurations: what a run's graph shows (X and Y quantities, the curve
// parameter, titles, symbols, subscripts, descriptions), numbered 100..1000 and read from
// "settings/TestConfigurations.csv". Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::tracer {

inline const std::string TestConfigurationFile = "settings/TestConfigurations.csv";

constexpr int TestConfigRows = 1001;    // configuration numbers 0..1000
constexpr int TestConfigColumns = 31;

// The loaded file, one row per configuration number.
inline std::string TestConfigTable[TestConfigRows][TestConfigColumns];

struct GraphSettingsRecord {
  std::string ConfigText1, ConfigText2;
  std::string XTitle, YTitle;
  std::string XQuantity, XUnit, XSymbol, XSubscript, XDescription;
  std::string YQuantity, YUnit, YSymbol, YSubscript, YDescription;
  std::string CurveQuantity, CurveUnit, CurveSymbol, CurveSubscript, CurveDescription;

  bool operator==(const GraphSettingsRecord&) const = default;
};

inline GraphSettingsRecord GraphSettings;

inline int32_t TestConfiguration = 100;        // the selected number
inline int32_t AppliedTestConfiguration = 0;   // the number last applied by the handler

void LoadTestConfigurations();
// The same for the file's bytes already in memory.
void LoadTestConfigurationText(std::string_view text);
void ApplyTestConfiguration(int32_t number);

}  // namespace zolt::tracer
