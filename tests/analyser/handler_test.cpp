// The per-frame handler: range steppers and their application, the view switches, the
// connect zone, the demonstration clock and the block hand-off.
#include <cmath>
#include <thread>

#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/ranges.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/synthesis.h"
#include "analyser/zones.h"
#include "analyser_fixture.h"
#include "frame/app.h"
#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/system.h"

namespace zolt::analyser::testing {
namespace {

using HandlerTest = AnalyserTest;
constexpr int Block = link::PmxBlockSamples;

void Click(int32_t zone) {
  screen::ClickedZone = zone;
  ActOnClickedZone();
}

TEST_F(HandlerTest, SteppersMoveAlongTheirLaddersAndStopAtTheEnds) {
  double& v = link::PmxRanges.PmxVoltageRange;
  double& c = link::PmxRanges.PmxCurrentRange;
  const struct {
    void (*Step)();
    double* Range;
    double From, To;
  } cases[] = {
      {PmxVoltageRangeUp, &v, 300, 300},     {PmxVoltageRangeUp, &v, 15, 20},      {PmxVoltageRangeUp, &v, 5, 5},
      {PmxVoltageRangeDown, &v, 150, 80},    {PmxVoltageRangeDown, &v, 10, 10},    {PmxVoltageRangeDown, &v, 400, 400},
      {PmxCurrentRangeUp, &c, 10, 10},       {PmxCurrentRangeUp, &c, 0.25, 0.5},   {PmxCurrentRangeUp, &c, 1, 2},
      {PmxCurrentRangeDown, &c, 0.5, 0.25},  {PmxCurrentRangeDown, &c, 0.505, 0.5}, {PmxCurrentRangeDown, &c, 0.25, 0.25},
  };
  for (const auto& k : cases) {
    *k.Range = k.From;
    k.Step();
    EXPECT_EQ(*k.Range, k.To) << k.From;
  }
}

// Turn by turn: the zone pressed, then the applied ranges, their masks and the sends.
TEST_F(HandlerTest, AChangedRangeIsAppliedToTheConversionAndSentOnce) {
  link::PmxRangeConstants.Gain[1] = 2.5;  // 150 V
  link::PmxRangeConstants.Offset[1] = -0.5;
  const struct {
    int32_t Zone;
    double Volts, Amperes;
    int32_t VoltageMask, CurrentMask, Sends;
  } turns[] = {
      {0, 300, 10, 1, 1, 2},                  // the first turn applies both start ranges
      {ZoneV1Stepper + 1, 300, 10, 1, 1, 0},  // up at the top: nothing to apply
      {ZoneV1Stepper, 150, 10, 2, 1, 1},      {ZoneC1Stepper, 150, 5, 2, 2, 1},
      {ZoneC1Stepper + 1, 150, 10, 2, 1, 1},  {ZoneC1Stepper + 2, 150, 10, 2, 1, 0},  // value box: no action
  };
  for (const auto& t : turns) {
    SendCount = 0;
    if (t.Zone != 0) Click(t.Zone);
    ApplySelectedRanges();
    const link::PmxRangesRecord& r = link::PmxRanges;
    EXPECT_EQ(r.PmxAppliedVoltageRange + r.PmxAppliedCurrentRange, t.Volts + t.Amperes) << t.Zone;
    EXPECT_EQ(r.PmxVoltageRangeMask * 100 + r.PmxCurrentRangeMask, t.VoltageMask * 100 + t.CurrentMask) << t.Zone;
    EXPECT_EQ(SendCount, t.Sends) << t.Zone;
  }
  EXPECT_EQ(link::PmxSampleRing.PmxVoltageGain.load() + link::PmxSampleRing.PmxVoltageOffset.load(), 2.0);
  EXPECT_EQ(screen::ClickedZone, ZoneC1Stepper + 2);  // a zone without a row stays

  link::PmxRanges.PmxVoltageRange = 15;  // no range: recorded and sent, mask kept
  ApplySelectedRanges();
  EXPECT_EQ(link::PmxRanges.PmxAppliedVoltageRange + link::PmxRanges.PmxVoltageRangeMask + SendCount, 15 + 2 + 1);
}

TEST_F(HandlerTest, ViewSwitchesNeverTurnEverythingOffAndTheConnectZoneActsFromZeroAndEleven) {
  const struct {
    int32_t Scope, Secondary, Tiles, Zone, NewScope, NewSecondary, NewTiles;
  } cases[] = {
      {1, 1, 2, ZoneTileMode, 1, 1, 0}, {0, 0, 2, ZoneTileMode, 0, 0, 1},           {0, 0, 1, ZoneTileMode, 0, 0, 2},
      {1, 1, 0, ZoneScope, 0, 1, 0},    {1, 0, 0, ZoneScope, 1, 0, 0},              {0, 0, 1, ZoneScope, 1, 0, 1},
      {0, 1, 0, ZoneSecondaryPlot, 0, 1, 0}, {1, 1, 1, ZoneSecondaryPlot, 1, 0, 1},
  };
  ScreenLayoutRecord& l = ScreenLayout;
  for (const auto& c : cases) {
    l.ScopeViewOn = c.Scope, l.SecondaryPlotOn = c.Secondary, l.TileMode = c.Tiles;
    frame::FrameLoopState.RedrawAll = 0;
    Click(c.Zone);
    EXPECT_EQ(l.LayoutMode, c.NewTiles + 4 * c.NewScope + 8 * c.NewSecondary) << c.Zone;
    EXPECT_EQ(frame::FrameLoopState.RedrawAll, 1);
  }
  const int32_t from[] = {0, 1, 3, 9, 10, 11, 100, 101}, to[] = {1, 1, 3, 9, 10, 100, 100, 101};
  for (int i = 0; i < 8; ++i) {
    link::PmxLinkState.PmxLinkStep = from[i];
    Click(ZoneConnect);
    EXPECT_EQ(link::PmxLinkState.PmxLinkStep, to[i]);
  }
}

TEST_F(HandlerTest, WhileThePowerAnalyserWindowIsOpenTheScreenTakesNoClicks) {
  DrawPowerAnalyserScreen();
  Click(ZoneSettings);
  ASSERT_TRUE(platform::IsWindow(frame::PowerAnalyserWindow));
  platform::headless::SetMousePosition(screen::HotZone[ZoneCalibration].Left + 2, 20);
  for (const int32_t down : {1, 0}) {  // a click on the calibration icon
    screen::PointerState.LeftMouseDown = down;
    HandlePowerAnalyserFrame();
  }
  frame::FrameLoopState.CloseRequest = 1;
  HandlePowerAnalyserFrame();
  HandlePowerAnalyserFrame();  // nor is it acted on once the window has closed
  EXPECT_FALSE(platform::IsWindow(frame::PowerAnalyserWindow));
  EXPECT_EQ(screen::ClickedZone, 0);
}

// After a one-second stall the clock catches up one block a turn, only while disconnected.
// Switched on, the synthesis is analysed afresh (a poisoned filter is dropped).
TEST_F(HandlerTest, TheDemonstrationClockCatchesUpOneBlockATurn) {
  zolt::testing::WriteFile("synth.csv", "1,1,50,1,100,0,0,0\n");
  PmxVoltageFilter = {NAN, NAN, NAN, NAN};
  link::PmxSampleRing.PmxProcessBlock = link::PmxSampleRing.PmxLastProcessedBlock = 99;
  link::PmxVoltageSamples[5] = INFINITY;  // the published block, analysed next
  Click(ZoneSynthesis);
  link::LinkState.Connected = 1;
  PmxSynthClock -= 1000;
  RunDemonstrationClock();
  EXPECT_EQ(link::PmxSampleRing.PmxPublishedBlock.load(), 0);
  link::LinkState.Connected = 0;
  int blocks = 0;
  const int64_t start = platform::ElapsedMilliseconds();
  for (int turn = 0; turn < 20; ++turn) {
    RunDemonstrationClock();
    EXPECT_LE(link::PmxSampleRing.PmxPublishedBlock.load() - blocks, 1);
    blocks = link::PmxSampleRing.PmxPublishedBlock.load();
  }
  EXPECT_GE(blocks, 9);
  EXPECT_LE(blocks, 11 + (platform::ElapsedMilliseconds() - start) / 100);
  EXPECT_NE(link::PmxVoltageSamples[blocks * Block + 79], 0.0);
  EXPECT_EQ(link::PmxSampleRing.PmxWriteBlock.load(), blocks + 1);  // a stream goes on after it
  for (int b = 0; b < blocks; ++b) HandOverNextBlock();
  EXPECT_EQ(link::PmxSampleRing.PmxLastProcessedBlock, blocks - 1);
  EXPECT_TRUE(std::isfinite(PmxVoltageFilter.Y1) && PmxVoltageFilter.Y1 != 0.0);
  Click(ZoneSynthesis);
  EXPECT_EQ(link::PmxLinkState.PmxSynthesisOn, 0);
}

// The analysis trails the published block by one and works a backlog off in ring order.
TEST_F(HandlerTest, AThreeBlockJumpIsAnalysedInRingOrderOneBlockATurn) {
  FillVoltage(0, link::PmxRingSamples, [](int i) { return 1.0 + i / Block; });
  link::PmxSampleRing.PmxPublishedBlock = 4;  // from block 1, with block 0 analysed
  for (const double mean : {2.0, 3.0, 4.0, 4.0}) {
    HandOverNextBlock();
    EXPECT_EQ(PmxReadings.PmxLiveVoltage, mean);
  }
  EXPECT_EQ(ReadoutTiles[13].Value, "4.000");
  link::PmxSampleRing.PmxLastProcessedBlock = link::PmxSampleRing.PmxProcessBlock = 98;
  link::PmxSampleRing.PmxPublishedBlock = 0;  // after 99: the target is 99
  HandOverNextBlock();
  HandOverNextBlock();
  EXPECT_EQ(link::PmxSampleRing.PmxLastProcessedBlock, 99);
}

// A writer publishing blocks as the comms thread does, slower than the main thread hands
// them over and draws a pane two blocks wide: they never share a block (the thread
// sanitizer build checks it), and every block is analysed.
TEST_F(HandlerTest, HandOffAndWaveformStayClearOfTheBlockBeingWritten) {
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  ring.PmxWriteBlock = 1;
  ring.PmxLastProcessedBlock = ring.PmxProcessBlock = 99;
  screen::PlotRect = {0, 100, 3400, 400};
  constexpr int Blocks = 10;
  std::thread writer([&ring] {
    for (int n = 0; n < Blocks; ++n) {
      const int32_t b = ring.PmxWriteBlock.load();
      FillVoltage(b * Block, Block, [b](int) { return 10.0 * b; });
      ring.PmxPublishedBlock.store(b, std::memory_order_release);
      ring.PmxWriteBlock.store(b + 1);
      platform::Delay(20);
    }
  });
  while (ring.PmxLastProcessedBlock != Blocks - 1) {
    HandOverNextBlock();
    DrawWaveformView();
  }
  writer.join();
  EXPECT_EQ(PmxReadings.PmxLiveVoltage, 10.0 * (Blocks - 1));
}

}  // namespace
}  // namespace zolt::analyser::testing
