// Value formatting: a value in SI base units shown with a decimal prefix chosen by its
// magnitude in steps of 1000 and a unit symbol ("250 uA", "47 kR", "-12.3 mV").
// Pure functions.
#pragma once

#include <cstdint>
#include <string>

namespace zolt::screen {

// Volts, prefix chosen automatically; 0 shows as "0 mV". The unit and zero texts that
// callers pass are accepted and not used.
std::string FormatVoltage(double value, const std::string& unit, const std::string& zeroText);

// Amperes. An empty unit chooses the prefix; "aA", "fA", "pA", "nA", "uA", "mA" or "A"
// forces that scale (a value of 0 too). zeroText is shown for exactly 0 when no unit is
// forced; empty stands for "0 A".
std::string FormatCurrent(double value, const std::string& unit, const std::string& zeroText);

// Any quantity ("current", "volts", "ohms", "hz", "time", "siemens", "hfe" ... in any letter
// case) with `decimals` digits after the point, computed in single precision; trim = 1
// drops trailing zeros and a bare point. An unknown quantity is used as the unit itself.
std::string FormatValueWithUnit(double value, const std::string& quantity, int32_t decimals, int32_t trim);

}  // namespace zolt::screen
