// The program's number <-> text conventions, used by every subsystem.
//
// Reading: an integer is read after leading blanks, with an optional sign, up to the
// first character that is not a digit ("$" before the digits reads hexadecimal, "%"
// binary); a real is read with "." as the decimal point whatever the locale; text that
// holds no number reads as 0.
// Writing: reals in files and unit-less screen numbers use RealToText (ten decimals,
// trailing zeros and a bare point removed); fixed decimals use FixedDecimals.
// Rounding: a real becomes an integer by rounding to nearest, ties to even, unless the
// caller asks for RoundHalfAway.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::frame {

int64_t ParseInteger(std::string_view text);
double ParseReal(std::string_view text);
// Reads back what RealToText writes, the texts of values that are not finite included
// ("NaN", "+Infinity", "-Infinity"); any other text as ParseReal.
double ParseStoredReal(std::string_view text);
// Whether the text begins with a number as ParseReal reads one: blanks and a sign, then a
// digit, or a point and a digit. A word ("Step", "V") or nothing does not.
bool BeginsWithNumber(std::string_view text);
// Whether a line holds nothing but blanks and tabs.
bool IsBlankLine(std::string_view line);

// Ten decimals, trailing zeros and a trailing point removed; -0 gives "0"; values that
// are not finite give "+Infinity", "-Infinity" or "NaN".
std::string RealToText(double value);
// Exactly `decimals` digits after the point (no point for 0 decimals).
std::string FixedDecimals(double value, int decimals);

int64_t RoundHalfEven(double value);
int64_t RoundHalfAway(double value);
// Round-half-even cut to a 32-bit signed integer (values beyond the range saturate).
int32_t RoundToInt32(double value);

std::string ToLower(std::string_view text);
// Whether the text is `lower` (written in lower case) in any letter case.
bool EqualsIgnoringCase(std::string_view text, std::string_view lower);
std::string ToUpper(std::string_view text);

}  // namespace zolt::frame
