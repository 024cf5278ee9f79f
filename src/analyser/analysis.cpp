// Block analysis.
//
// The low-pass is a biquad for 75 Hz, Q 10 at 16,000 samples per second (gain 1 at DC,
// about 1.8 at 50 Hz, 0.036 at 400 Hz): it keeps the fundamental and strips harmonics
// and noise, so that each period gives one clean rising crossing.
#include "analyser/analysis.h"

#include "link/pmx_ring.h"

namespace zolt::analyser {

namespace {

constexpr double B0 = 0.000216526932;
constexpr double B1 = 0.000433053865;
constexpr double B2 = 0.000216526932;
constexpr double A1 = -1.996193404543;
constexpr double A2 = 0.997059512274;

}  // namespace

void AnalysePmxBlock(int32_t block) {
  if (block < 0 || block >= link::PmxRingBlocks) return;
  PmxReadingsRecord& r = PmxReadings;
  PmxVoltageFilterRecord& f = PmxVoltageFilter;
  PmxFrequencyStateRecord& fs = PmxFrequencyState;

  // Peaks start from 0, not from the first sample: a block entirely above 0 has a
  // negative peak of 0.
  double vMax = 0.0, vMin = 0.0, cMax = 0.0, cMin = 0.0, vSum = 0.0, cSum = 0.0;
  double x1 = f.X1, x2 = f.X2, y1 = f.Y1, y2 = f.Y2;
  const int32_t first = block * link::PmxBlockSamples;
  const int32_t end = first + link::PmxBlockSamples;
  for (int32_t i = first; i < end; ++i) {
    const double v = link::LoadSample(link::PmxVoltageSamples[i]);
    const double c = link::LoadSample(link::PmxCurrentSamples[i]);
    if (v > vMax) vMax = v;
    if (v < vMin) vMin = v;
    if (c > cMax) cMax = c;
    if (c < cMin) cMin = c;
    vSum += v;
    cSum += c;

    const double y = B0 * v + B1 * x1 + B2 * x2 - A1 * y1 - A2 * y2;
    const double p = y1;
    x2 = x1;
    x1 = v;
    y2 = y1;
    y1 = y;
    link::PmxFilteredSamples[i] = y / PmxFilterOutputScale;

    // A rising crossing strictly through 0 (a sample landing exactly on 0 gives none),
    // placed between samples i - 1 and i by linear interpolation.
    if (y > 0 && p < 0) {
      const double t = i + (-y / (y - p));
      if (fs.PmxCrossingCount == 0) {
        fs.PmxReferenceCrossing = t;
        fs.PmxCrossingCount = 1;
      } else if (fs.PmxCrossingCount < PmxCrossingsPerMeasurement) {
        ++fs.PmxCrossingCount;
      } else {
        double span = t - fs.PmxReferenceCrossing;
        if (span < 0) span += link::PmxRingSamples;  // the ring wrapped
        r.PmxFrequency = 1.0 / (span / (PmxCrossingsPerMeasurement * PmxSampleRate));
        fs.PmxReferenceCrossing = t;
        fs.PmxCrossingCount = 1;  // the reference counts as the first of the next 50
      }
    }
  }
  f = {x1, x2, y1, y2};
  r.PmxVoltagePeakPositive = vMax;
  r.PmxVoltagePeakNegative = vMin;
  r.PmxCurrentPeakPositive = cMax;
  r.PmxCurrentPeakNegative = cMin;
  r.PmxLiveVoltage = vSum / 1600.0;
  r.PmxLiveCurrent = cSum / 1600.0;
}

void RestartPmxAnalysis() {
  PmxVoltageFilter = {};
  PmxFrequencyState = {};
  PmxReadingsRecord& r = PmxReadings;
  r = {.PmxShownVoltage = r.PmxShownVoltage, .PmxShownCurrent = r.PmxShownCurrent};
}

}  // namespace zolt::analyser
