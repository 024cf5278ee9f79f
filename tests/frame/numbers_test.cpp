// Number <-> text conventions and rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "frame/numbers.h"

namespace zolt::frame {
namespace {

TEST(NumbersTest, IntegersReadSignDigitsAndTheHexAndBinaryMarks) {
  EXPECT_EQ(ParseInteger("  -12abc"), -12);
  EXPECT_EQ(ParseInteger("3.9"), 3);
  EXPECT_EQ(ParseInteger("abc"), 0);
  EXPECT_EQ(ParseInteger("-"), 0);
  EXPECT_EQ(ParseInteger("$1Fg"), 31);
  EXPECT_EQ(ParseInteger("-$10"), -16);
  EXPECT_EQ(ParseInteger("%1012"), 5);
}

TEST(NumbersTest, RealsStopAtTheFirstForeignCharacter) {
  EXPECT_DOUBLE_EQ(ParseReal("3.5e2"), 350.0);
  EXPECT_DOUBLE_EQ(ParseReal(" .5"), 0.5);
  EXPECT_DOUBLE_EQ(ParseReal("12,5"), 12.0);
  EXPECT_DOUBLE_EQ(ParseReal("inf"), 0.0);
  EXPECT_TRUE(std::isinf(ParseReal("1e999")));
  // Beyond the range of a double: too large is infinite, too small is 0.
  EXPECT_EQ(ParseReal("1e-999"), 0.0);
  EXPECT_EQ(ParseReal("-0.00001e-320"), 0.0);
  EXPECT_EQ(ParseReal("0.00001e310"), 1e305);
  EXPECT_TRUE(std::isinf(ParseReal("-123.4e307")));
  EXPECT_EQ(ParseReal("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_TRUE(std::isinf(ParseReal("1" + std::string(400, '0') + ".5")));
  // Exponents of 19 digits and more saturate: tiny values read as 0, huge ones as infinity.
  EXPECT_EQ(ParseReal("0.01e-9223372036854775807"), 0.0);
  EXPECT_EQ(ParseReal("-5e-99999999999999999999999"), 0.0);
  EXPECT_TRUE(std::isinf(ParseReal("1e18446744073709551615")));
  EXPECT_TRUE(std::isinf(ParseReal("1" + std::string(30, '0') + "e9223372036854775807")));
}

TEST(NumbersTest, RealToTextKeepsTenDecimalsWithoutTrailingZeros) {
  EXPECT_EQ(RealToText(2.0), "2");
  EXPECT_EQ(RealToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(RealToText(-1e-11), "0");
  EXPECT_EQ(RealToText(1.23456789012), "1.2345678901");
  EXPECT_EQ(RealToText(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(RealToText(-std::numeric_limits<double>::infinity()), "-Infinity");
  EXPECT_EQ(FixedDecimals(25.017, 3), "25.017");
  EXPECT_EQ(FixedDecimals(2.0, 0), "2");
}

TEST(NumbersTest, FixedDecimalsWritesWhatPrintfWrites) {
  // Ties as stored in binary, the largest doubles, tiny ones and values of every magnitude.
  std::vector<double> values = {0.0005, 0.0015, 2.5e-4, -0.0, 1.7976931348623157e308, 4.9e-324, 123456.7895};
  for (int e = -12; e <= 18; ++e) values.push_back(std::ldexp(1.0 + e / 7.0, e * 3) * (e % 2 ? -1 : 1));
  for (double v : values) {
    for (int decimals : {0, 3, 10}) {
      char expected[400];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
      EXPECT_EQ(FixedDecimals(v, decimals), expected) << v;
    }
  }
}

TEST(NumbersTest, RoundingTiesGoToEvenAndIntegersSaturate) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RoundToInt32(-1e12), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(RoundToInt32(std::nan("")), 0);
}

TEST(NumbersTest, LetterCaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(ToLower("ABC-xyz \xC3\x84"), "abc-xyz \xC3\x84");
  EXPECT_EQ(ToUpper("kvr820 \xC3\xA4"), "KVR820 \xC3\xA4");
  EXPECT_TRUE(EqualsIgnoringCase("RealTime", "realtime"));
  EXPECT_FALSE(EqualsIgnoringCase("realtim", "realtime"));
  EXPECT_FALSE(EqualsIgnoringCase("Pre_ramp", "pre-ramp"));
}

}  // namespace
}  // namespace zolt::frame
