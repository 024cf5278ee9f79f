// The calibration listing and its export.
//
// A value line is the entry's index, ": ", the value written as reals are written in
// files, then the entry's description, which starts with its unit and a comma (" , "
// for converter codes). The fixed lines separate the lines of one group (8 hyphens) and
// the groups (14 hyphens), head each collector current range, and end the listing.
//
// Sections: descriptions; layout; the listing; the export.
#include "settingswindow/calibration_export.h"

#include "frame/numbers.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::settingswindow {

namespace {

// ---- descriptions ----

constexpr const char* Descriptions[link::CalibrationRecordSize] = {
    "V, +10V BaseGate DAC measured voltage (Active/Pulse) - from calibration DMM",
    " , +10V BaseGate DAC PWM (Actual/Pulse)",
    "V, +10V BaseGate DAC measured voltage (Offset) - from calibration DMM",
    " , +10V BaseGate DAC PWM (Idle/Offset)",
    "V, -10V BaseGate DAC measured voltage (Active/Pulse) - from calibration DMM",
    " , -10V BaseGate DAC PWM (Actual/Pulse)",
    "V, -10V BaseGate DAC measured voltage (Idle/Offset) - from calibration DMM",
    " , -10V BaseGate DAC PWM (Idle/Offset)",
    "V, ADC BaseGate measured voltage - from calibration DMM",
    " , +1.25V BaseGate DAC PWM (Active/Pulse)",
    " , ADC BaseGate voltage - raw value, from internal ADC",
    "V, ADC BaseGate measured voltage - from calibration DMM",
    " , -1.25V BaseGate DAC PWM (Active/Pulse)",
    " , ADC BaseGate voltage - raw value, from internal ADC",
    "mA, +20mA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , +20mA BaseGate DAC PWM (Actual/Pulse)",
    "mA, +20mA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , +20mA BaseGate DAC PWM (Idle/Offset)",
    "mA, -20mA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , -20mA BaseGate DAC PWM (Actual/Pulse)",
    "mA, -20mA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , -20mA BaseGate DAC PWM (Idle/Offset)",
    "mA, +2mA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , +2mA BaseGate DAC PWM (Actual/Pulse)",
    "mA, +2mA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , +2mA BaseGate DAC PWM (Idle/Offset)",
    "mA, -2mA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , -2mA BaseGate DAC PWM (Actual/Pulse)",
    "mA, -2mA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , -2mA BaseGate DAC PWM (Idle/Offset)",
    "uA, +200uA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , +200uA BaseGate DAC PWM (Actual/Pulse)",
    "uA, +200uA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , +200uA BaseGate DAC PWM (Idle/Offset)",
    "uA, -200uA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , -200uA BaseGate DAC PWM (Actual/Pulse)",
    "uA, -200uA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , -200uA BaseGate DAC PWM (Idle/Offset)",
    "uA, +20uA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , +20uA BaseGate DAC PWM (Actual/Pulse)",
    "uA, +20uA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , +20uA BaseGate DAC PWM (Idle/Offset)",
    "uA, -20uA BaseGate DAC measured current (Active/Pulse) - from calibration DMM",
    " , -20uA BaseGate DAC PWM (Actual/Pulse)",
    "uA, -20uA BaseGate DAC measured current (Idle/Offset) - from calibration DMM",
    " , -20uA BaseGate DAC PWM (Idle/Offset)",
    "V, +10V Collector measured voltage - from calibration DMM",
    " , ADC Collector voltage - raw value, from internal ADC",
    "V, -10V Collector measured voltage - from calibration DMM",
    " , ADC Collector voltage - raw value, from internal ADC",
    " Ohms, Collector parasitic resistance",
    // Collector current ranges 0..3: resistor, then the codes at the two points.
    " Ohms, resistor used to calibrate range0",
    " , +Ic ADC Collector current - raw value, from internal iADC",
    " , +Vc ADC Collector voltage - raw value, from internal vADC",
    " , -Ic ADC Collector current - raw value, from internal iADC",
    " , -Vc ADC Collector voltage - raw value, from internal vADC",
    " Ohms, resistor used to calibrate range1",
    " , +Ic ADC Collector current - raw value, from internal iADC",
    " , +Vc ADC Collector voltage - raw value, from internal vADC",
    " , -Ic ADC Collector current - raw value, from internal iADC",
    " , -Vc ADC Collector voltage - raw value, from internal vADC",
    " Ohms, resistor used to calibrate range2",
    " , +Ic ADC Collector current - raw value, from internal iADC",
    " , +Vc ADC Collector voltage - raw value, from internal vADC",
    " , -Ic ADC Collector current - raw value, from internal iADC",
    " , -Vc ADC Collector voltage - raw value, from internal vADC",
    " Ohms, resistor used to calibrate range3",
    " , +Ic ADC Collector current - raw value, from internal iADC",
    " , +Vc ADC Collector voltage - raw value, from internal vADC",
    " , -Ic ADC Collector current - raw value, from internal iADC",
    " , -Vc ADC Collector voltage - raw value, from internal vADC",
};

// ---- layout ----
//
// The listing in order: a number is the value line of that entry; a negative item one
// of the fixed lines below.

enum Fixed : int { Line = -1, Group = -2, Range0 = -3, Range1 = -4, Range2 = -5, Range3 = -6, End = -7 };

constexpr int Layout[] = {
    0,  1,  Line,  2,  3,  Line,  4,  5,  Line,  6,  7,  Group, Group,           // +-10 V outputs
    8,  9,  10, Line, 11, 12, 13, Group, Group,                                   // base/gate ADC
    14, 15, Line, 16, 17, Line, 18, 19, Line, 20, 21, Group,                      // 20 mA outputs
    22, 23, Line, 24, 25, Line, 26, 27, Line, 28, 29, Group,                      // 2 mA outputs
    30, 31, Line, 32, 33, Line, 34, 35, Line, 36, 37, Group,                      // 200 uA outputs
    38, 39, Line, 40, 41, Line, 42, 43, Line, 44, 45, Group, Group,               // 20 uA outputs
    46, 47, Line, 48, 49, Group, Group,                                           // collector voltage
    50, Group, Group,                                                             // parasitic resistance
    Range0, 51, 52, 53, 54, 55, Line, Range1, 56, 57, 58, 59, 60, Line,           // current ranges
    Range2, 61, 62, 63, 64, 65, Line, Range3, 66, 67, 68, 69, 70, Group, End,
};

const char* FixedText(int item) {
  switch (item) {
    case Line: return "--------";
    case Group: return "--------------";
    case Range0: return "Range 0 - 27kR";
    case Range1: return "Range 1 - 2.55kR";
    case Range2: return "Range 2 - 270R";
    case Range3: return "Range 3 - 25R";
    default: return "Document End.";
  }
}

}  // namespace

// ---- the listing ----

std::string CalibrationListing(const double (&record)[link::CalibrationRecordSize]) {
  std::string text;
  for (const int item : Layout) {
    if (item >= 0) {
      text += std::to_string(item) + ": " + frame::RealToText(record[item]) + Descriptions[item];
    } else {
      text += FixedText(item);
    }
    text += "\r\n";
  }
  return text;
}

// ---- the export ----

bool ExportCalibration() {
  if (platform::WriteFileReplacing(CalibrationExportFile, CalibrationListing(link::CalibrationRecord)))
    return true;
  platform::ShowMessageBox("Cannot create HUMAN.TXT file", "Cannot create HUMAN.TXT file",
                           platform::MessageIcon::Warning);
  return false;
}

}  // namespace zolt::settingswindow
