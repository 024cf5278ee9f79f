// The power-analyser window (window 269) in its two forms: the settings form (the
// trigger and synchronisation lists above the calibration grid) and the calibration
// form (the grid with the calibration file's buttons). Neither has an event loop of its
// own: the per-frame handler serves one of their control events per turn and closes the
// window on request.
//
// The calibration grid: for each of the twelve ranges (300 ... 10 V on channel V1,
// 10 ... 0.25 A on channel C1) a "Select Range" button and two points, positive first,
// each with an ADC field (the instrument's reading), a DMM field (the external meter's)
// and a "Cal" button that captures the live reading. Pair k (0..11) has base
// B = 96 + 11 k: B is its "Select Range", B + 2..4 and B + 5..7 the two points' ADC, DMM
// and "Cal".
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/app.h"

namespace zolt::analyser {

constexpr int PmxWindow = frame::PowerAnalyserWindow;

// Controls (their numbers are the identifiers their events carry).
constexpr int LiveVoltageText = 93;
constexpr int LiveCurrentText = 94;
constexpr int TriggerAvgList = 225;
constexpr int SyncSrcList = 226;
constexpr int TriggerLevelList = 227;
constexpr int TriggerSlopeList = 228;
constexpr int TriggerFilterList = 229;
constexpr int LoadCalFileButton = 230;
constexpr int CreateCalFileButton = 231;
constexpr int SaveCalToDeviceButton = 232;
// Labels and headings that raise no events are numbered from here on.
constexpr int FirstPlainText = 2700;

constexpr int CalibrationPairs = 12;
constexpr int CalibrationPoints = 24;
constexpr int32_t CalPairBase(int pair) { return 96 + 11 * pair; }

inline const std::string PmxCalibrationFile = "PMX_cal.txt";

// The trigger slope the settings form shows; no setting changes it.
inline const std::string PmxTriggerSlope = "RISING";

// Opens window 269 with the settings form / the calibration form; nothing happens when
// the window cannot be opened.
void OpenPowerAnalyserSettingsWindow();
void OpenPowerAnalyserCalWindow();

// Serves one control event of window 269; numbers without a case are ignored.
void ServePowerAnalyserWindowEvent(int gadget);

// ---- shared by the two forms ----

// Opens window 269, titled "Settings", 1200 pixels wide and `height` high.
bool OpenPmxWindow(int height);
// Builds the grid `shift` pixels lower than in the calibration form; `forceColumn` adds
// the settings form's "Force" column. Plain texts take numbers from `nextText` on.
void CreateCalibrationGrid(int shift, bool forceColumn, int& nextText);
// Serves the grid's and the file buttons' events; false for any other number.
bool ServeCalibrationEvent(int gadget);

// The DMM and ADC texts of the 24 points from the lines of "PMX_cal.txt", taken by
// position (line 1 is the date): the text between "=" and "," less its one-letter unit,
// and the text after ",". A point whose line is missing, or lacks "=" or a "," after
// it, has none.
struct CalibrationPointText {
  std::string Dmm, Adc;
};
using CalibrationPointTexts = std::array<std::optional<CalibrationPointText>, CalibrationPoints>;
CalibrationPointTexts ReadCalibrationPointTexts(const std::vector<std::string>& lines);

}  // namespace zolt::analyser
