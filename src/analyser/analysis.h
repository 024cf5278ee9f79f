// Block analysis: the peaks and means of one block of 1600 samples, the voltage through
// a resonant low-pass whose output the scope view draws, and the signal frequency from
// the interpolated rising zero crossings of that filtered voltage, measured over 50
// periods at a time.
//
// Main thread only. The filter and the crossing count run on across the blocks of one
// signal; a new stream or the synthesis switched on starts them afresh
// (RestartPmxAnalysis), so nothing of an earlier or a broken signal stays in them.
#pragma once

#include <cstdint>

namespace zolt::analyser {

struct PmxReadingsRecord {
  double PmxFrequency = 0.0;            // Hz; kept until the next measurement completes
  double PmxVoltagePeakPositive = 0.0;  // V; 0 when no sample of the block is above 0
  double PmxVoltagePeakNegative = 0.0;  // V; 0 when none is below 0
  double PmxCurrentPeakPositive = 0.0;  // A
  double PmxCurrentPeakNegative = 0.0;  // A
  double PmxLiveVoltage = 0.0;          // V, mean of the block
  double PmxLiveCurrent = 0.0;          // A, mean of the block
  double PmxShownVoltage = -1.0;        // last value put into the window's field 93
  double PmxShownCurrent = -1.0;        // last value put into field 94
};

inline PmxReadingsRecord PmxReadings;

// Direct form I state of the low-pass: previous inputs and outputs.
struct PmxVoltageFilterRecord {
  double X1 = 0.0, X2 = 0.0;  // x[n-1], x[n-2]
  double Y1 = 0.0, Y2 = 0.0;  // y[n-1], y[n-2]
};

inline PmxVoltageFilterRecord PmxVoltageFilter;

// The first rising crossing after a start becomes the reference, so every measurement,
// the first included, spans 50 whole periods.
struct PmxFrequencyStateRecord {
  int32_t PmxCrossingCount = 0;        // rising crossings since the reference one; 0: none yet
  double PmxReferenceCrossing = 0.0;   // ring position (samples) of the reference crossing
};

inline PmxFrequencyStateRecord PmxFrequencyState;

constexpr int PmxCrossingsPerMeasurement = 50;
constexpr double PmxSampleRate = 16000.0;
constexpr double PmxFilterOutputScale = 4.0;  // the filtered samples hold output / 4

// Analyses block 0..99 of the ring (any other number is ignored).
void AnalysePmxBlock(int32_t block);

// The filter, the frequency count and the readings back to their start (the values last
// shown in the window's fields are kept, so the fields follow the readings).
void RestartPmxAnalysis();

}  // namespace zolt::analyser
