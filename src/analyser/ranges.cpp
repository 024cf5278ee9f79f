// Range steppers and range application.
//
// Sections: the ladders; steppers; application.
#include "analyser/ranges.h"

#include "link/pmx_ring.h"

namespace zolt::analyser {

// ---- the ladders ----

namespace {

// A stepper row: the range moves to `To` when it passes the row's test against `Limit`
// (up: at least the limit; down: below it). Rows are tried in order, first match wins,
// and a range that passes no row stays.
struct StepRow {
  double Limit;
  double To;
};

constexpr StepRow VoltageUp[] = {{150, 300}, {80, 150}, {40, 80}, {20, 40}, {10, 20}};
constexpr StepRow VoltageDown[] = {{20.01, 10}, {40.01, 20}, {80.01, 40}, {150.01, 80}, {300.01, 150}};
constexpr StepRow CurrentUp[] = {{5, 10}, {2, 5}, {1, 2}, {0.5, 1}, {0.25, 0.5}};
constexpr StepRow CurrentDown[] = {{0.501, 0.25}, {1.01, 0.5}, {2.01, 1}, {5.01, 2}, {10.01, 5}};

template <size_t N>
void StepUp(double& range, const StepRow (&rows)[N]) {
  for (const StepRow& row : rows)
    if (range >= row.Limit) {
      range = row.To;
      return;
    }
}

template <size_t N>
void StepDown(double& range, const StepRow (&rows)[N]) {
  for (const StepRow& row : rows)
    if (range < row.Limit) {
      range = row.To;
      return;
    }
}

// The ranges in the order of PmxRangeConstants and of their mask bits (bit k for row k).
constexpr double VoltageRanges[] = {300, 150, 80, 40, 20, 10};
constexpr double CurrentRanges[] = {10, 5, 2, 1, 0.5, 0.25};
constexpr int FirstCurrentConstant = 6;

}  // namespace

// ---- steppers ----

void PmxVoltageRangeUp() { StepUp(link::PmxRanges.PmxVoltageRange, VoltageUp); }
void PmxVoltageRangeDown() { StepDown(link::PmxRanges.PmxVoltageRange, VoltageDown); }
void PmxCurrentRangeUp() { StepUp(link::PmxRanges.PmxCurrentRange, CurrentUp); }
void PmxCurrentRangeDown() { StepDown(link::PmxRanges.PmxCurrentRange, CurrentDown); }

// ---- application ----

namespace {

// One channel: a range that matches no row is still recorded as applied and sent, with
// gain, offset and mask left as they were.
void ApplyChannel(double selected, double& applied, const double (&ranges)[6], int firstConstant,
                  std::atomic<double>& gain, std::atomic<double>& offset, int32_t& mask) {
  if (selected == applied) return;
  applied = selected;
  std::atomic<uint32_t>& generation = link::PmxSampleRing.PmxConversionGeneration;
  for (int k = 0; k < 6; ++k) {
    if (ranges[k] != selected) continue;
    generation.fetch_add(1);  // odd: the comms thread counts the blocks under way as mixed
    gain.store(link::PmxRangeConstants.Gain[firstConstant + k]);
    offset.store(link::PmxRangeConstants.Offset[firstConstant + k]);
    generation.fetch_add(1);
    mask = 1 << k;
    break;
  }
  SendRangeControl();
}

bool Calibrated(double applied, const double (&ranges)[6], int firstConstant) {
  for (int k = 0; k < 6; ++k)
    if (ranges[k] == applied) return link::PmxRangeConstants.Usable[firstConstant + k];
  return false;
}

}  // namespace

bool PmxVoltageRangeCalibrated() { return Calibrated(link::PmxRanges.PmxAppliedVoltageRange, VoltageRanges, 0); }
bool PmxCurrentRangeCalibrated() {
  return Calibrated(link::PmxRanges.PmxAppliedCurrentRange, CurrentRanges, FirstCurrentConstant);
}

void ApplySelectedRanges() {
  link::PmxRangesRecord& r = link::PmxRanges;
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  ApplyChannel(r.PmxVoltageRange, r.PmxAppliedVoltageRange, VoltageRanges, 0, ring.PmxVoltageGain,
               ring.PmxVoltageOffset, r.PmxVoltageRangeMask);
  ApplyChannel(r.PmxCurrentRange, r.PmxAppliedCurrentRange, CurrentRanges, FirstCurrentConstant,
               ring.PmxCurrentGain, ring.PmxCurrentOffset, r.PmxCurrentRangeMask);
}

}  // namespace zolt::analyser
