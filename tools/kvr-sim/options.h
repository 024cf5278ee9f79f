// Curve-tracer simulator, command line: the options and the help text.
#pragma once

#include <cstdint>
#include <string>

#include "faults.h"
#include "instrument.h"

namespace zolt::kvrsim {

struct Options {
  std::string linkPath;        // where the serial port appears
  double frameMs = 5.0;        // frame period; 0: the sample interval of register 2
  InstrumentSettings instrument;
  int calibrationUnit = 1;     // built-in calibration image of this unit
  std::string calibrationFile; // or this image
  std::string writeCalibration;
  FaultPlan faults;
  int64_t silenceForMs = 3000;
  int64_t hangupAfterMs = -1;
  std::string controlPath;
  std::string packetLogPath;   // one line per packet received, when given
  bool verbose = false;
  bool help = false;
};

// Fills `options`; on a mistake returns false with the reason in `error`.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);
std::string HelpText();

}  // namespace zolt::kvrsim
