// The power-analyser screen's zone ids, as its painting registers them. Blocks of 12
// (screen/hot_zones.h); the help icon's 10 is the one id outside the blocks.
#pragma once

#include <cstdint>

#include "screen/hot_zones.h"

namespace zolt::analyser {

// Icon bar, in painting order (left to right).
constexpr int32_t ZoneConnect = 1;
constexpr int32_t ZoneCamera = 13;
constexpr int32_t ZoneZoom = 49;
constexpr int32_t ZoneCursorVertical = 85;
constexpr int32_t ZoneCursorHorizontal = 97;
constexpr int32_t ZoneFile = 121;
constexpr int32_t ZonePlay = 145;
constexpr int32_t ZoneStop = 73;
constexpr int32_t ZoneSettings = 169;
constexpr int32_t ZoneCalibration = 181;
constexpr int32_t ZoneHelp = screen::PowerAnalyserHelpZone;
constexpr int32_t ZoneSynthesis = 25;
constexpr int32_t ZoneScope = 157;
constexpr int32_t ZoneSecondaryPlot = 109;
constexpr int32_t ZoneTileMode = 37;

// Channel steppers (zone bases): only the first row acts.
constexpr int32_t ZoneV1Stepper = 193;
constexpr int32_t ZoneC1Stepper = 205;
constexpr int32_t ZoneV2Stepper = 217;
constexpr int32_t ZoneC2Stepper = 229;
constexpr int32_t ZoneV3Stepper = 241;
constexpr int32_t ZoneC3Stepper = 253;

}  // namespace zolt::analyser
