// The run-wide record of the run being measured or on display.
#pragma once

#include <cstdint>
#include <string>

namespace zolt::tracer {

struct RunInfoRecord {
  int32_t TotalSteps = 0;      // index of the last step of the run
  int32_t GraphType = 0;       // the run's test configuration number
  std::string GraphTitle;
  std::string Notes, Date, Time, ModelID, FirmwareID, SerialID, CalibrationDate;
  double RunSampleRate = 0.0;  // Hz
};

inline RunInfoRecord RunInfo;

}  // namespace zolt::tracer
