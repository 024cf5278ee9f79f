// The power analyser's EEPROM area: any words read from the device give a file without
// bytes 0 that fits the area and comes back from it unchanged; any file fits the area
// exactly when it is no longer than the area.
#include <cstdlib>

#include "fuzz_input.h"
#include "link/pmx_calibration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::link;
  PmxEepromArea words{};
  for (size_t i = 0; i < size && i / 2 < words.size(); ++i)
    words[i / 2] |= static_cast<uint16_t>(i % 2 == 0 ? data[i] : data[i] << 8);
  const std::string file = CalibrationFileFromEeprom(words);
  if (file.size() > PmxEepromAreaBytes || file.find('\0') != std::string::npos) std::abort();
  PmxEepromArea back{};
  if (!EepromFromCalibrationFile(file, back) || CalibrationFileFromEeprom(back) != file) std::abort();

  const std::string text = zolt::fuzz::InputText(data, size);
  PmxEepromArea stored{};
  if (EepromFromCalibrationFile(text, stored) != (text.size() <= PmxEepromAreaBytes)) std::abort();
  return 0;
}
