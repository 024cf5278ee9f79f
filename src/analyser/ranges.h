// The power analyser's range steppers and the application of the selected ranges to the
// receive conversion and to the instrument. The selection itself, PmxRanges, lives in
// link/pmx_calibration.h because register 2 is built from its masks.
//
// Main thread only.
#pragma once

#include <cstdint>

#include "link/pmx_calibration.h"

namespace zolt::analyser {

// Each steps its own selected range one row up or down its ladder (300, 150, 80, 40, 20,
// 10 V; 10, 5, 2, 1, 0.5, 0.25 A); the ends stay. A value between rows moves to the next
// row in the stepping direction. Nothing is sent here.
void PmxVoltageRangeUp();
void PmxVoltageRangeDown();
void PmxCurrentRangeUp();
void PmxCurrentRangeDown();

// Applies a selected range that differs from the one last applied: records it, copies
// its gain and offset into the receive conversion, sets its mask and sends the control
// registers. Voltage first, then current (so a turn that changed both sends twice).
void ApplySelectedRanges();

// Whether the applied voltage (or current) range converts with a usable calibration
// (link::PmxRangeConstants.Usable); a value that is no range does not.
bool PmxVoltageRangeCalibrated();
bool PmxCurrentRangeCalibrated();

// The route by which an applied range reaches the instrument (tests count the sends).
inline void (*SendRangeControl)() = link::SendPowerAnalyserControl;

}  // namespace zolt::analyser
