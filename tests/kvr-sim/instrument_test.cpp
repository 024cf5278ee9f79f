// Tests of the simulated curve tracer: high voltage, the sweep's states and stop codes,
// the acknowledge, the readings in the frames and the calibration words they carry.
#include "instrument.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "host_script.h"

namespace zolt::kvrsim {
namespace {

using namespace zolt::kvrsim::testing;

std::vector<StatusFrame> Frames(Instrument& in, int count) {
  std::vector<StatusFrame> frames;
  for (int i = 0; i < count; ++i) frames.push_back(NextFrame(in));
  return frames;
}

// Frames from the run command until the instrument is idle again (at most `limit`).
std::vector<StatusFrame> RunSweep(Instrument& in, const SweepSetup& setup, int limit = 5000) {
  WriteSetup(in, setup);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  std::vector<StatusFrame> frames;
  do {
    frames.push_back(NextFrame(in));
  } while (StateOf(frames.back()) != RunState::Idle && static_cast<int>(frames.size()) < limit);
  return frames;
}

void SwitchOn(Instrument& in) {
  Write(in, RegCommand, Enabled | HighVoltageStartBit);
  NextFrame(in);
  ASSERT_TRUE(in.highVoltageOn);
}

std::vector<RunState> StateSequence(const std::vector<StatusFrame>& frames) {
  std::vector<RunState> states;
  for (const StatusFrame& f : frames) {
    if (states.empty() || states.back() != StateOf(f)) states.push_back(StateOf(f));
  }
  return states;
}

int CountIn(const std::vector<StatusFrame>& frames, RunState state) {
  int n = 0;
  for (const StatusFrame& f : frames) n += StateOf(f) == state;
  return n;
}

// ---- high voltage ----

TEST(KvrSimHighVoltage, SwitchesWithTheCommandBits) {
  Instrument in;
  StartQuietInstrument(in);
  in.settings.highVoltageRiseFrames = 4;
  EXPECT_FALSE(HighVoltageOf(NextFrame(in)));

  Write(in, RegCommand, HighVoltageStartBit);  // without comms enable: ignored
  EXPECT_FALSE(HighVoltageOf(Frames(in, 10).back()));

  Write(in, RegCommand, Enabled | HighVoltageStartBit);
  std::vector<StatusFrame> rise = Frames(in, 4);
  EXPECT_FALSE(HighVoltageOf(rise[2]));
  EXPECT_TRUE(HighVoltageOf(rise[3]));
  Write(in, RegCommand, Enabled);  // no command: stays on
  EXPECT_TRUE(HighVoltageOf(NextFrame(in)));

  Write(in, RegCommand, Enabled | HighVoltageStopBit);
  EXPECT_FALSE(HighVoltageOf(NextFrame(in)));

  Write(in, RegCommand, Enabled | HighVoltageStartBit);
  Frames(in, 4);
  Write(in, RegCommand, ClampOnIdleBit);  // comms enable dropped
  EXPECT_FALSE(HighVoltageOf(NextFrame(in)));
}

// ---- the sweep ----

TEST(KvrSimSweep, RunsThroughItsStatesAndHoldsTheStopCodeUntilAcknowledged) {
  Instrument in;
  StartQuietInstrument(in);
  SwitchOn(in);
  SweepSetup setup;  // NPN at 10 uA: about 2 mA, so the 30 V limit ends the ramp
  std::vector<StatusFrame> frames = RunSweep(in, setup);
  EXPECT_EQ(StateSequence(frames), (std::vector<RunState>{RunState::PreRamp, RunState::Ramping,
                                                          RunState::Stopping, RunState::Idle}));
  EXPECT_EQ(CountIn(frames, RunState::PreRamp), 3);  // register 3
  EXPECT_EQ(CountIn(frames, RunState::Stopping), 3);
  for (size_t i = 0; i + 1 < frames.size(); ++i) ASSERT_EQ(StopCodeOf(frames[i]), 0) << i;
  EXPECT_EQ(StopCodeOf(frames.back()), 4);

  // The last ramping point is at the voltage limit.
  const StatusFrame* last = nullptr;
  for (const StatusFrame& f : frames) {
    if (StateOf(f) == RunState::Ramping) last = &f;
  }
  ASSERT_NE(last, nullptr);
  double volts = Apply(in.conversions.collectorVoltageFromCode, last->collectorVoltageSum / 5.0);
  EXPECT_NEAR(volts, 30.0, 0.5);

  // The code stays, and no sweep starts while it waits.
  EXPECT_EQ(StopCodeOf(Frames(in, 20).back()), 4);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  EXPECT_EQ(StateOf(NextFrame(in)), RunState::Idle);
  EXPECT_EQ(in.counters.refusedRuns, 1u);

  // The acknowledge pulse clears it; then the next sweep runs.
  Write(in, RegCommand, SweepCommandBits(setup) | ClearStopCodeBit);
  EXPECT_EQ(StopCodeOf(NextFrame(in)), 0);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  EXPECT_EQ(StateOf(NextFrame(in)), RunState::PreRamp);
}

TEST(KvrSimSweep, RefusesToRunWithTheHighVoltageOff) {
  Instrument in;
  StartQuietInstrument(in);
  Write(in, RegCommand, Enabled | RunSweepBit);
  EXPECT_EQ(StateOf(NextFrame(in)), RunState::Idle);
  EXPECT_EQ(in.counters.sweepsStarted, 0u);
}

struct LimitCase {
  const char* name;
  DeviceKind device;
  SweepSetup setup;
  int stopCode;
};

void PrintTo(const LimitCase& c, std::ostream* out) { *out << c.name; }

class KvrSimSweepLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(KvrSimSweepLimits, EndTheRampWithTheirStopCode) {
  const LimitCase& c = GetParam();
  Instrument in;
  StartQuietInstrument(in, c.device);
  SwitchOn(in);
  std::vector<StatusFrame> frames = RunSweep(in, c.setup);
  ASSERT_EQ(StateOf(frames.back()), RunState::Idle);
  EXPECT_EQ(StopCodeOf(frames.back()), c.stopCode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KvrSimSweepLimits,
    ::testing::Values(
        LimitCase{"PositiveVoltage", DeviceKind::Npn, {}, 4},
        LimitCase{"PositiveCurrent", DeviceKind::Npn, {.baseLevel = 60e-6}, 6},
        LimitCase{"NegativeVoltage", DeviceKind::Pnp, {.maxVolts = -30.0, .maxAmps = -0.01, .baseLevel = -10e-6}, 3},
        LimitCase{"NegativeCurrent", DeviceKind::Pnp, {.maxVolts = -30.0, .maxAmps = -0.01, .baseLevel = -60e-6}, 5},
        LimitCase{"ContinuousCurrent", DeviceKind::Diode,
                  {.maxVolts = 20.0, .maxAmps = 3.0, .collectorRange = 3, .collectorPulsed = false}, 8},
        LimitCase{"PulsedCurrent", DeviceKind::Diode,
                  {.maxVolts = 20.0, .maxAmps = 3.0, .collectorRange = 3, .collectorPulsed = true}, 6},
        LimitCase{"RunLength", DeviceKind::Open, {.secondDurationSamples = 20}, 2}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

TEST(KvrSimSweep, HaltsWithCodeOneOnTheStopBitOrWhenTheHighVoltageGoes) {
  Instrument in;
  StartQuietInstrument(in);
  SwitchOn(in);
  SweepSetup setup;
  WriteSetup(in, setup);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  Frames(in, 10);
  ASSERT_EQ(in.sweep.state, RunState::Ramping);
  Write(in, RegCommand, SweepCommandBits(setup) | StopSweepBit);
  std::vector<StatusFrame> frames = Frames(in, 4);
  EXPECT_EQ(StateOf(frames[2]), RunState::Stopping);
  EXPECT_EQ(StopCodeOf(frames[2]), 0);
  EXPECT_EQ(StopCodeOf(frames[3]), 1);
  EXPECT_TRUE(HighVoltageOf(frames[3]));

  // The program's halt: stop the sweep and the high voltage in one block.
  Write(in, RegCommand, SweepCommandBits(setup) | ClearStopCodeBit);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  NextFrame(in);
  Write(in, RegCommand, SweepCommandBits(setup) | StopSweepBit | HighVoltageStopBit);
  frames = Frames(in, 4);
  EXPECT_FALSE(HighVoltageOf(frames[0]));
  EXPECT_EQ(StopCodeOf(frames[3]), 1);
}

TEST(KvrSimSweep, EndsWithTheCodeOfAHaltAtTheInstrument) {
  Instrument in;
  StartQuietInstrument(in);
  SwitchOn(in);
  SweepSetup setup;
  WriteSetup(in, setup);
  Write(in, RegCommand, SweepCommandBits(setup) | RunSweepBit);
  Frames(in, 10);
  EndSweep(in, 14);
  EXPECT_EQ(StopCodeOf(Frames(in, 4).back()), 14);
}

TEST(KvrSimSweep, ANewSessionClearsAWaitingStopCode) {
  Instrument in;
  StartQuietInstrument(in);
  SwitchOn(in);
  ASSERT_EQ(StopCodeOf(RunSweep(in, {}).back()), 4);
  // The program's first block after connecting.
  Write(in, RegCommand, Enabled | ConnectStartBit | StopSweepBit | HighVoltageStopBit);
  StatusFrame frame = NextFrame(in);
  EXPECT_EQ(StopCodeOf(frame), 0);
  EXPECT_FALSE(HighVoltageOf(frame));
}

// ---- readings ----

TEST(KvrSimReadings, AnNpnCurveRisesWithTheCollectorVoltage) {
  Instrument in;
  StartQuietInstrument(in);
  SwitchOn(in);
  const Conversions& c = in.conversions;
  std::vector<StatusFrame> frames = RunSweep(in, {.baseLevel = 10e-6});
  double previousVolts = -1.0, previousAmps = -1.0;
  int points = 0;
  for (const StatusFrame& f : frames) {
    if (StateOf(f) != RunState::Ramping) continue;
    double volts = Apply(c.collectorVoltageFromCode, f.collectorVoltageSum / 5.0);
    double amps = Apply(c.collectorCurrentFromCode[1], f.collectorCurrentSum / 5.0);
    if (points++ > 0) {
      EXPECT_GT(volts, previousVolts) << "point " << points;
      EXPECT_GE(amps, previousAmps - 1e-7) << "point " << points;
    }
    if (volts > 5.0) {
      // Active region: beta about 180, raised by the Early effect.
      EXPECT_NEAR(amps, 180 * 10e-6 * (1.0 + volts / 90.0), 0.25e-3) << volts << " V";
    }
    previousVolts = volts;
    previousAmps = amps;
  }
  EXPECT_GT(points, 100);
}

TEST(KvrSimReadings, SumTheSamplesOfTheReadWindows) {
  Instrument fiveSamples, oneSample;
  StartQuietInstrument(fiveSamples, DeviceKind::Resistor);
  StartQuietInstrument(oneSample, DeviceKind::Resistor);
  for (Instrument* in : {&fiveSamples, &oneSample}) {
    SwitchOn(*in);
    WriteSetup(*in, {});
    Write(*in, RegCommand, Enabled | CollectorPulsedBit | RunSweepBit);
  }
  Write(oneSample, RegReadWindowEnd, 104);
  Write(oneSample, RegBaseWindowEnd, 104);
  for (int i = 0; i < 40; ++i) {
    StatusFrame a = NextFrame(fiveSamples), b = NextFrame(oneSample);
    ASSERT_EQ(a.collectorVoltageSum, 5 * b.collectorVoltageSum);
    ASSERT_EQ(a.collectorCurrentSum, 5 * b.collectorCurrentSum);
    ASSERT_EQ(a.baseVoltageSum, 5 * b.baseVoltageSum);
    ASSERT_EQ(a.resistorVoltageSum, b.resistorVoltageSum);
  }
  // 1 kohm in series with 2.55 kohm: the host's reading follows Ohm's law.
  const Conversions& c = oneSample.conversions;
  StatusFrame f = NextFrame(oneSample);
  double volts = Apply(c.collectorVoltageFromCode, f.collectorVoltageSum);
  double amps = Apply(c.collectorCurrentFromCode[1], f.collectorCurrentSum);
  double resistorVolts = Apply(c.collectorVoltageFromCode, f.resistorVoltageSum);
  ASSERT_GT(volts, 1.0);
  EXPECT_NEAR(volts / amps, 1000.0, 2.0);
  EXPECT_NEAR(resistorVolts / amps, 2550.0, 5.0);
}

TEST(KvrSimReadings, BaseGateFollowsTheClampAndTheLevels) {
  Instrument in;
  StartQuietInstrument(in, DeviceKind::NMosfet);
  const Conversions& c = in.conversions;
  NextFrame(in);
  EXPECT_NEAR(in.lastPoint.baseVolts, 0.0, 1e-9);  // not enabled yet
  SwitchOn(in);
  WriteSetup(in, {.currentDrive = false, .baseRange = 3, .baseLevel = 3.0});
  Write(in, RegBaseOffsetCode, OutputRegister(Apply(c.baseVoltageOffsetDac, 1.0)));
  Write(in, RegCommand, Enabled);
  NextFrame(in);
  EXPECT_NEAR(in.lastPoint.baseVolts, 0.0, 1e-6);  // clamped while idle
  Write(in, RegCommand, CommsEnableBit);
  NextFrame(in);
  EXPECT_NEAR(in.lastPoint.baseVolts, 1.0, 1e-3);  // offset level
  Write(in, RegCommand, CommsEnableBit | RunSweepBit);
  StatusFrame f = NextFrame(in);
  EXPECT_NEAR(in.lastPoint.baseVolts, 3.0, 1e-3);  // active level
  EXPECT_NEAR(Apply(Inverse(c.baseVoltageToCode), f.baseVoltageSum / 5.0), 3.0, 1e-3);
}

TEST(KvrSimReadings, FramesCarryTheCalibrationImage) {
  Instrument in;
  StartQuietInstrument(in);
  std::vector<StatusFrame> frames = Frames(in, 513);
  const CalibrationImage& image = in.calibration.image;
  EXPECT_TRUE(frames[0].statusWord & CalibrationMarkerBit);
  EXPECT_EQ(frames[0].calibrationWord, image[0] | image[1] << 8);
  EXPECT_EQ(frames[1].calibrationWord, image[2] | image[3] << 8);
  EXPECT_FALSE(frames[511].statusWord & CalibrationMarkerBit);
  EXPECT_TRUE(frames[512].statusWord & CalibrationMarkerBit);
}

// ---- devices ----

TEST(KvrSimDevices, BehaveLikeTheirParts) {
  // Diode: about 0.75 V at 10 mA.
  OperatingPoint diode = SolveCircuit(DeviceKind::Diode, 2.4 + 0.75, 240.0, 1e12, {});
  EXPECT_NEAR(diode.collectorAmps, 0.01, 0.001);
  EXPECT_NEAR(diode.collectorVolts, 0.75, 0.05);
  // MOSFET: off below its threshold, conducting above.
  EXPECT_LT(DeviceCurrents(DeviceKind::NMosfet, 10.0, 1.0).collector, 1e-6);
  EXPECT_NEAR(DeviceCurrents(DeviceKind::NMosfet, 10.0, 3.0).collector, 0.5 * 1.1, 0.02);
  EXPECT_LT(DeviceCurrents(DeviceKind::NMosfet, -1.0, 0.0).collector, -1e-3);  // body diode
  // The complements mirror the N types.
  for (double v : {-5.0, 0.3, 12.0}) {
    EXPECT_EQ(DeviceCurrents(DeviceKind::Pnp, -v, -0.65).collector, -DeviceCurrents(DeviceKind::Npn, v, 0.65).collector);
    EXPECT_EQ(DeviceCurrents(DeviceKind::PMosfet, -v, -4.0).collector,
              -DeviceCurrents(DeviceKind::NMosfet, v, 4.0).collector);
  }
  // A base current source sets the collector current through beta.
  OperatingPoint npn = SolveCircuit(DeviceKind::Npn, 10.0, 270.0, 1e12, {.currentMode = true, .level = 100e-6});
  EXPECT_NEAR(npn.collectorAmps / 100e-6, 180.0 * (1.0 + npn.collectorVolts / 90.0), 5.0);
  EXPECT_NEAR(npn.baseVolts, 0.65, 0.1);
}

}  // namespace
}  // namespace zolt::kvrsim
