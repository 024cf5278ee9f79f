// Block analysis and signal synthesis.
#include <cmath>
#include <tuple>

#include "analyser/analysis.h"
#include "analyser/synthesis.h"
#include "analyser_fixture.h"
#include "link/pmx_ring.h"
#include "platform/gui_headless.h"

namespace zolt::analyser::testing {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int Block = link::PmxBlockSamples;
using AnalysisTest = AnalyserTest;

TEST_F(AnalysisTest, PeaksAndMeansDescribeTheLastBlockOnly) {
  struct Case {
    double Volts, Amperes;  // a constant, with a +-3 V / +-0.25 A cosine over it
    double VPos, VNeg, IPos, INeg;
  } cases[] = {{5, 0.5, 8, 0, 0.75, 0}, {-5, -0.5, 0, -8, 0, -0.75}, {0, 0, 3, -3, 0.25, -0.25}};
  int block = 0;
  for (const Case& c : cases) {
    for (int i = block * Block; i < (block + 1) * Block; ++i) {
      link::PmxVoltageSamples[i] = c.Volts + 3 * std::cos(2 * Pi * i / 320.0);
      link::PmxCurrentSamples[i] = c.Amperes + 0.25 * std::cos(2 * Pi * i / 320.0);
    }
    AnalysePmxBlock(block++);
    const PmxReadingsRecord& r = PmxReadings;
    const double seen[] = {r.PmxVoltagePeakPositive, r.PmxVoltagePeakNegative, r.PmxCurrentPeakPositive,
                           r.PmxCurrentPeakNegative, r.PmxLiveVoltage,         r.PmxLiveCurrent};
    const double expected[] = {c.VPos, c.VNeg, c.IPos, c.INeg, c.Volts, c.Amperes};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(seen[k], expected[k], 1e-9) << c.Volts << " field " << k;
  }
  AnalysePmxBlock(100);  // no such block: nothing is read, nothing changes
  EXPECT_NEAR(PmxReadings.PmxVoltagePeakPositive, 3, 1e-9);
}

// A continuous 50 Hz sine analysed from block 80 on, across the end of the ring; the
// analysis started afresh (a poisoned filter dropped) measures from its first crossing.
TEST_F(AnalysisTest, FiftyHertzReadsFiftyFromTheFirstMeasurementOnAcrossTheRingsEnd) {
  const auto sine = [](int i) { return 325 * std::sin(2 * Pi * 50 * i / 16000.0 + 0.3); };
  FillVoltage(0, link::PmxRingSamples, [&](int i) { return sine(i < 80 * Block ? i + link::PmxRingSamples : i); });
  PmxVoltageFilter = {NAN, NAN, NAN, NAN};
  PmxReadings.PmxShownVoltage = 7;
  RestartPmxAnalysis();
  EXPECT_EQ(PmxReadings.PmxShownVoltage, 7);
  for (int b = 80; b < 100; ++b) AnalysePmxBlock(b);
  EXPECT_NEAR(PmxReadings.PmxFrequency, 50.0, 0.01);
  const double reference = PmxFrequencyState.PmxReferenceCrossing;
  // The next crossing that ends a measurement lies beyond the ring's end.
  for (int b = 0; b < 2; ++b) AnalysePmxBlock(b);
  EXPECT_LT(PmxFrequencyState.PmxReferenceCrossing, reference);
  EXPECT_NEAR(PmxReadings.PmxFrequency, 50.0, 0.01);
  for (int b = 2; b < 12; ++b) AnalysePmxBlock(b);
  EXPECT_NEAR(PmxReadings.PmxFrequency, 50.0, 0.01);
}

// A filtered voltage landing exactly on 0.0 counts no crossing (both tests are strict).
TEST_F(AnalysisTest, AnExactZeroOfTheFilteredVoltageIsNoCrossing) {
  constexpr double A1 = -1.996193404543, A2 = 0.997059512274;
  // Filter outputs exactly 0.0 then positive, and negative then positive.
  for (const auto& [y1, y2, crossings] : {std::tuple{-A2, A1, 0}, {-1.0, -1.0, 1}}) {
    PmxVoltageFilter = {0, 0, y1, y2};
    PmxFrequencyState = {};
    FillVoltage(0, Block, [](int i) { return i == 0 ? 0.0 : 1000.0; });
    AnalysePmxBlock(0);
    EXPECT_EQ(PmxFrequencyState.PmxCrossingCount, crossings);
  }
}

TEST_F(AnalysisTest, SynthesisBuildsTheTableFromSynthCsvAndAdvancesThePhase) {
  const auto& shown = platform::headless::MessagesShown();
  LoadSynthCsv();  // no file: a message, and silent blocks
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Text, "Cannot open 'synth.csv' file to extract data");
  zolt::testing::WriteFile("synth.csv",
                           "0,1,50,1,9,0,0,0\nindex,type,frequency,harmonic,amplitude,phase,offset,noise\n"
                           "1,1,50,1,100,0,0,0\n2,2,50,3,4,90,1,0\n1001,1,50,1,9,0,0,0\n-1,1,50,1,9,0,0,0\n"
                           "4,2,50,1,100,0,0,0\n7,1,50\n5,1,50,1,1e400,0,0,0\n6,2,1e306,2000000000,1,0,0,0\n");
  LoadSynthCsv();
  const SynthComponentsRecord& s = SynthComponents;
  EXPECT_EQ(s.Type[0], 0);  // the header line lands in slot 0, never synthesised
  EXPECT_EQ(s.Harmonic[2] + s.Phase[2] + s.Offset[2], 3 + 90 + 1);
  // Missing fields read 0; the last one takes the rest of the line.
  EXPECT_EQ(s.Type[7] + s.Frequency[7] + s.Noise[7], 1 + 0 + 50);
  // Indexes with no slot are left out and reported once; values beyond any number
  // (1e400, a phase step beyond range) are left out, and index 0 and the gap at 3 are
  // logged. The header line is no component at index 0.
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].Text.find("2 line(s)"), std::string::npos);
  EXPECT_EQ(s.Type[5] + s.Type[6], 0);
  const std::string log = zolt::testing::ReadFile("log.txt");
  for (const char* line : {"Log,synth.csv,2 line(s) left out, the first at line 9: a value is not a finite number.",
                           "Log,synth.csv,1 line(s) with index 0, the first at line 1:",
                           "Log,synth.csv,no component at index 3: the list ends there, and 2 component(s) after it, "
                           "the first at index 4, are not synthesised."})
    EXPECT_NE(log.find(line), std::string::npos) << line;

  SynthesisePmxBlock(3);
  const double* v = link::PmxVoltageSamples + 3 * Block;
  const double* c = link::PmxCurrentSamples + 3 * Block;
  // 1.125 degrees a sample, advanced before the first sine; slot 4 lies after the end.
  EXPECT_NEAR(v[0], 100 * std::sin(1.125 * Pi / 180), 1e-9);
  EXPECT_NEAR(v[319], 0.0, 1e-9);
  EXPECT_NEAR(v[400], v[80], 1e-9);
  EXPECT_NEAR(c[0], 1 + 4 * std::sin((90 + 3 * 1.125) * Pi / 180), 1e-9);
  EXPECT_NEAR(std::cos(SynthComponents.Phase[1] * Pi / 180), 1.0, 1e-9);  // five whole turns
}

}  // namespace
}  // namespace zolt::analyser::testing
