// What a good status frame changes: readings, run state, step and point edges, the point
// store with its clamped indices, the calibration word and NewFrame; and the watchdog.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "link/calibration_stream.h"
#include "link/link_state.h"
#include "link/status_reader.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::link {
namespace {

enum : uint16_t { Idling = 0, PreRamp = 1, Ramping = 2, Stopping = 3 };

StatusFrame Frame(uint16_t status, int32_t vc = 0, int32_t ic = 0) {
  StatusFrame frame;
  frame.StatusWord = status;
  frame.CollectorVoltage = vc;
  frame.CollectorCurrent = ic;
  return frame;
}

class FrameHandlingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tracer::RunControl = {};
    tracer::RunControl.StepIndex = -1;
    tracer::RunControl.PointIndex = -1;
    for (int32_t& last : tracer::AcquiredSweeps.LastEntry) last = 0;
    for (tracer::StepSetup& entry : tracer::StepSetups) entry = {};
    CalibrationStream.CalStreamState = CalStreamAwaitMarker;
    StatusReadingsRecord& r = StatusReadings;
    r.VcSampleCount = r.VrSampleCount = r.VbSampleCount = r.IcSampleCount = 1;
    r.ReadingCurrentRange = 0;
    r.VcGain = r.VbGain = 1.0;
    r.VcOffset = r.VbOffset = 0.0;
    for (int i = 0; i < 4; ++i) {
      r.IcGain[i] = 1.0;
      r.IcOffset[i] = 0.0;
    }
    LinkState.Connected = 0;
  }
  tracer::RunControlRecord& run = tracer::RunControl;
};

TEST_F(FrameHandlingTest, PreRampToRampingOpensACurve) {
  for (tracer::StepSetup& entry : tracer::StepSetups) entry.BaseGateActiveCurrent = 1e-6;
  tracer::StepSetups[0].BaseGateActiveCurrent = 5e-6;
  tracer::StepSetups[0].BaseGateActiveVoltage = 0.7;
  ApplyStatusFrame(Frame(Idling), 0);
  ApplyStatusFrame(Frame(PreRamp), 0);
  EXPECT_EQ(run.StepIndex, -1);
  ApplyStatusFrame(Frame(Ramping, 10), 0);
  ApplyStatusFrame(Frame(Ramping, 20), 0);
  EXPECT_EQ(run.StepIndex, 0);
  EXPECT_EQ(run.PointIndex, 1);
  EXPECT_EQ(tracer::AcquiredSweeps.LastEntry[0], 1);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][0].VC_V, 10.0);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][1].VC_V, 20.0);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][1].TIB_A, 5e-6);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][1].TVB_V, 0.7);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][1].IR_A, 0.0);

  // Stopping and ramping again continue the same curve; the next pre-ramp opens curve 1.
  ApplyStatusFrame(Frame(Stopping), 0);
  ApplyStatusFrame(Frame(Ramping, 30), 0);
  EXPECT_EQ(run.StepIndex, 0);
  EXPECT_EQ(run.PointIndex, 2);
  ApplyStatusFrame(Frame(PreRamp), 0);
  ApplyStatusFrame(Frame(Ramping, 40), 0);
  EXPECT_EQ(run.StepIndex, 1);
  EXPECT_EQ(run.PointIndex, 0);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[1][0].VC_V, 40.0);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[1][0].TIB_A, 1e-6);
  EXPECT_EQ(run.PreviousRunState, "Ramping");
}

TEST_F(FrameHandlingTest, RampingWithoutAPreRampEdgeStoresInCurveZero) {
  ApplyStatusFrame(Frame(Ramping, 7), 0);
  EXPECT_EQ(run.StepIndex, -1);
  EXPECT_EQ(run.PointIndex, 0);
  EXPECT_EQ(tracer::AcquiredSweeps.LastEntry[0], 0);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][0].VC_V, 7.0);
}

TEST_F(FrameHandlingTest, EdgesIgnoreLetterCase) {
  run.PreviousRunState = "PRE-RAMP";
  ApplyStatusFrame(Frame(Ramping), 0);
  EXPECT_EQ(run.StepIndex, 0);
  EXPECT_EQ(run.PointIndex, 0);
}

TEST_F(FrameHandlingTest, IndicesAreClampedForStoringOnly) {
  run.StepIndex = 30;
  run.PointIndex = 20000;
  run.PreviousRunState = "Ramping";
  ApplyStatusFrame(Frame(Ramping, 3), 0);
  EXPECT_EQ(run.StepIndex, 30);
  EXPECT_EQ(run.PointIndex, 20001);
  EXPECT_EQ(tracer::AcquiredSweeps.LastEntry[24], 10000);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[24][10000].VC_V, 3.0);
}

TEST_F(FrameHandlingTest, StatusBitsAndTheCalibrationMarker) {
  run.PreviousRunState = "Ramping";
  run.PointIndex = 4;
  StatusFrame frame = Frame(0x8000 | 0x7F00 | (6 << 4) | 0x4 | Ramping);
  frame.CalibrationWord = 0x3231;
  ApplyStatusFrame(frame, 0);
  EXPECT_EQ(run.HighVoltageOn, 1);
  EXPECT_EQ(run.StopCode, 6);
  EXPECT_EQ(run.RunState, "Ramping");
  EXPECT_EQ(run.NewFrame, 1);
  EXPECT_EQ(tracer::AcquiredSweeps.Point[0][5].RunStatus, 0x7F66);  // never bit 15
  // The marker started a copy with the word's low byte first.
  EXPECT_EQ(CalibrationStream.CalStreamState.load(), CalStreamFirstCopy);
  EXPECT_EQ(CalibrationStream.CalCopy1[0], '1');
  EXPECT_EQ(CalibrationStream.CalCopy1[1], '2');
  // Without the marker bit nothing starts.
  CalibrationStream.CalStreamState = CalStreamAwaitMarker;
  ApplyStatusFrame(Frame(Idling), 0);
  EXPECT_EQ(CalibrationStream.CalStreamState.load(), CalStreamAwaitMarker);
  EXPECT_EQ(run.HighVoltageOn, 0);
}

TEST_F(FrameHandlingTest, ReadingsUseSampleCountsGainsAndTheCurrentRange) {
  StatusReadingsRecord& r = StatusReadings;
  r.VcSampleCount = 5;
  r.VrSampleCount = 0;  // used, and stored back, as 1
  r.VbSampleCount = 2;
  r.IcSampleCount = 4;
  r.VcGain = 0.5;
  r.VcOffset = 1.0;
  r.VbGain = 2.0;
  r.VbOffset = -1.0;
  r.IcGain[2] = 1e-3;
  r.IcOffset[2] = 0.25;
  r.ReadingCurrentRange = 2;
  StatusFrame frame = Frame(Idling, 100, 400);
  frame.ResistorVoltage = -6;
  frame.BaseGateVoltage = 3;
  ApplyStatusFrame(frame, 0);
  EXPECT_DOUBLE_EQ(r.LiveVc, 100.0 / 5 * 0.5 + 1.0);
  EXPECT_DOUBLE_EQ(r.LiveVr, -6.0 * 0.5 + 1.0);
  EXPECT_EQ(r.VrSampleCount.load(), 1);
  EXPECT_DOUBLE_EQ(r.LiveVb, 3.0 / 2 * 2.0 - 1.0);
  EXPECT_DOUBLE_EQ(r.LiveIc, 400.0 / 4 * 1e-3 + 0.25);
  // A range outside 0..3 keeps the last current.
  r.ReadingCurrentRange = 4;
  ApplyStatusFrame(Frame(Idling, 0, 999), 0);
  EXPECT_DOUBLE_EQ(r.LiveIc, 0.35);
}

TEST_F(FrameHandlingTest, WatchdogClosesAfterMoreThan2000Ms) {
  LinkState.Connected = 1;
  ApplyStatusFrame(Frame(Idling), 1000);
  EXPECT_EQ(LinkState.LastGoodFrameTime.load(), 1000);
  CheckLinkTimeout(3000);
  EXPECT_EQ(LinkState.Connected.load(), 1);
  CheckLinkTimeout(3001);
  EXPECT_EQ(LinkState.Connected.load(), 0);
}

// One second of a stream of a frame every `period` µs, the port simulated: a look that
// finds no frame waiting ends when the next one comes. Counts the reader's wakes and the
// longest a frame waited to be taken.
std::pair<int, int64_t> Pace(int64_t period) {
  ReaderPacingRecord pacing;
  int wakes = 0;
  int64_t now = 0, taken = 0, longestWait = 0;
  while (now < 1'000'000) {
    bool batchWaiting = false;
    if (ReaderLookTime(pacing) > now) {
      now = ReaderLookTime(pacing);
      ++wakes;
      batchWaiting = (taken + 1) * period <= now;
    }
    if ((taken + 1) * period > now) {
      now = (taken + 1) * period;
      ++wakes;
    }
    longestWait = std::max(longestWait, now - (taken + 1) * period);
    taken = now / period;
    NoteReaderWake(pacing, now, true, batchWaiting);
  }
  return {wakes, longestWait};
}

TEST(ReaderPacing, FastStreamsAreTakenInBatchesAndSlowOnesAtOnce) {
  const int64_t gap = ReaderBatchMicroseconds;
  const int batches = static_cast<int>(1'000'000 / gap) + 1;
  for (const auto& [period, mostWakes, longestWait] : std::vector<std::tuple<int64_t, int, int64_t>>{
           {gap / 16, batches, gap}, {gap / 8, batches, gap}, {gap * 5 / 8, batches, gap},
           {gap * 5 / 4, static_cast<int>(1'000'000 / (gap * 5 / 4)), 0}, {20000, 50, 0}}) {
    const auto [wakes, waited] = Pace(period);
    EXPECT_LE(wakes, mostWakes) << period;
    EXPECT_LE(waited, longestWait) << period;
  }
  // A batch that finds nothing waiting ends the batching.
  ReaderPacingRecord pacing;
  NoteReaderWake(pacing, 1000, true, false);
  EXPECT_EQ(ReaderLookTime(pacing), 1000 + gap);
  NoteReaderWake(pacing, 1000 + gap + 500, true, false);
  EXPECT_EQ(ReaderLookTime(pacing), 0);
}

}  // namespace
}  // namespace zolt::link
