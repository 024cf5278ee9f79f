// Power-analyser simulator: its options, read from the environment variable
// PMX_SIM_OPTIONS as blank-separated key=value words (see README.md).
#pragma once

#include <cstdint>
#include <string>

namespace zolt::pmxsim {

struct Options {
  double frequencyHz = 50.0;
  double voltagePeak = 325.0;  // volts
  double voltageOffset = 0.0;  // volts, added to the sine
  double currentPeak = 5.0;    // amperes
  double phaseDegrees = 30.0;  // the current lags the voltage by this much
  std::string calibrationFile; // the EEPROM's calibration file; empty: the built-in one
  int64_t badEvery = 0;        // every N-th frame gets a bad check byte (0: none)
  int64_t burstBad = 0;        // the last burstBad frames of every burstEvery get a bad check byte
  int64_t burstEvery = 0;      // (0: none)
  int64_t dropByteAt = -1;     // frame K of each stream loses one byte (-1: none)
  int64_t dropByteEvery = 0;   // every N-th frame loses one byte (0: none)
  int64_t silentAfterMs = -1;  // the stream stops this long after it starts (-1: never)
  int64_t stallMs = 0;         // one FT_GetStatus, 1 s into the stream, takes this long (0: none)
  int64_t vanishAfterMs = -1;  // the device is unplugged this long after the stream starts (-1: never)
  bool absent = false;         // no device in the list
  int64_t eepromFailAfter = -1;  // EEPROM reads of each connection fail after N words (-1: never)
  int64_t vanishAtEepromWrite = 0;  // the device is unplugged at the N-th FT_WriteEE of a connection (0: never)
  int64_t vanishAtEepromRead = 0;   // the same at the N-th FT_ReadEE (0: never)
  int64_t replugAfterMs = -1;       // an unplugged device is plugged in again this long after (-1: never)
  int64_t eepromStallMs = 0;        // the first FT_ReadEE after power-up takes this long (0: none)
};

// Reads key=value words; a word it does not know is reported in `error` and skipped.
Options ParseOptions(const std::string& text, std::string& error);

}  // namespace zolt::pmxsim
