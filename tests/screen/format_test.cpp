// Values shown with an SI prefix and a unit.
#include <gtest/gtest.h>

#include <cmath>

#include "screen/format.h"

namespace zolt::screen {
namespace {

TEST(FormatVoltage, ScalesByMagnitude) {
  EXPECT_EQ(FormatVoltage(-0.0123, "mV", "0 mV"), "-12.3 mV");
  EXPECT_EQ(FormatVoltage(1, "", ""), "1 V");
  EXPECT_EQ(FormatVoltage(250.5, "V", ""), "250.5 V");
  EXPECT_EQ(FormatVoltage(0.999, "", ""), "999 mV");
  EXPECT_EQ(FormatVoltage(2.5e-6, "", ""), "2.5 uV");
  EXPECT_EQ(FormatVoltage(3e-9, "", ""), "3 nV");
}

TEST(FormatVoltage, ZeroTinyAndNotFinite) {
  EXPECT_EQ(FormatVoltage(0.0, "", ""), "0 mV");
  EXPECT_EQ(FormatVoltage(-0.0, "V", ""), "0 mV");  // the unit argument is not used
  EXPECT_EQ(FormatVoltage(5e-10, "", ""), "");
  EXPECT_EQ(FormatVoltage(-5e-10, "", ""), "");
  EXPECT_EQ(FormatVoltage(-INFINITY, "", ""), "-Infinity V");
  EXPECT_EQ(FormatVoltage(NAN, "", ""), "NaN V");
}

TEST(FormatCurrent, AutomaticPrefix) {
  EXPECT_EQ(FormatCurrent(0.00025, "", ""), "250 uA");
  EXPECT_EQ(FormatCurrent(2, "", ""), "2 A");
  EXPECT_EQ(FormatCurrent(-0.015, "", ""), "-15 mA");
  EXPECT_EQ(FormatCurrent(4e-9, "", ""), "4 nA");
  EXPECT_EQ(FormatCurrent(7e-12, "", ""), "7 pA");
  EXPECT_EQ(FormatCurrent(5e-13, "", ""), "500 fA");
  EXPECT_EQ(FormatCurrent(2e-16, "", ""), "200 aA");
  EXPECT_EQ(FormatCurrent(0.002, "kA", ""), "2 mA");  // an unknown unit leaves the choice
}

TEST(FormatCurrent, ZeroTextAndForcedUnits) {
  EXPECT_EQ(FormatCurrent(0, "", ""), "0 A");
  EXPECT_EQ(FormatCurrent(0, "", "0 nA"), "0 nA");
  EXPECT_EQ(FormatCurrent(0, "mA", "0 nA"), "0 mA");
  EXPECT_EQ(FormatCurrent(-0.002, "mA", ""), "-2 mA");
  EXPECT_EQ(FormatCurrent(0.0015, "uA", ""), "1500 uA");
  EXPECT_EQ(FormatCurrent(3e-9, "nA", ""), "3 nA");
  EXPECT_EQ(FormatCurrent(0.5, "A", ""), "0.5 A");
  EXPECT_EQ(FormatCurrent(1e-15, "aA", ""), "1000 aA");
}

TEST(FormatValueWithUnit, ExamplesOfEachGroup) {
  EXPECT_EQ(FormatValueWithUnit(0.0005, "Current", 3, 1), "500 uA");
  EXPECT_EQ(FormatValueWithUnit(0.0005, "Current", 3, 0), "500.000 uA");
  EXPECT_EQ(FormatValueWithUnit(-0.0005, "a", 1, 1), "-500 uA");
  EXPECT_EQ(FormatValueWithUnit(4.7e4, "ohms", 1, 1), "47 kR");
  EXPECT_EQ(FormatValueWithUnit(120, "hfe", 0, 0), "120");
  EXPECT_EQ(FormatValueWithUnit(3, "dB", 1, 0), "3.0 dB");
  EXPECT_EQ(FormatValueWithUnit(0.25, "AMPS", 0, 0), "250 mA");
  EXPECT_EQ(FormatValueWithUnit(50000, "Hz", 1, 1), "50 kHz");
  EXPECT_EQ(FormatValueWithUnit(2500, "VOLTAGE", 2, 0), "2.50 kV");
  EXPECT_EQ(FormatValueWithUnit(0.0005, "time", 0, 0), "500 uS");
  EXPECT_EQ(FormatValueWithUnit(0.02, "siemens", 1, 0), "20.0 mS");
  EXPECT_EQ(FormatValueWithUnit(0, "volts", 2, 0), "0.00 V");
  EXPECT_EQ(FormatValueWithUnit(-0.0, "mho", 0, 0), "0 S");
}

TEST(FormatValueWithUnit, EdgesOfTrimmingUnitsAndPrecision) {
  EXPECT_EQ(FormatValueWithUnit(3, "", 1, 0), "3.0");  // no unit, no trailing blank
  EXPECT_EQ(FormatValueWithUnit(100, "ohms", 2, 1), "100 R");
  EXPECT_EQ(FormatValueWithUnit(100, "ohms", 0, 1), "100 R");  // no trimming without decimals
  EXPECT_EQ(FormatValueWithUnit(1.5, "ohms", 3, 1), "1.5 R");
  EXPECT_EQ(FormatValueWithUnit(16777217, "hfe", 0, 0), "16777216");
  EXPECT_EQ(FormatValueWithUnit(1000, "amps", 2, 1), "1 kA");
  EXPECT_EQ(FormatValueWithUnit(999.9999, "amps", 2, 0), "1000.00 A");
  EXPECT_EQ(FormatValueWithUnit(2e12, "current", 0, 0), "2000 GA");
  EXPECT_EQ(FormatValueWithUnit(1.25, "Volts", -3, 1), "1 V");
}

}  // namespace
}  // namespace zolt::screen
