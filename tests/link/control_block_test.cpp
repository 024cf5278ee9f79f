// The control block: timing by pulse class, sample interval, limits, levels, ranges and
// the command bits, read back from the register image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/calibration.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::link {
namespace {

bool Bit(int bit) { return (RegisterImage[CommandBits] >> bit) & 1; }

class ControlBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LinkState.Connected = 0;  // builds the registers, sends nothing
    std::fill(std::begin(RegisterImage), std::end(RegisterImage), 0);
    tracer::RunControl = {};
    tracer::TestSetup = {};
    tracer::RunInfo = {};
    tracer::RunInfo.RunSampleRate = 50.0;
    for (tracer::StepSetup& entry : tracer::StepSetups) entry = {};
    CalibrationCoefficients = {};
    // One code per volt or ampere unless a test says otherwise.
    CalibrationCoefficients.CollectorVoltageToCode = {1.0, 0.0};
    for (GainOffset& pair : CalibrationCoefficients.CollectorCurrentToCode) pair = {1.0, 0.0};
    Entry().BaseGateOutputMode = "I";
    Entry().BaseGateClampMode = "ClampOnIdle";
  }
  tracer::StepSetup& Entry(int i = 0) { return tracer::StepSetups[i]; }
};

TEST_F(ControlBlockTest, PulseClassChoosesTheTimingValues) {
  struct Case {
    double collectorPulse;
    double basePulse;
    bool class80;
  };
  const Case cases[] = {{80e-6, 0.0, true},    {64e-6, 0.0, false}, {96e-6, 0.0, false},
                        {300e-6, 0.0, false},  {0.0, 80e-6, true},  {300e-6, 80e-6, true},
                        {0.0, 0.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.collectorPulse << " / " << c.basePulse);
    Entry().CollectorPulseLength = c.collectorPulse;
    Entry().BaseGatePulseLength = c.basePulse;
    BuildControlBlock(0);
    EXPECT_EQ(RegisterImage[BaseReadWindowEnd], c.class80 ? 104 : 108);
    EXPECT_EQ(RegisterImage[TimingSlot7], c.class80 ? 102 : 107);
    EXPECT_EQ(RegisterImage[TimingSlot9], c.class80 ? 103 : 108);
    EXPECT_EQ(RegisterImage[ReadWindowEnd], c.class80 ? 104 : 108);
    EXPECT_EQ(RegisterImage[TimingSlot21], c.class80 ? 102 : 107);
    EXPECT_EQ(VcWindowCount, c.class80 ? 1 : 5);
    EXPECT_EQ(IcWindowCount, c.class80 ? 1 : 5);
    EXPECT_EQ(VrWindowCount, 1);
    EXPECT_EQ(VbWindowCount, c.class80 ? 1 : 5);
    // A pulsed collector moves slot 22 next to the read window.
    EXPECT_EQ(RegisterImage[TimingSlot22], c.collectorPulse != 0.0 ? 104 : 98);
    EXPECT_EQ(Bit(CollectorPulsedBit), c.collectorPulse != 0.0);
    // A continuous base/gate drive: 65535 and 1 in both classes.
    EXPECT_EQ(RegisterImage[TimingSlot18], c.basePulse == 0.0 ? 65535 : 103);
    EXPECT_EQ(RegisterImage[TimingSlot19], c.basePulse == 0.0 ? 1 : 100);
    EXPECT_EQ(Bit(BaseGatePulsedBit), c.basePulse != 0.0);
  }
}

TEST_F(ControlBlockTest, SampleIntervalAndDurations) {
  Entry().FirstDuration = 1.0;
  Entry().SecondDuration = 10.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[SampleIntervalTicks], 469);
  EXPECT_EQ(RegisterImage[FirstDurationSamples], 50);
  EXPECT_EQ(RegisterImage[SecondDurationSamples], 500);
  // Below 10 Hz the interval is that of 10 Hz; the durations use the rate itself.
  tracer::RunInfo.RunSampleRate = 5.0;
  Entry().FirstDuration = 0.5;  // 2.5 samples: half away from zero
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[SampleIntervalTicks], 2344);
  EXPECT_EQ(RegisterImage[FirstDurationSamples], 3);
  EXPECT_EQ(RegisterImage[SecondDurationSamples], 50);
  tracer::RunInfo.RunSampleRate = std::numeric_limits<double>::quiet_NaN();
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[SampleIntervalTicks], 2344);
}

TEST_F(ControlBlockTest, CollectorVoltageLimits) {
  CalibrationCoefficients.CollectorVoltageToCode = {100000.0, 0.0};
  Entry().CollectorMaxVoltage = 20.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitLow], 4294967295LL - 2000000);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitHigh], 2000000);
  EXPECT_EQ(RegisterImage[CollectorNegative], 0);
  // A negative maximum gives the same limits and marks the polarity.
  Entry().CollectorMaxVoltage = -20.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitLow], 4294967295LL - 2000000);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitHigh], 2000000);
  EXPECT_EQ(RegisterImage[CollectorNegative], 1);
}

TEST_F(ControlBlockTest, NegativeLimitCodesAreStoredAboveTheTopOf32Bits) {
  Entry().CollectorMaxVoltage = 5.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitLow], 4294967290LL);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitHigh], 5);
  Entry().CollectorMaxVoltage = 9000000.0;  // clamped to 8,388,607 either way
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitLow], 4286578688LL);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitHigh], 8388607);
  // Current limits: rounded, clamped, the same encoding.
  tracer::TestSetup.SetupCollectorCurrentRange = 2;
  CalibrationCoefficients.CollectorCurrentToCode[2] = {1000.0, 0.0};
  Entry().CollectorMaxCurrent = -0.005;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitLow], 4294967290LL);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitHigh], 5);
  Entry().CollectorMaxCurrent = 9000.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitLow], 4286578688LL);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitHigh], 8388607);
  EXPECT_EQ(RegisterImage[CollectorRangeSelect], 2);
}

TEST_F(ControlBlockTest, CurrentLimitsWithoutASoundConversion) {
  tracer::TestSetup.SetupCollectorCurrentRange = 1;
  CalibrationCoefficients.CollectorCurrentToCode[1] = {1000.0, 0.0};
  Entry().CollectorMaxCurrent = 0.25;
  BuildControlBlock(0);
  ASSERT_EQ(RegisterImage[CollectorCurrentLimitHigh], 250);
  // A range out of bounds leaves the codes.
  tracer::TestSetup.SetupCollectorCurrentRange = 4;
  Entry().CollectorMaxCurrent = 0.5;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitHigh], 250);
  EXPECT_EQ(RegisterImage[CollectorRangeSelect], 4);
  // A range whose two calibration currents coincide (an all-zero record) has no finite
  // ampere-to-code pair: no code computed from it, nor the code of the earlier block (made
  // for another range), goes out; both limits are 0, which stops a sweep at once.
  double zeros[CalibrationRecordSize] = {};
  CalibrationCoefficients = FitCalibrationCoefficients(zeros);
  ASSERT_FALSE(std::isfinite(CalibrationCoefficients.CollectorCurrentToCode[2].Gain));
  tracer::TestSetup.SetupCollectorCurrentRange = 2;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitLow], 0);
  EXPECT_EQ(RegisterImage[CollectorCurrentLimitHigh], 0);
  // The same for a collector-voltage pair that is not finite.
  CalibrationCoefficients.CollectorVoltageToCode = {std::numeric_limits<double>::infinity(), 0.0};
  Entry().CollectorMaxVoltage = 10.0;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitLow], 0);
  EXPECT_EQ(RegisterImage[CollectorVoltageLimitHigh], 0);
  // A base/gate level that is not finite keeps its code.
  CalibrationCoefficients.BaseGateCurrentActiveDac[0] = {1e6, 0.0};
  tracer::TestSetup.SetupBaseGateRange = 0;
  Entry().BaseGateActiveCurrent = 7e-6;
  BuildControlBlock(0);
  ASSERT_EQ(RegisterImage[BaseGateActiveCode], 7);
  CalibrationCoefficients.BaseGateCurrentActiveDac[0] = {std::nan(""), 0.0};
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[BaseGateActiveCode], 7);
}

TEST_F(ControlBlockTest, BaseGateLevels) {
  CalibrationCoefficients.BaseGateVoltageOffsetDac = {1.0, 0.0};
  CalibrationCoefficients.BaseGateVoltageActiveDac = {2.0, 0.5};
  CalibrationCoefficients.BaseGateCurrentOffsetDac[1] = {1e6, 0.0};
  CalibrationCoefficients.BaseGateCurrentActiveDac[1] = {2e6, 0.0};
  Entry().BaseGateOutputMode = "V";
  Entry().BaseGateOffsetVoltage = -2.5;  // half away from zero
  Entry().BaseGateActiveVoltage = 1.0;   // 2.5
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[BaseGateOffsetCode], -3);  // a plain negative integer
  EXPECT_EQ(RegisterImage[BaseGateActiveCode], 3);
  EXPECT_EQ(RegisterImage[BaseGateCurrentMode], 0);

  Entry().BaseGateOutputMode = "I";
  Entry().BaseGateOffsetCurrent = -20e-6;
  Entry().BaseGateActiveCurrent = 50e-6;
  tracer::TestSetup.SetupBaseGateRange = 1;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[BaseGateOffsetCode], -20);
  EXPECT_EQ(RegisterImage[BaseGateActiveCode], 100);
  EXPECT_EQ(RegisterImage[BaseGateCurrentMode], 1);
  EXPECT_EQ(RegisterImage[BaseGateRangeSelect], 1);
  // A range out of bounds leaves the levels unconverted (amperes round to 0 or so).
  tracer::TestSetup.SetupBaseGateRange = 7;
  Entry().BaseGateActiveCurrent = 2.5;
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[BaseGateOffsetCode], 0);
  EXPECT_EQ(RegisterImage[BaseGateActiveCode], 3);
  // Lower-case "v" is not voltage mode.
  Entry().BaseGateOutputMode = "v";
  BuildControlBlock(0);
  EXPECT_EQ(RegisterImage[BaseGateCurrentMode], 1);
}

TEST_F(ControlBlockTest, CommandsGoOutInOneBlockOnly) {
  tracer::RunControl.SweepCommand = "Run";
  tracer::RunControl.HighVoltageCommand = "STOP";
  BuildControlBlock(0);
  EXPECT_TRUE(Bit(RunSweepBit));
  EXPECT_FALSE(Bit(StopSweepBit));
  EXPECT_FALSE(Bit(HighVoltageStartBit));
  EXPECT_TRUE(Bit(HighVoltageStopBit));
  EXPECT_EQ(tracer::RunControl.SweepCommand, "");
  EXPECT_EQ(tracer::RunControl.HighVoltageCommand, "");
  BuildControlBlock(0);  // no new command
  EXPECT_FALSE(Bit(RunSweepBit));
  EXPECT_FALSE(Bit(HighVoltageStopBit));

  // An unknown command sets neither bit and is kept.
  tracer::RunControl.SweepCommand = "Go";
  BuildControlBlock(0);
  EXPECT_FALSE(Bit(RunSweepBit));
  EXPECT_FALSE(Bit(StopSweepBit));
  EXPECT_EQ(tracer::RunControl.SweepCommand, "Go");

  // After sending, bits 0-3 and 15 are cleared in the image; others stay.
  tracer::RunControl.SweepCommand = "stop";
  tracer::RunControl.HighVoltageCommand = "Start";
  tracer::RunControl.CommsEnable = "On";
  SendControlBlock(0);
  EXPECT_EQ(RegisterImage[CommandBits] & 0x800F, 0);
  EXPECT_TRUE(Bit(CommsEnableBit));
}

TEST_F(ControlBlockTest, CommsEnablePersistsUntilOff) {
  tracer::RunControl.CommsEnable = "On";
  BuildControlBlock(0);
  EXPECT_TRUE(Bit(CommsEnableBit));
  tracer::RunControl.CommsEnable = "";
  BuildControlBlock(0);
  EXPECT_TRUE(Bit(CommsEnableBit));
  tracer::RunControl.CommsEnable = "OFF";
  BuildControlBlock(0);
  EXPECT_FALSE(Bit(CommsEnableBit));
}

TEST_F(ControlBlockTest, ConnectStartMarksTheFirstBlockOnly) {
  tracer::RunControl.ControlFlag13 = 1;
  BuildControlBlock(0);
  EXPECT_TRUE(Bit(ConnectStartBit));
  EXPECT_EQ(tracer::RunControl.ControlFlag13, 0);
  BuildControlBlock(0);
  EXPECT_FALSE(Bit(ConnectStartBit));
}

TEST_F(ControlBlockTest, ClampModes) {
  struct Case {
    const char* mode;
    int forceOn, forceOff, onIdle;  // -1: kept
  };
  const Case cases[] = {{"ClampOff", 0, 0, 0},   {"ClampOnIdle", 0, 0, 1}, {"FORCEON", 1, 0, -1},
                        {"forceoff", 0, 1, -1},  {"Clamp", 0, 0, 0}};
  for (const int previousIdle : {0, 1}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.mode << " after idle bit " << previousIdle);
      RegisterImage[CommandBits] = previousIdle << ClampOnIdleBit;
      Entry().BaseGateClampMode = c.mode;
      BuildControlBlock(0);
      EXPECT_EQ(Bit(ClampForceOnBit), c.forceOn == 1);
      EXPECT_EQ(Bit(ClampForceOffBit), c.forceOff == 1);
      EXPECT_EQ(Bit(ClampOnIdleBit), c.onIdle < 0 ? previousIdle == 1 : c.onIdle == 1);
    }
  }
}

TEST_F(ControlBlockTest, UnnamedBitsKeepTheirValuesAndFixedOnesAreCleared) {
  RegisterImage[CommandBits] = (1 << ClearStopCodeBit) | (1 << 12) | (1 << 5) | (1 << 6) |
                               (1 << 14) | (1 << 15) | (1 << 17);
  BuildControlBlock(0);
  EXPECT_TRUE(Bit(ClearStopCodeBit));
  EXPECT_TRUE(Bit(12));
  EXPECT_TRUE(Bit(17));
  EXPECT_FALSE(Bit(5));
  EXPECT_FALSE(Bit(6));
  EXPECT_FALSE(Bit(14));
  EXPECT_FALSE(Bit(15));
}

TEST_F(ControlBlockTest, EntryChoosesTheStepAndOtherRegistersAreFixed) {
  Entry(3).CollectorMaxVoltage = -7.0;
  Entry(3).BaseGateOutputMode = "V";
  RegisterImage[Register30] = 99;
  RegisterImage[ReservedRegister31] = 5;
  BuildControlBlock(3);
  EXPECT_EQ(RegisterImage[CollectorNegative], 1);
  EXPECT_EQ(RegisterImage[BaseGateCurrentMode], 0);
  EXPECT_EQ(RegisterImage[Register30], 0);
  EXPECT_EQ(RegisterImage[ReservedRegister31], 5);  // never written
  EXPECT_EQ(RegisterImage[PollRegister], 0);
  BuildControlBlock(40);  // out of the table: the last entry
  EXPECT_EQ(RegisterImage[CollectorNegative], 0);
}

}  // namespace
}  // namespace zolt::link
