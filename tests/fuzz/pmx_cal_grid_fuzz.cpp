// The calibration grid's loader: the DMM and ADC texts of the 24 points cut from the
// lines of "PMX_cal.txt" by position; each text is a piece of its own line.
#include <cstdlib>

#include "analyser/window.h"
#include "fuzz_input.h"
#include "platform/system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::analyser;
  std::vector<std::string> lines;
  zolt::platform::SplitTextLines(zolt::fuzz::InputText(data, size), lines);
  const CalibrationPointTexts texts = ReadCalibrationPointTexts(lines);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!texts[i]) continue;
    const std::string& line = lines.at(i + 1);
    if (line.find(texts[i]->Dmm) == std::string::npos || line.find(texts[i]->Adc) == std::string::npos) std::abort();
  }
  return 0;
}
