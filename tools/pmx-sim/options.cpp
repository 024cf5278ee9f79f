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

// The options that take a number, each with the field it sets.
constexpr struct {
  const char* Key;
  double Options::*Real;
  int64_t Options::*Whole;
} NumberOptions[] = {
    {"frequency", &Options::frequencyHz, nullptr},
    {"voltage", &Options::voltagePeak, nullptr},
    {"voltage-offset", &Options::voltageOffset, nullptr},
    {"current", &Options::currentPeak, nullptr},
    {"phase", &Options::phaseDegrees, nullptr},
    {"bad-every", nullptr, &Options::badEvery},
    {"drop-byte", nullptr, &Options::dropByteAt},
    {"drop-byte-every", nullptr, &Options::dropByteEvery},
    {"silent-after", nullptr, &Options::silentAfterMs},
    {"eeprom-fail-after", nullptr, &Options::eepromFailAfter},
    {"stall", nullptr, &Options::stallMs},
    {"vanish-after", nullptr, &Options::vanishAfterMs},
    {"vanish-at-eeprom-write", nullptr, &Options::vanishAtEepromWrite},
    {"vanish-at-eeprom-read", nullptr, &Options::vanishAtEepromRead},
    {"replug-after", nullptr, &Options::replugAfterMs},
    {"eeprom-stall", nullptr, &Options::eepromStallMs},
};

// Sets the field of a number option; false when the key is none.
bool TakeNumber(Options& options, const std::string& key, double number) {
  for (const auto& option : NumberOptions) {
    if (key != option.Key) continue;
    if (option.Real != nullptr) {
      options.*option.Real = number;
    } else {
      options.*option.Whole = static_cast<int64_t>(number);
    }
    return true;
  }
  return false;
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
    } else if (!numeric || !TakeNumber(options, key, number)) {
      error += "pmx-sim: option not understood: " + word + "\n";
    }
  }
  return options;
}

}  // namespace zolt::pmxsim
