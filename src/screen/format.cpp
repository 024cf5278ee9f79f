// Value formatting: FormatVoltage and FormatCurrent (plain real text of the scaled value)
// and FormatValueWithUnit (fixed decimals in single precision, optional trimming).
//
// Sections: voltage; current; any quantity.
#include "screen/format.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "frame/numbers.h"

namespace zolt::screen {

using frame::RealToText;

// ---- voltage ----

std::string FormatVoltage(double value, const std::string&, const std::string&) {
  // Not a number or infinite: shown as such rather than falling through the scales.
  if (!std::isfinite(value)) return RealToText(value) + " V";
  std::string sign;
  double v = value;
  if (value < 0) {
    sign = "-";
    v = -value;
  }
  if (v >= 1) return sign + RealToText(v) + " V";
  if (v >= 1e-3) return sign + RealToText(v * 1000) + " mV";
  if (v >= 1e-6) return sign + RealToText(v * 1e6) + " uV";
  if (v >= 1e-9) return sign + RealToText(v * 1e9) + " nV";
  if (v == 0) return "0 mV";
  return "";
}

// ---- current ----

namespace {

struct ForcedScale {
  const char* Unit;
  double Factor;
};

constexpr ForcedScale ForcedCurrentScales[] = {
    {"aA", 1e18}, {"fA", 1e15}, {"pA", 1e12}, {"nA", 1e9}, {"uA", 1e6}, {"mA", 1e3}, {"A", 1},
};

}  // namespace

std::string FormatCurrent(double value, const std::string& unit, const std::string& zeroText) {
  if (!std::isfinite(value)) return RealToText(value) + " A";
  std::string sign;
  double v = value;
  if (value < 0) {
    sign = "-";
    v = -value;
  }
  for (const ForcedScale& scale : ForcedCurrentScales)
    if (unit == scale.Unit) return sign + RealToText(v * scale.Factor) + " " + scale.Unit;
  if (v >= 1) return sign + RealToText(v) + " A";
  if (v >= 1e-3) return sign + RealToText(v * 1e3) + " mA";
  if (v >= 1e-6) return sign + RealToText(v * 1e6) + " uA";
  if (v >= 1e-9) return sign + RealToText(v * 1e9) + " nA";
  if (v >= 1e-12) return sign + RealToText(v * 1e12) + " pA";
  if (v >= 1e-15) return sign + RealToText(v * 1e15) + " fA";
  if (v > 0) return sign + RealToText(v * 1e18) + " aA";
  return zeroText.empty() ? "0 A" : zeroText;
}

// ---- any quantity ----

namespace {

// One scale of a group: used while the magnitude is below Limit; the value becomes
// value x Multiplier / Divisor.
struct Scale {
  double Limit;
  double Multiplier;
  double Divisor;
  const char* Unit;
};

constexpr double Above = std::numeric_limits<double>::infinity();

struct QuantityGroup {
  const char* Names[4];
  const char* ZeroUnit;
  Scale Scales[9];
};

// Scales are tested in order; the first whose limit exceeds the magnitude wins, and the
// last of each group has no limit.
const QuantityGroup Groups[] = {
    {{"a", "amps", "current"},
     "A",
     {{1e-9, 1e12, 1, "pA"},
      {1e-6, 1e9, 1, "nA"},
      {1e-3, 1e6, 1, "uA"},
      {1, 1e3, 1, "mA"},
      {1e3, 1, 1, "A"},
      {1e6, 1, 1e3, "kA"},
      {1e9, 1, 1e6, "MA"},
      {Above, 1, 1e9, "GA"}}},
    {{"v", "volts", "voltage"},
     "V",
     {{1e-9, 1e12, 1, "pV"},
      {1e-6, 1e9, 1, "nV"},
      {1e-3, 1e6, 1, "uV"},
      {1, 1e3, 1, "mV"},
      {1e3, 1, 1, "V"},
      {Above, 1, 1e3, "kV"}}},
    {{"r", "ohms", "resistance"},
     "R",
     {{1e3, 1, 1, "R"}, {1e6, 1, 1e3, "kR"}, {1e9, 1, 1e6, "MR"}, {1e12, 1, 1e9, "GR"}, {Above, 1, 1e12, "TR"}}},
    {{"f", "hz", "freq", "frequency"},
     "Hz",
     {{1e3, 1, 1, "Hz"},
      {1e6, 1, 1e3, "kHz"},
      {1e9, 1, 1e6, "MHz"},
      {1e12, 1, 1e9, "GHz"},
      {Above, 1, 1e12, "THz"}}},
    {{"s", "seconds", "time"}, "S", {{1e-3, 1e6, 1, "uS"}, {1, 1e3, 1, "mS"}, {Above, 1, 1, "S"}}},
    {{"mho", "siemens", "conductance"},
     "S",
     {{1e-6, 1e9, 1, "nS"}, {1e-3, 1e6, 1, "uS"}, {1, 1e3, 1, "mS"}, {Above, 1, 1, "S"}}},
};

const QuantityGroup* FindGroup(const std::string& lowered) {
  for (const QuantityGroup& group : Groups)
    for (const char* name : group.Names)
      if (name && lowered == name) return &group;
  return nullptr;
}

// Single precision, as the readouts are computed; beyond its range the value is infinite.
float ToSingle(double value) {
  if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace

std::string FormatValueWithUnit(double value, const std::string& quantity, int32_t decimals, int32_t trim) {
  const double m = std::fabs(value);
  const std::string lowered = frame::ToLower(quantity);
  double scaled = value;
  std::string unit;
  if (const QuantityGroup* group = FindGroup(lowered)) {
    if (m == 0) {
      scaled = 0;
      unit = group->ZeroUnit;
    } else {
      for (const Scale& scale : group->Scales) {
        if (!scale.Unit) break;
        unit = scale.Unit;
        scaled = value * scale.Multiplier / scale.Divisor;
        if (m < scale.Limit) break;
      }
    }
  } else if (lowered != "hfe") {
    unit = quantity;
  }

  std::string number = frame::FixedDecimals(ToSingle(scaled), decimals);
  if (trim == 1 && decimals > 0) {
    while (!number.empty() && number.back() == '0') number.pop_back();
    if (!number.empty() && number.back() == '.') number.pop_back();
  }
  return unit.empty() ? number : number + " " + unit;
}

}  // namespace zolt::screen
