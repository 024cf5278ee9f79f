// Power-analyser simulator: parsing PMX_SIM_OPTIONS.
#include "options.h"

#include <cstdlib>
#include <sstream>

namespace zolt::pmxsim {

namespace {

bool ReadNumber(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0';
}

// "K/N", 0 < K <= N.
bool ReadBurst(const std::string& text, int64_t& count, int64_t& every) {
  const size_t slash = text.find('/');
  double k = 0.0, n = 0.0;
  if (slash == std::string::npos || !ReadNumber(text.substr(0, slash), k) || !ReadNumber(text.substr(slash + 1), n) ||
      k < 1 || n < k) {
    return false;
  }
  count = static_cast<int64_t>(k);
  every = static_cast<int64_t>(n);
  return true;
}

}  // namespace

Options ParseOptions(const std::string& text, std::string& error) {
  Options options;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const size_t equals = word.find('=');
    const std::string key = word.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
    double number = 0.0;
    const bool numeric = ReadNumber(value, number);
    if (key == "cal" && !value.empty()) {
      options.calibrationFile = value;
    } else if (key == "bad-burst" && ReadBurst(value, options.burstBad, options.burstEvery)) {
    } else if (key == "absent" && value.empty()) {
      options.absent = true;
    } else if (!numeric) {
      error += "pmx-sim: option not understood: " + word + "\n";
    } else if (key == "frequency") {
      options.frequencyHz = number;
    } else if (key == "voltage") {
      options.voltagePeak = number;
    } else if (key == "current") {
      options.currentPeak = number;
    } else if (key == "phase") {
      options.phaseDegrees = number;
    } else if (key == "bad-every") {
      options.badEvery = static_cast<int64_t>(number);
    } else if (key == "drop-byte") {
      options.dropByteAt = static_cast<int64_t>(number);
    } else if (key == "silent-after") {
      options.silentAfterMs = static_cast<int64_t>(number);
    } else if (key == "eeprom-fail-after") {
      options.eepromFailAfter = static_cast<int64_t>(number);
    } else if (key == "stall") {
      options.stallMs = static_cast<int64_t>(number);
    } else if (key == "vanish-after") {
      options.vanishAfterMs = static_cast<int64_t>(number);
    } else if (key == "vanish-at-eeprom-write") {
      options.vanishAtEepromWrite = static_cast<int64_t>(number);
    } else if (key == "vanish-at-eeprom-read") {
      options.vanishAtEepromRead = static_cast<int64_t>(number);
    } else if (key == "replug-after") {
      options.replugAfterMs = static_cast<int64_t>(number);
    } else if (key == "eeprom-stall") {
      options.eepromStallMs = static_cast<int64_t>(number);
    } else {
      error += "pmx-sim: option not understood: " + word + "\n";
    }
  }
  return options;
}

}  // namespace zolt::pmxsim
