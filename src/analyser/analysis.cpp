// Block analysis.
//
// Sections: the filter and the bound of what a gap moved; the frequency; peaks and means
// of a block; a block with gaps; one block.
//
// The low-pass is a biquad for 75 Hz, Q 10 at 16,000 samples per second (gain 1 at DC,
// about 1.8 at 50 Hz, 0.036 at 400 Hz): it keeps the fundamental and strips harmonics
// and noise, so that each period gives one clean rising crossing.
#include "analyser/analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/pmx_ring.h"

namespace zolt::analyser {

namespace {

// ---- the filter and the bound of what a gap moved ----

constexpr double B0 = 0.000216526932;
constexpr double B1 = 0.000433053865;
constexpr double B2 = 0.000216526932;
constexpr double A1 = -1.996193404543;
constexpr double A2 = 0.997059512274;

// The filter's response to one sample lies within ResponseEnvelope x PoleRadius^n after
// n samples (PoleRadius is the square root of A2, the radius of its poles; the envelope
// is the largest ratio of the response to it). So an input off by d_k at sample k puts
// the output off by at most ResponseEnvelope x sum(d_k) at the end of a gap, fading by
// PoleRadius a sample after it: to a thousandth in 4,700 samples.
constexpr double PoleRadius = 0.998528674;
constexpr double ResponseEnvelope = 0.0295;

struct Filter {
  double x1, x2, y1, y2;
  // One sample in; the output, with the one before in `previous`.
  double Step(double v, double& previous) {
    const double y = B0 * v + B1 * x1 + B2 * x2 - A1 * y1 - A2 * y2;
    previous = y1;
    x2 = x1;
    x1 = v;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// How far the filter's output may be off at analysed sample n (no bound before the
// first received sample).
double OutputBoundAt(const PmxGapStateRecord& g, int64_t n) {
  if (g.Filled < 0) return std::numeric_limits<double>::infinity();
  if (g.OutputBound == 0.0 || n <= g.BoundFrom) return g.OutputBound;
  return g.OutputBound * std::pow(PoleRadius, static_cast<double>(n - g.BoundFrom));
}

// The most a filled stretch of `count` samples, the (from + 1)-th to the (from + count)-th
// of a gap of `length`, may lie off the signal. The line between two received samples
// lies off a signal whose second difference stays within `curvature` by at most
// curvature x j x (length + 1 - j) / 2 at its j-th sample; a held sample (no received one
// on one side) by up to twice the amplitude.
double FillDeviationSum(int64_t from, int64_t count, int64_t length, bool line, double curvature,
                        double amplitude) {
  const double held = 2.0 * amplitude * static_cast<double>(count);
  if (!line) return held;
  const auto sums = [](double n) { return std::pair(n * (n + 1) / 2, n * (n + 1) * (2 * n + 1) / 6); };
  const auto [s1a, s2a] = sums(static_cast<double>(from));
  const auto [s1b, s2b] = sums(static_cast<double>(from + count));
  const double onLine = curvature / 2 * ((length + 1.0) * (s1b - s1a) - (s2b - s2a));
  return std::min(onLine, held);
}

// ---- the frequency ----

// A frequency is shown when the span of its periods cannot be off by more than this
// share of it: 0.008 %, which with the tile's rounding to a thousandth of a hertz (at
// most 0.0012 % from 45 Hz up) stays within the 0.01 % the reading stands for.
constexpr double FrequencyTolerance = 0.8e-4;
// A gap that may put the filter's output off by more than its rise over this many samples
// at a crossing may also have added or lost a crossing: such a crossing is not counted.
constexpr double CountSafeSamples = 2.0;
// The periods across a stretch whose crossings were not counted are its length over the
// period measured before it, taken to the nearest whole number when that cannot be off
// by a quarter period: the length may be off by what its two crossings may lie off, the
// period by what the measurement's crossings may, and the signal's frequency may have
// moved by up to FrequencyDrift over the stretch (a mains frequency moves by far less).
// A stretch longer than a second is never told so.
constexpr double CountDoubt = 0.25;
constexpr double FrequencyDrift = 0.01;

double Wrapped(double span) { return span < 0 ? span + link::PmxRingSamples : span; }

// A measurement begins at a crossing that may lie off by `error` samples.
void StartMeasurement(double crossing, double error, int64_t n) {
  PmxFrequencyStateRecord& s = PmxFrequencyState;
  s.Counting = true;
  s.PmxReferenceCrossing = s.LastCounted = crossing;
  s.ReferenceError = s.LastCountedError = error;
  s.LastCountedAt = n;
  s.PmxCrossingCount = 0;
  s.Span = 0.0;
  s.Uncounted = false;
}

// The periods from the last crossing counted to one `since` samples after it that may lie
// off by `error`, across crossings not counted; 0 when their number is in doubt.
int32_t PeriodsAcross(double since, double error, int64_t n) {
  const PmxFrequencyStateRecord& s = PmxFrequencyState;
  if (s.PmxCrossingCount == 0 || n - s.LastCountedAt > PmxSampleRate) return 0;
  const double period = s.Span / s.PmxCrossingCount;
  const double periods = std::round(since / period);
  const double periodError = (s.ReferenceError + s.LastCountedError) / s.PmxCrossingCount;
  const double doubt = std::fabs(since / period - periods) +
                       (periods * periodError + s.LastCountedError + error) / period + periods * FrequencyDrift;
  return periods >= 1 && doubt <= CountDoubt ? static_cast<int32_t>(periods) : 0;
}

// How far the filter's output may be off from the converter's steps alone, for the block
// being analysed: its samples are even readings, so each lies within one reading (half a
// step) of the signal, and the output within the sum of the filter's response to one
// sample (12.74) times that; the bound takes the response's envelope instead,
// ResponseEnvelope / (1 - PoleRadius) = 20 times, whose margin covers readings that lie
// off by up to 1.5 times that for noise of the converter's own. It keeps a signal that
// has stopped, whose output then only rings down at the filter's own 75 Hz, or one lost
// in the converter's noise, from being measured.
double StepBound = 0.0;

// A rising crossing at ring position t, where the output rose by `slope` over the sample,
// at analysed sample n.
void TakeCrossing(double t, double slope, int64_t n) {
  PmxFrequencyStateRecord& s = PmxFrequencyState;
  const double error = (OutputBoundAt(PmxGapState, n) + StepBound) / slope;
  s.LastCrossing = t;
  s.LastError = error;
  s.LastSlope = slope;
  if (error > CountSafeSamples) {
    s.Uncounted = true;
    return;
  }
  if (!s.Counting) return StartMeasurement(t, error, n);
  const double since = Wrapped(t - s.LastCounted);
  const int32_t periods = s.Uncounted ? PeriodsAcross(since, error, n) : 1;
  if (periods == 0) return StartMeasurement(t, error, n);
  s.PmxCrossingCount += periods;
  s.Span += since;
  s.LastCounted = t;
  s.LastCountedError = error;
  s.LastCountedAt = n;
  s.Uncounted = false;
  if (s.PmxCrossingCount < PmxCrossingsPerMeasurement) {
    // A measurement whose first crossing alone may be off by more than the whole
    // measurement can allow starts again here.
    const double period = s.Span / s.PmxCrossingCount;
    if (s.ReferenceError > FrequencyTolerance * PmxCrossingsPerMeasurement * period) StartMeasurement(t, error, n);
    return;
  }
  if (s.ReferenceError + error <= FrequencyTolerance * s.Span) {
    PmxReadings.PmxFrequency = s.PmxCrossingCount * PmxSampleRate / s.Span;
    PmxReadings.PmxFrequencyStatus = PmxReadingStatus::Measured;
    s.MeasuredAt = n;
  } else if (s.PmxCrossingCount < 2 * PmxCrossingsPerMeasurement) {
    return;  // the next crossing may lie further from a gap
  }
  StartMeasurement(t, error, n);  // the last crossing is the first of the next measurement
}

// One voltage sample (received or standing in for a filled one) through the filter,
// with its filtered sample and a rising crossing strictly through 0 (a sample landing
// exactly on 0 gives none), placed between samples i - 1 and i by linear interpolation.
inline void FilterSample(Filter& f, double v, int32_t i, int64_t n) {
  double p;
  const double y = f.Step(v, p);
  link::PmxFilteredSamples[i] = y / PmxFilterOutputScale;
  if (y > 0 && p < 0) TakeCrossing(i + (-y / (y - p)), y - p, n);
}

// ---- peaks and means of a block ----

// The largest (or, through Lowest, smallest) received sample of a block, and whether a
// sample of that value lies at the edge of a gap, where the gap may hide a larger one.
struct Extreme {
  double Value = -std::numeric_limits<double>::infinity();
  bool AtGap = false;
  void Take(double v, bool atGap) {
    if (v > Value) {
      Value = v;
      AtGap = atGap;
    } else if (v == Value) {
      AtGap = AtGap || atGap;
    }
  }
};

struct ChannelPeaks {
  Extreme Highest, Lowest;  // Lowest holds the negated samples
  double Sum = 0.0;
  void Take(double v, bool atGap) {
    Highest.Take(v, atGap);
    Lowest.Take(-v, atGap);
    Sum += v;
  }
};

// Whether a channel's received samples reached the largest (High) or smallest (Low)
// reading a frame can carry, each side told from its own extreme and the conversion of
// the block, so that a signal clipped on one side keeps the peak of the other; not to be
// told for a block whose range changed within it.
enum class Limit { Within, Reached, Unknown };
struct Limits {
  Limit High, Low;
};

Limits ChannelLimits(const ChannelPeaks& p, uint8_t kind, double gain, double offset) {
  if (kind == link::PmxNoConversion) return {Limit::Within, Limit::Within};
  if (kind != link::PmxOneConversion) return {Limit::Unknown, Limit::Unknown};
  double top = link::PmxSampleMax * gain + offset, bottom = link::PmxSampleMin * gain + offset;
  if (top < bottom) std::swap(top, bottom);
  const double margin = (link::PmxLimitCounts + 0.5) * std::fabs(gain);
  return {p.Highest.Value >= top - margin ? Limit::Reached : Limit::Within,
          -p.Lowest.Value <= bottom + margin ? Limit::Reached : Limit::Within};
}

// A peak starts from 0, not from the first sample: a block entirely above 0 has a
// negative peak of 0. One that a gap may hide (or whose range changed in the block) is
// not known for the block: the peak of the blocks before stands in for it, a second at
// most, so that a gap now and then does not blank the tile.
void SetPeak(const Extreme& e, double sign, Limit limit, bool received, double& value, PmxReadingStatus& status,
             int32_t& kept) {
  if (limit == Limit::Reached) {
    status = PmxReadingStatus::OverRange;
  } else if (received && !e.AtGap && limit == Limit::Within) {
    status = PmxReadingStatus::Measured;
    value = sign * std::max(e.Value, 0.0);
    kept = 0;
  } else if (status != PmxReadingStatus::Measured || ++kept > PmxPeakKeptBlocks) {
    status = PmxReadingStatus::None;
  }
}

void SetBlockReadings(int32_t block, const ChannelPeaks& voltage, const ChannelPeaks& current, int32_t received) {
  PmxReadingsRecord& r = PmxReadings;
  int32_t* kept = PmxGapState.PeakKept;
  const bool any = received > 0;
  const uint8_t kind = link::LoadRingByte(link::PmxBlockConversionKinds[block]);
  const link::PmxConversion& c = link::PmxBlockConversions[block];
  const Limits v = ChannelLimits(voltage, kind, link::LoadSample(c.VoltageGain), link::LoadSample(c.VoltageOffset));
  const Limits i = ChannelLimits(current, kind, link::LoadSample(c.CurrentGain), link::LoadSample(c.CurrentOffset));
  SetPeak(voltage.Highest, 1.0, v.High, any, r.PmxVoltagePeakPositive, r.PmxVoltagePeakPositiveStatus, kept[0]);
  SetPeak(voltage.Lowest, -1.0, v.Low, any, r.PmxVoltagePeakNegative, r.PmxVoltagePeakNegativeStatus, kept[1]);
  SetPeak(current.Highest, 1.0, i.High, any, r.PmxCurrentPeakPositive, r.PmxCurrentPeakPositiveStatus, kept[2]);
  SetPeak(current.Lowest, -1.0, i.Low, any, r.PmxCurrentPeakNegative, r.PmxCurrentPeakNegativeStatus, kept[3]);
  if (!any) return;  // the means keep their last values
  r.PmxLiveStatus = PmxReadingStatus::Measured;
  r.PmxLiveVoltage = voltage.Sum / received;
  r.PmxLiveCurrent = current.Sum / received;
}

// ---- a block with gaps ----

bool Filled(const uint8_t* flags, int t) { return (link::LoadRingByte(flags[t]) & link::PmxReceivedFrame) == 0; }

// The largest |voltage| and second difference of the block's received samples.
void MeasureReceived(const uint8_t* flags, int32_t first, double& amplitude, double& curvature) {
  amplitude = curvature = 0.0;
  for (int t = 0; t < link::PmxFramesPerBlock; ++t) {
    if (Filled(flags, t)) continue;
    const int32_t from = first + t * link::PmxFrameSamples;
    const bool before = t > 0 && !Filled(flags, t - 1);
    const bool after = t + 1 < link::PmxFramesPerBlock && !Filled(flags, t + 1);
    for (int k = 0; k < link::PmxFrameSamples; ++k) {
      const int32_t i = from + k;
      amplitude = std::max(amplitude, std::fabs(link::LoadSample(link::PmxVoltageSamples[i])));
      if ((k == 0 && !before) || (k == link::PmxFrameSamples - 1 && !after)) continue;
      const double second = link::LoadSample(link::PmxVoltageSamples[i - 1]) -
                            2 * link::LoadSample(link::PmxVoltageSamples[i]) +
                            link::LoadSample(link::PmxVoltageSamples[i + 1]);
      curvature = std::max(curvature, std::fabs(second));
    }
  }
}

// What a gap's filled samples are fed to the filter as: the j-th (from 1) lies on the
// straight line from the last received sample before the gap to the first after it,
// Length filled samples apart; with one of the two unknown, the other is held (0 with
// neither).
struct FillLine {
  bool HaveLeft = false, HaveRight = false;
  double Left = 0.0, Right = 0.0;
  int64_t Length = 0;
  double At(int64_t j) const {
    if (HaveLeft && HaveRight) return Left + (Right - Left) * static_cast<double>(j) / static_cast<double>(Length + 1);
    return HaveLeft ? Left : Right;  // held; 0 with neither
  }
};

// The filled stretch of frame-times from `t` on: where it ends in the block (`end`), and
// the line through it, whose right end may lie in the next block of the ring.
FillLine StretchLine(int32_t block, const uint8_t* flags, int t, int& end) {
  PmxGapStateRecord& g = PmxGapState;
  end = t;
  while (end < link::PmxFramesPerBlock && Filled(flags, end)) ++end;
  FillLine line;
  line.HaveLeft = g.Filled >= 0;
  line.Left = g.LastReceived;
  int64_t ahead = static_cast<int64_t>(end - t) * link::PmxFrameSamples;
  int32_t right = -1;
  if (end < link::PmxFramesPerBlock) {
    right = block * link::PmxBlockSamples + end * link::PmxFrameSamples;
  } else {
    const int32_t next = (block + 1) % link::PmxRingBlocks;
    const uint8_t* nextFlags = link::PmxFrameTimes + next * link::PmxFramesPerBlock;
    int n = 0;
    while (n < link::PmxFramesPerBlock && Filled(nextFlags, n)) ++n;
    ahead += static_cast<int64_t>(n) * link::PmxFrameSamples;
    if (n < link::PmxFramesPerBlock) right = next * link::PmxBlockSamples + n * link::PmxFrameSamples;
  }
  line.HaveRight = right >= 0;
  if (line.HaveRight) line.Right = link::LoadSample(link::PmxVoltageSamples[right]);
  line.Length = std::max<int64_t>(g.Filled, 0) + ahead;
  return line;
}

// Peaks, means and the filter over a block that has filled frame-times, or that follows
// a gap.
void AnalyseBlockWithGaps(int32_t block, Filter& f) {
  PmxGapStateRecord& g = PmxGapState;
  const int32_t first = block * link::PmxBlockSamples;
  const uint8_t* flags = link::PmxFrameTimes + block * link::PmxFramesPerBlock;
  double amplitude, curvature;
  MeasureReceived(flags, first, amplitude, curvature);
  const double useAmplitude = std::max(amplitude, g.Amplitude), useCurvature = std::max(curvature, g.Curvature);
  if (amplitude > 0.0) g.Amplitude = amplitude, g.Curvature = curvature;

  ChannelPeaks voltage, current;
  int32_t received = 0;
  FillLine line;
  for (int t = 0; t < link::PmxFramesPerBlock; ++t) {
    const int32_t from = first + t * link::PmxFrameSamples;
    const int64_t n0 = g.Analysed;
    if (!Filled(flags, t)) {
      if (g.Filled < 0) {
        // The first received sample after a start: the filter's start counts as a gap
        // of any length, off by up to twice the amplitude all the way.
        g.OutputBound = ResponseEnvelope * 2.0 * useAmplitude / (1.0 - PoleRadius);
        g.BoundFrom = n0;
      }
      g.Filled = 0;
      const bool gapBefore = t > 0 && Filled(flags, t - 1);
      const bool gapAfter = t + 1 < link::PmxFramesPerBlock && Filled(flags, t + 1);
      for (int k = 0; k < link::PmxFrameSamples; ++k) {
        const int32_t i = from + k;
        const double v = link::LoadSample(link::PmxVoltageSamples[i]);
        const bool atGap = (k == 0 && gapBefore) || (k == link::PmxFrameSamples - 1 && gapAfter);
        voltage.Take(v, atGap);
        current.Take(link::LoadSample(link::PmxCurrentSamples[i]), atGap);
        FilterSample(f, v, i, g.Analysed++);
        g.LastReceived = v;
      }
      received += link::PmxFrameSamples;
      continue;
    }
    if (t == 0 || !Filled(flags, t - 1)) {
      // A filled stretch begins: how far it may put the output off is added at once
      // (fading only after the stretch), and a gap that may have added or lost a
      // crossing leaves the periods across it to be told by time.
      int end;
      line = StretchLine(block, flags, t, end);
      if (g.Filled >= 0) {
        const int64_t count = static_cast<int64_t>(end - t) * link::PmxFrameSamples;
        const double deviation =
            FillDeviationSum(g.Filled, count, line.Length, line.HaveRight, useCurvature, useAmplitude);
        g.OutputBound = OutputBoundAt(g, n0) + ResponseEnvelope * deviation;
        g.BoundFrom = n0 + count;
        PmxFrequencyStateRecord& s = PmxFrequencyState;
        if (g.OutputBound > CountSafeSamples * s.LastSlope) s.Uncounted = true;
      }
    }
    for (int k = 0; k < link::PmxFrameSamples; ++k) {
      const int64_t j = g.Filled < 0 ? 0 : ++g.Filled;
      FilterSample(f, line.At(j), from + k, g.Analysed++);
    }
  }
  SetBlockReadings(block, voltage, current, received);
}

}  // namespace

// ---- one block ----

void AnalysePmxBlock(int32_t block) {
  if (block < 0 || block >= link::PmxRingBlocks) return;
  PmxVoltageFilterRecord& state = PmxVoltageFilter;
  PmxGapStateRecord& g = PmxGapState;
  Filter f{state.X1, state.X2, state.Y1, state.Y2};
  const double gain = link::LoadSample(link::PmxBlockConversions[block].VoltageGain);
  const uint8_t kind = link::LoadRingByte(link::PmxBlockConversionKinds[block]);
  StepBound = kind == link::PmxNoConversion ? 0.0 : ResponseEnvelope / (1.0 - PoleRadius) * std::fabs(gain);
  const uint8_t* flags = link::PmxFrameTimes + block * link::PmxFramesPerBlock;
  uint8_t every = link::PmxReceivedFrame;
  for (int t = 0; t < link::PmxFramesPerBlock; ++t) every &= link::LoadRingByte(flags[t]);
  if (every == 0 || g.Filled != 0) {
    AnalyseBlockWithGaps(block, f);
  } else {
    // Every frame-time received, after received ones.
    double vMax = 0.0, vMin = 0.0, cMax = 0.0, cMin = 0.0, vSum = 0.0, cSum = 0.0;
    const int32_t first = block * link::PmxBlockSamples;
    const int32_t end = first + link::PmxBlockSamples;
    const int64_t n0 = g.Analysed - first;
    for (int32_t i = first; i < end; ++i) {
      const double v = link::LoadSample(link::PmxVoltageSamples[i]);
      const double c = link::LoadSample(link::PmxCurrentSamples[i]);
      if (v > vMax) vMax = v;
      if (v < vMin) vMin = v;
      if (c > cMax) cMax = c;
      if (c < cMin) cMin = c;
      vSum += v;
      cSum += c;
      FilterSample(f, v, i, n0 + i);
    }
    g.Analysed += link::PmxBlockSamples;
    g.LastReceived = link::LoadSample(link::PmxVoltageSamples[end - 1]);
    ChannelPeaks voltage, current;
    voltage.Highest.Value = vMax, voltage.Lowest.Value = -vMin, voltage.Sum = vSum;
    current.Highest.Value = cMax, current.Lowest.Value = -cMin, current.Sum = cSum;
    SetBlockReadings(block, voltage, current, link::PmxBlockSamples);
  }
  state = {f.x1, f.x2, f.y1, f.y2};
  PmxReadingsRecord& r = PmxReadings;
  if (r.PmxFrequencyStatus == PmxReadingStatus::Measured &&
      g.Analysed - PmxFrequencyState.MeasuredAt > (2 * PmxCrossingsPerMeasurement / r.PmxFrequency + 1) * PmxSampleRate)
    r.PmxFrequencyStatus = PmxReadingStatus::None;
}

void RestartPmxAnalysis() {
  PmxVoltageFilter = {};
  PmxFrequencyState = {};
  PmxGapState = {};
  PmxReadingsRecord& r = PmxReadings;
  r = {.PmxShownVoltage = r.PmxShownVoltage, .PmxShownCurrent = r.PmxShownCurrent};
}

}  // namespace zolt::analyser
