#include "frame/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zolt::frame {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Both readers accept leading blanks and one sign; returns where the digits start.
size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  return i;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// The written exponent after the "e", its magnitude held at a billion: far beyond the
// range of a double, yet clear of overflow when the mantissa's own exponent is added.
int64_t SaturatedExponent(std::string_view text) {
  constexpr int64_t Limit = 1000000000;
  bool negative = false;
  size_t i = SkipBlanksAndSign(text, negative);
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), Limit);
  }
  return negative ? -value : value;
}

// For a number text that is out of the range of a double: true when its magnitude is
// too small (below the smallest double), false when it is too large. The decimal
// exponent of the first non-zero digit, plus the written exponent, tells which.
bool BelowRange(std::string_view number) {
  int64_t exponent = 0;  // of the first non-zero digit
  bool seenDigit = false;
  bool afterPoint = false;
  size_t i = 0;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      afterPoint = true;
    } else if (c >= '0' && c <= '9') {
      if (!seenDigit) {
        if (afterPoint) --exponent;
        if (c != '0') seenDigit = true;
      } else if (!afterPoint) {
        ++exponent;
      }
    } else {
      break;
    }
  }
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    exponent += SaturatedExponent(number.substr(i + 1));
  }
  return exponent < 0;
}

}  // namespace

int64_t ParseInteger(std::string_view text) {
  bool negative = false;
  size_t i = SkipBlanksAndSign(text, negative);
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  uint64_t value = 0;  // wraps like the 64-bit integer it is read into
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= base) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

double ParseReal(std::string_view text) {
  bool negative = false;
  const size_t i = SkipBlanksAndSign(text, negative);
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  // Only plain decimal notation with an optional exponent; no "inf" or "nan" words.
  if (first == last || !((*first >= '0' && *first <= '9') || *first == '.')) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    value = BelowRange(std::string_view(first, static_cast<size_t>(result.ptr - first)))
                ? 0.0
                : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

double ParseStoredReal(std::string_view text) {
  if (text == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (text == "+Infinity") return std::numeric_limits<double>::infinity();
  if (text == "-Infinity") return -std::numeric_limits<double>::infinity();
  return ParseReal(text);
}

bool BeginsWithNumber(std::string_view text) {
  size_t i = text.find_first_not_of(" \t");
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool IsBlankLine(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

std::string RealToText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Infinity" : "-Infinity";
  std::string text = FixedDecimals(value, 10);
  const size_t point = text.find('.');
  if (point != std::string::npos) {
    size_t end = text.size();
    while (end > point + 1 && text[end - 1] == '0') --end;
    if (end == point + 1) end = point;
    text.resize(end);
  }
  return text == "-0" ? std::string("0") : text;
}

std::string FixedDecimals(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  char buffer[400];
  // The same text as printf's "%.*f", a few times faster (the live readings are formatted
  // with every status frame, the run files with every point).
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec == std::errc{}) return std::string(buffer, result.ptr);
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

namespace {

// A rounded real as a 64-bit integer; values beyond the range saturate, NaN gives 0.
int64_t SaturatingInt64(double rounded) {
  if (std::isnan(rounded)) return 0;
  if (rounded >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (rounded <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(rounded);
}

}  // namespace

int64_t RoundHalfEven(double value) { return SaturatingInt64(std::nearbyint(value)); }

int64_t RoundHalfAway(double value) { return SaturatingInt64(std::round(value)); }

int32_t RoundToInt32(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::nearbyint(value);
  if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
  }
  return true;
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace zolt::frame
