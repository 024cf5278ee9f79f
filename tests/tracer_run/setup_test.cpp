// The test set-up: ladder ends, series impedance (fixed and automatic), offset ranges,
// the base/gate range, direct entry, device presets, pulse cyclers and the connect
// defaults; and the test configurations, loaded and applied.
#include <gtest/gtest.h>

#include "frame/settings.h"
#include "link/link_state.h"
#include "support/temp_folder.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestSetup = {};
    TestConfiguration = 100;
    link::LinkState.Connected = 0;
  }
  TestSetupRecord& t = TestSetup;
};

TEST_F(SetupTest, LadderIndexesStayWithinTheirLadders) {
  t.MaxVoltageIndex = -1;
  t.MaxCurrentIndex = -1;
  t.VoltageStepIndex = -1;
  t.CurrentStepIndex = -1;
  t.NumberOfSteps = 0;
  RecalculateTestSetup();
  EXPECT_EQ(t.MaxVoltageIndex, 0);
  EXPECT_EQ(t.SetupCollectorMaxVoltage, 3.0);
  EXPECT_EQ(t.MaxCurrentIndex, 0);
  EXPECT_EQ(t.SetupCollectorMaxCurrent, 0.001);
  EXPECT_EQ(t.SetupStepVoltage, 0.0);
  EXPECT_EQ(t.SetupStepCurrent, 0.0);
  EXPECT_EQ(t.StepCurrentText, "0 nA");
  EXPECT_EQ(t.NumberOfSteps, 1);

  t.MaxVoltageIndex = 12;
  t.MaxCurrentIndex = 27;
  t.VoltageStepIndex = 11;
  t.CurrentStepIndex = 22;
  t.NumberOfSteps = 25;
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupCollectorMaxVoltage, 100.0);
  EXPECT_EQ(t.SetupCollectorMaxCurrent, 3.0);
  EXPECT_EQ(t.SetupStepVoltage, 2.0);
  EXPECT_EQ(t.SetupStepCurrent, 5e-3);
  EXPECT_EQ(t.NumberOfSteps, 24);
}

TEST_F(SetupTest, ImpedanceCyclesThroughAutomaticBackToTheLargest) {
  t.ImpedanceIndex = 3;
  RecalculateTestSetup();
  EXPECT_EQ(t.ImpedanceText, "24 R");
  EXPECT_EQ(t.SetupCollectorCurrentRange, 3);
  ++t.ImpedanceIndex;
  RecalculateTestSetup();
  EXPECT_EQ(t.ImpedanceIndex, 99);
  EXPECT_EQ(t.ImpedanceText.rfind("Auto Z=", 0), 0u);
  ++t.ImpedanceIndex;
  RecalculateTestSetup();
  EXPECT_EQ(t.ImpedanceIndex, 0);
  EXPECT_EQ(t.ImpedanceText, "27 kR");
  EXPECT_EQ(t.SetupCollectorResistorOhms, 27000.0);
  t.ImpedanceIndex = -5;
  RecalculateTestSetup();
  EXPECT_EQ(t.ImpedanceIndex, 0);
}

TEST_F(SetupTest, AutomaticImpedanceFollowsTheVoltageToCurrentRatio) {
  struct Case {
    int voltageIndex, currentIndex;
    const char* polarity;
    int range;
    double ohms;
    const char* text;
  };
  const Case cases[] = {
      {4, 4, "Positive", 1, 2550.0, "Auto Z=2.55 kR"},   // 30 V / 10 mA: r = 6000
      {0, 26, "Positive", 3, 24.0, "Auto Z=24 R"},       // 3 V / 3 A: r = 2
      {11, 0, "Positive", 0, 27000.0, "Auto Z=27 kR"},   // 100 V / 1 mA
      {4, 13, "Positive", 2, 270.0, "Auto Z=270 R"},     // 30 V / 200 mA: r = 300
      {4, 4, "Negative", 1, 2550.0, "Auto Z=2.55 kR"},   // both negative: same ratio
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    t = {};
    t.MaxVoltageIndex = c.voltageIndex;
    t.MaxCurrentIndex = c.currentIndex;
    t.CollectorPolarity = c.polarity;
    RecalculateTestSetup();
    EXPECT_EQ(t.SetupCollectorCurrentRange, c.range);
    EXPECT_EQ(t.SetupCollectorResistorOhms, c.ohms);
    EXPECT_EQ(t.ImpedanceText, c.text);
  }
  EXPECT_EQ(t.SetupCollectorMaxVoltage, -30.0);
  EXPECT_EQ(t.SetupCollectorMaxCurrent, -0.01);
  EXPECT_EQ(t.MaxVoltageText, "-30 V");
}

TEST_F(SetupTest, DirectEntryReplacesTheLadderWithinItsLimits) {
  t.MaxVoltageEntered = 1;
  t.EnteredMaxVoltage = 150.0;
  t.MaxCurrentEntered = 1;
  t.EnteredMaxCurrent = -4.0;
  t.StepEntered = 1;
  t.EnteredStepCurrent = 7e-6;
  t.OffsetEntered = 1;
  t.EnteredOffsetCurrent = 2.5e-6;
  t.EnteredOffsetCurrentUnit = "nA";
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupCollectorMaxVoltage, 100.0);
  EXPECT_EQ(t.SetupCollectorMaxCurrent, -3.0);
  EXPECT_EQ(t.SetupStepCurrent, 7e-6);
  EXPECT_EQ(t.SetupOffsetCurrent, 2.5e-6);
  EXPECT_EQ(t.OffsetCurrentText, "2500 nA");
}

TEST_F(SetupTest, OffsetRangesAndTheirIndexLimits) {
  t.OffsetRange = 5;
  t.OffsetIndex = 30;
  RecalculateTestSetup();
  EXPECT_EQ(t.OffsetIndex, 30);
  EXPECT_DOUBLE_EQ(t.SetupOffsetCurrent, 0.030);
  EXPECT_EQ(t.OffsetRangeText, "0-30 mA");
  EXPECT_EQ(t.OffsetCurrentText, "30 mA");

  t.SetupBaseGateOutputMode = "V";
  RecalculateTestSetup();
  EXPECT_DOUBLE_EQ(t.SetupOffsetVoltage, 12.0);
  EXPECT_EQ(t.OffsetRangeText, "0-12 V");
  EXPECT_DOUBLE_EQ(t.SetupOffsetCurrent, 0.030);  // the other offset keeps its value

  // "+" on the range past 5 lands on range 0, and the index on that range's limit.
  ++t.OffsetRange;
  RecalculateTestSetup();
  EXPECT_EQ(t.OffsetRange, 0);
  EXPECT_EQ(t.OffsetIndex, 20);
  EXPECT_DOUBLE_EQ(t.SetupOffsetVoltage, 0.020);
  EXPECT_EQ(t.OffsetRangeText, "0-20 mV");

  t.OffsetIndex = -1;
  t.OffsetRange = -1;
  RecalculateTestSetup();
  EXPECT_EQ(t.OffsetIndex, 0);
  EXPECT_EQ(t.OffsetRange, 0);
}

TEST_F(SetupTest, BaseGateRangeHoldsEveryStepLevel) {
  t.OffsetIndex = 0;
  t.CurrentStepIndex = 10;  // 10 uA
  t.NumberOfSteps = 6;      // last level 60 uA
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupBaseGateRange, 1);
  EXPECT_EQ(t.SetupBaseGateResistorOhms, 27000.0);
  EXPECT_EQ(t.StepMaxText, "Max: 60 uA");

  t.NumberOfSteps = 2;  // 20 uA fits the smallest range
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupBaseGateRange, 0);
  EXPECT_EQ(t.SetupBaseGateResistorOhms, 270000.0);

  // A negative offset counts by its size.
  t.OffsetRange = 5;
  t.OffsetIndex = 4;
  t.OffsetPolarity = "Negative";
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupBaseGateRange, 3);
  EXPECT_EQ(t.SetupBaseGateResistorOhms, 270.0);

  t = {};
  t.SetupBaseGateOutputMode = "V";
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupBaseGateRange, 3);
  EXPECT_EQ(t.SetupBaseGateResistorOhms, 270.0);
  EXPECT_EQ(t.StepMaxText, "Max: 600 mV");

  t.SetupBaseGateRange = 1;
  t.SetupBaseGateOutputMode = "X";  // an unknown mode keeps the range
  RecalculateTestSetup();
  EXPECT_EQ(t.SetupBaseGateRange, 1);
}

TEST_F(SetupTest, PresetsSetRowsPolaritiesModeAndConfiguration) {
  SetDeviceType("PNP");
  EXPECT_EQ(t.DeviceRowMask, 2);
  EXPECT_EQ(t.CollectorPolarity, "Negative");
  EXPECT_EQ(t.StepPolarity, "Negative");
  EXPECT_EQ(t.OffsetPolarity, "Negative");
  EXPECT_EQ(t.SetupBaseGateOutputMode, "I");
  EXPECT_EQ(TestConfiguration, 100);

  SetDeviceType("N-DEPL");
  EXPECT_EQ(t.FetRowShown, 1);
  EXPECT_EQ(t.DeviceRowMask, 4);
  EXPECT_EQ(t.FetRowMask, 1);
  EXPECT_EQ(t.CollectorPolarity, "Positive");
  EXPECT_EQ(t.SetupBaseGateOutputMode, "V");
  EXPECT_EQ(TestConfiguration, 300);

  SetDeviceType("MORE");  // shows the last row, keeps the configuration and polarities
  EXPECT_EQ(t.MoreRowShown, 1);
  EXPECT_EQ(t.FetRowShown, 0);
  EXPECT_EQ(t.DeviceRowMask, 32);
  EXPECT_EQ(TestConfiguration, 300);

  SetDeviceType("OPTO");
  EXPECT_EQ(t.MoreRowMask, 2);
  EXPECT_EQ(TestConfiguration, 610);

  SetDeviceType("-");
  SetDeviceType("npn");  // letter case counts: nothing matches
  EXPECT_EQ(t.MoreRowMask, 2);
  EXPECT_EQ(TestConfiguration, 610);

  SetDeviceType("ReSeT");
  EXPECT_EQ(t.DeviceRowMask, 0);
  EXPECT_EQ(t.MoreRowShown, 0);
  EXPECT_EQ(t.MoreRowMask, 0);
  EXPECT_EQ(TestConfiguration, 610);
  SetDeviceType("DIODE");
  SetDeviceType("");
  EXPECT_EQ(t.DeviceRowMask, 0);
  EXPECT_EQ(TestConfiguration, 500);
}

TEST_F(SetupTest, PulseCyclersKeepBothPulsesOfOneLength) {
  t.SetupCollectorPulseLength = 0.0;
  t.SetupBaseGatePulseLength = 300e-6;
  CycleCollectorPulseLength();  // continuous -> 80 us, the base/gate follows
  EXPECT_EQ(t.SetupCollectorPulseLength, 80e-6);
  EXPECT_EQ(t.SetupBaseGatePulseLength, 80e-6);
  CycleCollectorPulseLength();  // 80 -> 300 us, the base/gate follows
  EXPECT_EQ(t.SetupCollectorPulseLength, 300e-6);
  EXPECT_EQ(t.SetupBaseGatePulseLength, 300e-6);
  CycleCollectorPulseLength();  // 300 us -> continuous, the base/gate stays
  EXPECT_EQ(t.SetupCollectorPulseLength, 0.0);
  EXPECT_EQ(t.SetupBaseGatePulseLength, 300e-6);

  t.SetupCollectorPulseLength = 300e-6;
  t.SetupBaseGatePulseLength = 80e-6;
  CycleCollectorPulseLength();
  EXPECT_EQ(t.SetupCollectorPulseLength, 0.0);
  EXPECT_EQ(t.SetupBaseGatePulseLength, 80e-6);

  t.SetupBaseGatePulseLength = 0.0;
  CycleBaseGatePulseLength();
  EXPECT_EQ(t.SetupBaseGatePulseLength, 80e-6);
  EXPECT_EQ(t.SetupCollectorPulseLength, 0.0);  // a continuous collector stays continuous
}

TEST_F(SetupTest, ConnectDefaultsFillEntryZeroAndClampTheSampleRate) {
  RunControl = {};
  StepSetups[0] = {};
  frame::AppSettings.SampleRate = 5.0;
  ResetSetupToDefaults();
  EXPECT_EQ(frame::AppSettings.SampleRate, 10.0);
  EXPECT_EQ(RunInfo.RunSampleRate, 10.0);
  frame::AppSettings.SampleRate = 150.0;
  ResetSetupToDefaults();
  EXPECT_EQ(RunInfo.RunSampleRate, 100.0);

  const StepSetup& e = StepSetups[0];
  EXPECT_EQ(e.CollectorMaxVoltage, 30.0);
  EXPECT_EQ(e.CollectorMaxCurrent, 0.01);
  EXPECT_EQ(e.CollectorResistorOhms, 27000.0);
  EXPECT_EQ(e.BaseGateResistorOhms, 270000.0);
  EXPECT_EQ(e.CollectorPulseLength, 0.0003);
  EXPECT_EQ(e.BaseGatePulseLength, 0.0003);
  EXPECT_EQ(e.BaseGateClampMode, "ClampOnIdle");
  EXPECT_EQ(e.SecondDuration, 10.0);
  EXPECT_EQ(RunControl.CommsEnable, "On");
  EXPECT_EQ(RunControl.ControlFlag13, 0);  // used up by the block just built
  frame::AppSettings = {};
}

// ---- test configurations ----

class TestConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { TestConfiguration = 100; }
  testing::TempFolder folder;
};

std::string ConfigLine(const std::string& number, const std::string& xQuantity,
                       const std::string& curveQuantity, const std::string& xTitle = "") {
  // number, unused, text1, text2, x title, y title, x quantity, x symbol, x subscript,
  // x description, y quantity, y symbol, y subscript, y description, curve quantity,
  // curve symbol, curve subscript, curve description
  return number + ",-,Text " + number + ",Second," + xTitle + ",,"+ xQuantity +
         ",V,CE,Collector voltage,ic,I,C,Collector current," + curveQuantity +
         ",I,B,Base current\r\n";
}

TEST_F(TestConfigTest, LoadSkipsHeadersAndKeepsTheLaterDuplicate) {
  std::string wide = "700";
  for (int i = 1; i < 40; ++i) wide += ",c" + std::to_string(i);
  testing::WriteFile(TestConfigurationFile,
                     "Number,Unused,Text1\r\n" + ConfigLine("300", "vc", "tib", "First") +
                         "\r\n" + ConfigLine("300", "vc", "tib", "Second") +
                         ConfigLine("1001", "vc", "tib") + ConfigLine("-4", "vc", "tib") +
                         wide + "\r\n");
  LoadTestConfigurations();
  EXPECT_EQ(TestConfigTable[300][4], "Second");
  EXPECT_EQ(TestConfigTable[700][30], "c30");
  EXPECT_EQ(TestConfigTable[0][0], "");  // the header and the empty line are not stored
  EXPECT_EQ(TestConfigTable[1000][0], "");

  ApplyTestConfiguration(300);
  EXPECT_EQ(GraphSettings.ConfigText1, "Text 300");
  EXPECT_EQ(GraphSettings.XTitle, "Second");
  EXPECT_EQ(GraphSettings.YTitle, "Y axis: IC");  // built from symbol and subscript
  EXPECT_EQ(GraphSettings.XUnit, "V");
  EXPECT_EQ(GraphSettings.YUnit, "A");
  EXPECT_EQ(GraphSettings.CurveDescription, "Base current");
}

TEST_F(TestConfigTest, ApplyClampsTheNumberAndDerivesUnits) {
  testing::WriteFile(TestConfigurationFile, ConfigLine("100", "VC", "tib") +
                                                ConfigLine("1000", "hfe", "hfe"));
  LoadTestConfigurations();

  TestConfiguration = 99;
  ApplyTestConfiguration(99);
  EXPECT_EQ(TestConfiguration, 100);
  EXPECT_EQ(GraphSettings.XUnit, "V");  // upper-case quantity
  EXPECT_EQ(GraphSettings.CurveUnit, "A");
  EXPECT_EQ(GraphSettings.XTitle, "X axis: VCE");

  TestConfiguration = 1001;
  ApplyTestConfiguration(1001);
  EXPECT_EQ(TestConfiguration, 1000);
  EXPECT_EQ(GraphSettings.XUnit, "");
  EXPECT_EQ(GraphSettings.CurveUnit, "");  // hfe after tib: emptied

  TestConfiguration = 555;
  ApplyTestConfiguration(555);  // no line: empty texts and the bare built titles
  EXPECT_EQ(TestConfiguration, 555);
  EXPECT_EQ(GraphSettings.XTitle, "X axis: ");
  EXPECT_EQ(GraphSettings.YTitle, "Y axis: ");
  EXPECT_EQ(GraphSettings.ConfigText1, "");
}

TEST_F(TestConfigTest, MissingFileGivesEmptyConfigurations) {
  TestConfigTable[300][2] = "left over";
  LoadTestConfigurations();
  EXPECT_EQ(TestConfigTable[300][2], "");
}

}  // namespace
}  // namespace zolt::tracer
