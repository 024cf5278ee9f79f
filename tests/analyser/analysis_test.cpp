// Block analysis and signal synthesis.
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/startup.h"
#include "analyser/synthesis.h"
#include "analyser_fixture.h"
#include "frame/numbers.h"
#include "link/link_state.h"
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"
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
  for (int b = 0; b < 12; ++b) AnalysePmxBlock(b);
  EXPECT_LT(PmxFrequencyState.PmxReferenceCrossing, reference);
  EXPECT_NEAR(PmxReadings.PmxFrequency, 50.0, 0.01);
  // The signal stops, in steps of 50 uV: its output rings down at 75 Hz, which is no
  // reading (only the measurement across the stop is shown), and the last frequency
  // stands no more once its next measurement is 3 s overdue.
  FillVoltage(0, link::PmxRingSamples, [](int) { return 0.0; });
  for (int b = 12; b < 42; ++b) {
    link::PmxBlockConversionKinds[b] = link::PmxOneConversion, link::PmxBlockConversions[b].VoltageGain = 5e-5;
    AnalysePmxBlock(b);
    EXPECT_LT(PmxReadings.PmxFrequency, 52.0) << b;
  }
  EXPECT_EQ(PmxReadings.PmxFrequencyStatus, PmxReadingStatus::None);
}

// Ten seconds of a 325 V sine and a current sine over a constant on the 300 V and 10 A
// ranges, framed by the program's own encoder with the row's faults, read and stored as the
// comms thread does and handed over block by block from the stream's start: every tile
// shows no reading or one within 0.01 % (frequency) or 0.1 % (peaks), the frequency in at
// least the row's share of the blocks from the third second on, and in the end the row's
// readings stand ('v' a value, '-' none, 'O' over range, 'C' no calibration). At 65 Hz
// under bursts of 20 eight times a second the gaps may move the frequency by more than
// 0.01 %, so none is shown.
TEST_F(AnalysisTest, UnderBadFramesEveryTileShowsARightReadingOrNone) {
  const struct {
    double Hz;
    int Bad, Every, DropEvery;  // the last Bad frames of every Every are bad; every DropEvery-th loses a byte
    double Amperes, Dc;
    bool Calibrated;  // the 10 A range
    const char* End;  // Freq, Upk, -Upk, Ipk, -Ipk
    int Shown;        // per cent
  } cases[] = {
      {60, 0, 1, 0, 5, 0, true, "vvvvv", 100},    {60, 2, 3200, 0, 5, 0, true, "vvvvv", 100},
      {60, 2, 320, 0, 5, 0, true, "vvvvv", 100},  {60, 3, 100, 0, 5, 0, true, "vvvvv", 100},
      {60, 40, 640, 0, 5, 0, true, "-vvvv", 0},   {60, 0, 1, 5000, 5, 0, true, "vvvvv", 100},
      {60, 1, 1, 0, 5, 0, true, "-----", 0},      {60, 0, 1, 0, 25, 0, true, "vvvOO", 100},
      {60, 0, 1, 0, 5, 0, false, "vvvCC", 100},   {60, 0, 1, 0, 12, 4, true, "vvvOv", 100},
      {50, 10, 2000, 0, 5, 0, true, "vvvvv", 90}, {50, 20, 3200, 0, 5, 0, true, "vvvvv", 90},
      {50, 40, 3200, 0, 5, 0, true, "vvvvv", 90}, {45, 40, 1600, 0, 5, 0, true, "vvvvv", 90},
      {65, 40, 1600, 0, 5, 0, true, "vvvvv", 90}, {50, 0, 1, 3200, 5, 0, true, "vvvvv", 90},
      {50, 0, 1, 100, 5, 0, true, "vvvvv", 90},   {60, 0, 1, 100, 5, 0, true, "vvvvv", 90},
      {65, 0, 1, 320, 5, 0, true, "vvvvv", 90},   {59.9, 10, 640, 320, 5, 0, true, "vvvvv", 90},
      {65, 20, 400, 0, 5, 0, true, "-vvvv", 0}};
  static link::PmxBlockAssembly block;
  for (const auto& c : cases) {
    link::LinkState.Connected = 1;
    link::PmxRanges.PmxAppliedVoltageRange = 300, link::PmxRanges.PmxAppliedCurrentRange = 10;
    link::PmxRangeConstants.Usable[0] = true, link::PmxRangeConstants.Usable[6] = c.Calibrated;
    PmxStreamStarting();
    std::vector<uint8_t> stream;
    for (int k = 0; k < 32000; ++k) {
      int32_t v[5], a[5];
      for (int i = 0; i < 5; ++i) {
        const double s = std::sin(2 * Pi * c.Hz * (5 * k + i) / 16000.0);
        v[i] = static_cast<int32_t>(325 * s * 20000), a[i] = static_cast<int32_t>((c.Dc + c.Amperes * s) * 600000);
      }
      link::PmxFrameBytesArray frame = link::EncodePmxFrame(v, a, false, false);
      if (k % c.Every >= c.Every - c.Bad) frame[2] ^= 1;
      const bool drop = c.DropEvery > 0 && (k + 1) % c.DropEvery == 0;  // byte 7
      stream.insert(stream.end(), frame.begin(), frame.begin() + 7);
      stream.insert(stream.end(), frame.begin() + (drop ? 8 : 7), frame.end());
    }
    block = {};
    link::PmxAlignment alignment;
    link::PmxSideChannel side;
    const link::PmxConversion conversion{5e-5, 0, 1 / 6e5, 0};
    const std::string tiles = std::to_string(c.Hz) + " Hz, " + std::to_string(c.Bad) + " in " +
                              std::to_string(c.Every) + ", drop " + std::to_string(c.DropEvery) + ", " + c.End;
    const double truth[5] = {c.Hz, 325, -325, c.Dc + c.Amperes, c.Dc - c.Amperes};
    const double within[5] = {1e-4, 1e-3, 1e-3, 1e-3, 1e-3};
    std::string end;
    int blocks = 0, shown = 0;
    for (size_t at = 0, want; at + (want = link::PmxNextReadBytes(alignment)) <= stream.size(); at += want) {
      link::TakePmxBlockRead(block, alignment, std::span(stream).subspan(at, want), conversion, side);
      if (!link::PmxBlockComplete(block)) continue;
      link::FillMissingPmxSamples(block);
      const int32_t b = (link::PmxSampleRing.PmxPublishedBlock + 1) % link::PmxRingBlocks;
      link::StorePmxBlock(block, b, conversion, link::PmxOneConversion);
      link::PmxSampleRing.PmxPublishedBlock = b;
      link::StartNextPmxBlock(block);
      HandOverNextBlock();
      end.clear();
      for (int t = 0; t < 5; ++t) {
        const std::string& text = ReadoutTiles[t == 0 ? 8 : 12 + t].Value;
        end += text == "----" ? '-' : text == "OVER" ? 'O' : text == "NO CAL" ? 'C' : 'v';
        if (end[t] == 'v') {
          EXPECT_NEAR(frame::ParseReal(text), truth[t], std::fabs(truth[t]) * within[t]) << tiles << " tile " << t;
        } else if (end[t] != '-') {
          EXPECT_EQ(end[t], c.End[t]) << tiles << " tile " << t;
        }
      }
      if (++blocks > 20) shown += end[0] == 'v';
    }
    EXPECT_EQ(end, c.End) << tiles;
    EXPECT_GE(shown * 100, c.Shown * (blocks - 20)) << tiles;
  }
}

// A filtered voltage landing exactly on 0.0 counts no crossing (both tests are strict).
TEST_F(AnalysisTest, AnExactZeroOfTheFilteredVoltageIsNoCrossing) {
  constexpr double A1 = -1.996193404543, A2 = 0.997059512274;
  // Filter outputs exactly 0.0 then positive, and negative then positive.
  for (const auto& [y1, y2, crossing] : {std::tuple{-A2, A1, false}, {-1.0, -1.0, true}}) {
    PmxVoltageFilter = {0, 0, y1, y2};
    PmxFrequencyState = {};
    FillVoltage(0, Block, [](int i) { return i == 0 ? 0.0 : 1000.0; });
    AnalysePmxBlock(0);
    EXPECT_EQ(PmxFrequencyState.LastCrossing >= 0, crossing);
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
