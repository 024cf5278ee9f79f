// Block analysis: the peaks and means of one block of 1600 samples, the voltage through
// a resonant low-pass whose output the scope view draws, and the signal frequency from
// the interpolated rising zero crossings of that filtered voltage, measured over 50
// periods at a time.
//
// Only what the received samples give is a reading: the samples filled in for frames that
// did not arrive (the ring's frame-time flags) count for no peak or mean, a peak that a
// gap may hide is no reading for that block, and a frequency is shown only when the gaps
// and the filter's start cannot have moved it by more than 0.01 %. Samples that reached
// the largest (smallest) reading a frame can carry make that channel's positive
// (negative) peak over range.
//
// Main thread only. The filter and the crossing count run on across the blocks of one
// signal; a new stream or the synthesis switched on starts them afresh
// (RestartPmxAnalysis), so nothing of an earlier or a broken signal stays in them.
#pragma once

#include <cstdint>

namespace zolt::analyser {

// Whether a reading stands.
enum class PmxReadingStatus : uint8_t {
  None,       // no right value: none yet, or the samples received cannot give it
  Measured,   // the value stands
  OverRange,  // received samples reached the largest reading a frame can carry
};

struct PmxReadingsRecord {
  double PmxFrequency = 0.0;            // Hz; kept until the next measurement completes (see MeasuredAt)
  double PmxVoltagePeakPositive = 0.0;  // V; 0 when no received sample of the block is above 0
  double PmxVoltagePeakNegative = 0.0;  // V; 0 when none is below 0
  double PmxCurrentPeakPositive = 0.0;  // A
  double PmxCurrentPeakNegative = 0.0;  // A
  double PmxLiveVoltage = 0.0;          // V, mean of the block's received samples
  double PmxLiveCurrent = 0.0;          // A, the same
  // Whether the two means stand: a block since the start held received samples.
  PmxReadingStatus PmxLiveStatus = PmxReadingStatus::None;
  double PmxShownVoltage = -1.0;        // last value put into the window's field 93 (-infinity: "----")
  double PmxShownCurrent = -1.0;        // last value put into field 94
  // Whether the frequency and the four peaks stand (a value that does not keeps its last).
  PmxReadingStatus PmxFrequencyStatus = PmxReadingStatus::None;
  PmxReadingStatus PmxVoltagePeakPositiveStatus = PmxReadingStatus::None;
  PmxReadingStatus PmxVoltagePeakNegativeStatus = PmxReadingStatus::None;
  PmxReadingStatus PmxCurrentPeakPositiveStatus = PmxReadingStatus::None;
  PmxReadingStatus PmxCurrentPeakNegativeStatus = PmxReadingStatus::None;
};

inline PmxReadingsRecord PmxReadings;

// Direct form I state of the low-pass: previous inputs and outputs.
struct PmxVoltageFilterRecord {
  double X1 = 0.0, X2 = 0.0;  // x[n-1], x[n-2]
  double Y1 = 0.0, Y2 = 0.0;  // y[n-1], y[n-2]
};

inline PmxVoltageFilterRecord PmxVoltageFilter;

// The frequency is measured over 50 periods between rising crossings of the filtered
// voltage, each crossing trusted to within what the filter may still remember of samples
// filled in (PmxGapState). Crossings are counted while a gap cannot have added or lost
// one; across a stretch where one may have, the periods are told by the stretch's length
// over the period measured before it, when that leaves no doubt of their number, and the
// measurement goes on. It is shown once it holds 50 periods (or, when the 50th crossing
// lies too near a gap, at the first crossing after it that lies far enough from one) and
// its span cannot be off by more than the reading allows. For an unbroken signal a
// measurement is the span from a crossing to the 50th after it.
struct PmxFrequencyStateRecord {
  int32_t PmxCrossingCount = 0;       // periods of the measurement under way
  double PmxReferenceCrossing = 0.0;  // ring position (samples) of its first crossing
  double ReferenceError = 0.0;        // samples that crossing may lie off
  bool Counting = false;              // a measurement is under way
  double Span = 0.0;                  // samples from its first crossing to the last one counted
  double LastCounted = 0.0;           // ring position of the last crossing counted
  double LastCountedError = 0.0;      // samples it may lie off
  int64_t LastCountedAt = 0;          // its analysed sample
  bool Uncounted = false;             // since then, a crossing may have been added or lost
  double LastCrossing = -1.0;         // ring position of the last crossing; -1: none since the start
  double LastError = 0.0;             // samples it may lie off
  double LastSlope = 0.0;             // the filter's rise over the sample it lies in
  // Analysed sample of the last measurement shown. A frequency whose next measurement is
  // overdue (twice its time and a second: the signal stopped, or the stream no longer
  // gives it right) stands no more.
  int64_t MeasuredAt = 0;
};

inline PmxFrequencyStateRecord PmxFrequencyState;

// What the analysis knows of the voltage samples filled in. A filled stretch is fed to the
// filter as the straight line between the received samples on either side (the next
// block's first one when the stretch reaches the block's end); how far that may have put
// the filter's output off is bounded from the received signal's curvature and amplitude,
// and the bound fades with the filter's response. A start counts as a gap without end.
struct PmxGapStateRecord {
  int64_t Analysed = 0;       // samples analysed since the start
  int64_t Filled = -1;        // filled samples since the last received one; -1: none received yet
  double LastReceived = 0.0;  // the last received voltage sample
  double OutputBound = 0.0;   // filter output units: how far the output may be off ...
  int64_t BoundFrom = 0;      // ... until sample BoundFrom, fading after it
  double Curvature = 0.0;     // largest second difference of the received voltage, in the
  double Amplitude = 0.0;     // last block with a gap, and its largest |voltage|
  // Blocks in a row whose own peak a gap may hide, of Upk, -Upk, Ipk and -Ipk: the peak
  // of the block before is kept for up to PmxPeakKeptBlocks of them.
  int32_t PeakKept[4] = {};
};

inline PmxGapStateRecord PmxGapState;

constexpr int PmxCrossingsPerMeasurement = 50;
constexpr int PmxPeakKeptBlocks = 10;  // a second
constexpr double PmxSampleRate = 16000.0;
constexpr double PmxFilterOutputScale = 4.0;  // the filtered samples hold output / 4

// Analyses block 0..99 of the ring (any other number is ignored).
void AnalysePmxBlock(int32_t block);

// The filter, the frequency count, the gap state and the readings back to their start (the values last
// shown in the window's fields are kept, so the fields follow the readings).
void RestartPmxAnalysis();

}  // namespace zolt::analyser
