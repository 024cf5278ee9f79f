// The calibration listing: the curve tracer's 71 calibration entries as a text a person
// can read, each with its index and what it is, grouped by calibrated quantity, with a
// heading per collector current range. 110 lines, each ended by CR LF.
//
// Main thread only.
#pragma once

#include <string>

#include "link/calibration.h"

namespace zolt::settingswindow {

inline const std::string CalibrationExportFile = "HUMAN.TXT";

// The listing of a calibration record.
std::string CalibrationListing(const double (&record)[link::CalibrationRecordSize]);

// Writes the listing of link::CalibrationRecord as "HUMAN.TXT" in the working folder,
// replacing the file in one step. A file that cannot be written is reported in a
// message box and an older listing stays as it was. Returns whether it was written.
bool ExportCalibration();

}  // namespace zolt::settingswindow
