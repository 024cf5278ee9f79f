// Numbers read from text (settings, run files, the calibration file) and written back.
#include <cmath>

#include "frame/numbers.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  const std::string text = zolt::fuzz::InputText(data, size);
  ParseInteger(text);
  const double value = ParseReal(text);
  const std::string written = RealToText(value);
  // A finite reading written with ten decimals reads back within their rounding.
  if (std::isfinite(value) && std::fabs(value) < 1e15 && std::fabs(ParseReal(written) - value) > 1e-9) ::abort();
  FixedDecimals(value, 3);
  RoundToInt32(value);
  RoundHalfEven(value);
  return 0;
}
