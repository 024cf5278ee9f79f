// The power analyser's per-frame handler.
//
// Sections: view switches; zone actions (one row per control, in painting order); the
// window's events and live readings; demonstration clock; block hand-off; a stream
// starts, a link ends; one turn.
#include "analyser/handler.h"

#include <limits>

#include "analyser/analysis.h"
#include "analyser/ranges.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/synthesis.h"
#include "analyser/window.h"
#include "analyser/zones.h"
#include "frame/app.h"
#include "frame/numbers.h"
#include "frame/translate.h"
#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::analyser {

// ---- view switches ----
//
// At least one of the scope view, the secondary plot and the tiles stays on: a view is
// switched off only while something else would still show, and the tile mode skips 0
// when both views are off.

namespace {

void StartAnalysisAfresh();

void Relayout() {
  LayoutReadoutTiles();
  frame::FrameLoopState.RedrawAll = 1;
}

void ToggleView(int32_t& view, int32_t other, int32_t tileMode) {
  if (view == 0) {
    view = 1;
  } else {
    view = (other == 0 && tileMode == 0) ? 1 : 0;
  }
  Relayout();
}

void NextTileMode() {
  ScreenLayoutRecord& l = ScreenLayout;
  if (++l.TileMode >= 3) l.TileMode = (l.ScopeViewOn == 0 && l.SecondaryPlotOn == 0) ? 1 : 0;
  Relayout();
}

void ToggleSynthesis() {
  link::PmxLinkStateRecord& s = link::PmxLinkState;
  if (s.PmxSynthesisOn == 0) {
    s.PmxSynthesisOn = 1;
    LoadSynthCsv();
    // While connected the synthesis waits for the link to end, which starts afresh.
    if (link::LinkState.Connected.load() == 0) StartAnalysisAfresh();
    PmxSynthClock = platform::ElapsedMilliseconds();
  } else {
    s.PmxSynthesisOn = 0;
  }
}

// Connect from step 0, disconnect from 11 (connected); every other step ignores it.
void ConnectOrDisconnect() {
  int32_t& step = link::PmxLinkState.PmxLinkStep;
  if (step == 0) {
    step = 1;
  } else if (step == 11) {
    step = 100;
  }
}

// ---- zone actions ----

struct ZoneAction {
  int32_t Zone;
  void (*Action)();
};

constexpr ZoneAction ZoneActions[] = {
    {ZoneConnect, ConnectOrDisconnect},
    {ZoneSettings, OpenPowerAnalyserSettingsWindow},
    {ZoneCalibration, OpenPowerAnalyserCalWindow},
    {ZoneHelp, frame::ShowSelectingInstrumentHelp},
    {ZoneSynthesis, ToggleSynthesis},
    {ZoneScope, [] { ToggleView(ScreenLayout.ScopeViewOn, ScreenLayout.SecondaryPlotOn, ScreenLayout.TileMode); }},
    {ZoneSecondaryPlot,
     [] { ToggleView(ScreenLayout.SecondaryPlotOn, ScreenLayout.ScopeViewOn, ScreenLayout.TileMode); }},
    {ZoneTileMode, NextTileMode},
    {ZoneV1Stepper + screen::ZoneStepperDecrease, PmxVoltageRangeDown},
    {ZoneV1Stepper + screen::ZoneStepperIncrease, PmxVoltageRangeUp},
    {ZoneC1Stepper + screen::ZoneStepperDecrease, PmxCurrentRangeDown},
    {ZoneC1Stepper + screen::ZoneStepperIncrease, PmxCurrentRangeUp},
};

}  // namespace

// A zone without a row (the camera, zoom, cursor, file, play and stop icons, the other
// stepper parts) is neither acted on nor reset.
void ActOnClickedZone() {
  for (const ZoneAction& row : ZoneActions) {
    if (screen::ClickedZone != row.Zone) continue;
    screen::ClickedZone = 0;
    row.Action();
    return;
  }
}

// ---- the window's events and live readings ----

void ServeWindowEvent() {
  const platform::WindowEvent& e = frame::LastWindowEvent;
  if (e.Type != platform::EventType::Gadget || e.Kind != platform::GadgetEventKind::Change) return;
  if (e.Window != PmxWindow || !platform::IsWindow(PmxWindow)) return;
  ServePowerAnalyserWindowEvent(e.Gadget);
}

namespace {

// A live mean as its field shows it: three decimals, or "----" while no received block
// gave one (none yet, or its link has ended), as the tiles show no reading. The text is
// rewritten only when what it shows changed since it was last shown.
void RefreshLiveReading(int gadget, double value, bool measured, double& shown) {
  const double showing = measured ? value : -std::numeric_limits<double>::infinity();
  if (shown == showing) return;
  shown = showing;
  platform::SetGadgetText(gadget, measured ? frame::FixedDecimals(value, 3) : frame::Translate("----"));
}

}  // namespace

void RefreshLiveReadings() {
  if (!platform::IsWindow(PmxWindow)) return;
  PmxReadingsRecord& r = PmxReadings;
  const bool measured = r.PmxLiveStatus == PmxReadingStatus::Measured;
  RefreshLiveReading(LiveVoltageText, r.PmxLiveVoltage, measured, r.PmxShownVoltage);
  RefreshLiveReading(LiveCurrentText, r.PmxLiveCurrent, measured, r.PmxShownCurrent);
}

// ---- demonstration clock ----

// One synthesised block per turn at most, every 100 ms of the clock; after a pause the
// clock catches up a block a turn. Only while no instrument is connected, so received
// and synthesised blocks never mix. The write cursor moves on with the synthesis, so a
// connection made afterwards streams into the block after the last synthesised one and
// the analysis goes on from there, rather than over the blocks between the comms
// thread's last block and the synthesis's.
void RunDemonstrationClock() {
  if (link::PmxLinkState.PmxSynthesisOn != 1 || link::LinkState.Connected.load() != 0) return;
  if (PmxSynthClock + PmxSynthIntervalMs >= platform::ElapsedMilliseconds()) return;
  PmxSynthClock += PmxSynthIntervalMs;
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  const int32_t block = (ring.PmxPublishedBlock.load(std::memory_order_acquire) + 1) % link::PmxRingBlocks;
  ring.PmxPublishedBlock.store(block, std::memory_order_release);
  SynthesisePmxBlock(block);
  ring.PmxWriteBlock = (block + 1) % link::PmxRingBlocks;
}

// ---- block hand-off ----

namespace {

// A reading as its tile shows it: three decimals when it stands, otherwise what stands in
// its place: a range without a usable calibration, over range, or no reading.
std::string TileReading(double value, PmxReadingStatus status, bool calibrated) {
  if (!calibrated) return frame::Translate("NO CAL");
  if (status == PmxReadingStatus::OverRange) return frame::Translate("OVER");
  if (status == PmxReadingStatus::None) return frame::Translate("----");
  return frame::FixedDecimals(value, 3);
}

}  // namespace

// The analysis trails the newest complete block by one, so the comms thread, which
// fills the block after the published one, is always at least a block ahead of it. A
// backlog is worked off in ring order, one block a turn.
void HandOverNextBlock() {
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  const int32_t published = ring.PmxPublishedBlock.load(std::memory_order_acquire);
  const int32_t target = (published + link::PmxRingBlocks - 1) % link::PmxRingBlocks;
  if (target == ring.PmxLastProcessedBlock) return;
  ring.PmxProcessBlock = (ring.PmxProcessBlock + 1) % link::PmxRingBlocks;
  AnalysePmxBlock(ring.PmxProcessBlock);

  // While connected, a range without a usable calibration gives no reading on its tiles
  // (the synthesis needs none).
  const bool connected = link::LinkState.Connected.load() == 1;
  const bool voltage = !connected || PmxVoltageRangeCalibrated();
  const bool current = !connected || PmxCurrentRangeCalibrated();
  const PmxReadingsRecord& r = PmxReadings;
  const struct {
    int Tile;
    double Value;
    PmxReadingStatus Status;
    bool Calibrated;
  } shown[] = {{8, r.PmxFrequency, r.PmxFrequencyStatus, voltage},
               {13, r.PmxVoltagePeakPositive, r.PmxVoltagePeakPositiveStatus, voltage},
               {14, r.PmxVoltagePeakNegative, r.PmxVoltagePeakNegativeStatus, voltage},
               {15, r.PmxCurrentPeakPositive, r.PmxCurrentPeakPositiveStatus, current},
               {16, r.PmxCurrentPeakNegative, r.PmxCurrentPeakNegativeStatus, current}};
  for (const auto& s : shown) ReadoutTiles[s.Tile].Value = TileReading(s.Value, s.Status, s.Calibrated);
  ring.PmxLastProcessedBlock = ring.PmxProcessBlock;
}

// ---- a stream starts, a link ends ----

namespace {

// Nothing of an earlier signal is analysed with the next: the analysis starts afresh,
// the blocks not yet analysed are dropped and the ring is cleared (the published block,
// the first one analysed next, included). Only while nothing writes the ring: no comms
// thread, no synthesis running.
void StartAnalysisAfresh() {
  RestartPmxAnalysis();
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  const int32_t published = ring.PmxPublishedBlock.load(std::memory_order_acquire);
  ring.PmxProcessBlock = ring.PmxLastProcessedBlock = (published + link::PmxRingBlocks - 1) % link::PmxRingBlocks;
  for (int32_t i = 0; i < link::PmxRingSamples; ++i) {
    link::StoreSample(link::PmxVoltageSamples[i], 0.0);
    link::StoreSample(link::PmxCurrentSamples[i], 0.0);
    link::PmxFilteredSamples[i] = 0.0;
  }
  // The cleared ring holds nothing received, so its blocks give no reading.
  for (uint8_t& flags : link::PmxFrameTimes) link::StoreRingByte(flags, 0);
  for (uint8_t& kind : link::PmxBlockConversionKinds) link::StoreRingByte(kind, link::PmxNoConversion);
}

}  // namespace

void PmxStreamStarting() { StartAnalysisAfresh(); }

void PmxLinkEnded() {
  StartAnalysisAfresh();
  SetTileStartTexts();  // no reading, as before the first link
  frame::FrameLoopState.RedrawAll = 1;
}

// ---- one turn ----

void HandlePowerAnalyserFrame() {
  frame::FrameLoopStateRecord& loop = frame::FrameLoopState;
  if (loop.ResizePending == 1) {
    loop.ResizePending = 0;
    loop.RedrawAll = 1;
    screen::CloseGraphScreen();
    LayoutReadoutTiles();
    screen::OpenGraphScreen();
    LayoutReadoutTiles();
    DrawPowerAnalyserScreen();
  }
  // While the window is open the main screen's zones are not hit-tested.
  if (!platform::IsWindow(PmxWindow)) screen::HandleScreenMouse();
  link::StepPowerAnalyserConnection();
  ActOnClickedZone();
  ServeWindowEvent();
  if (loop.CloseRequest == 1) {
    loop.CloseRequest = 0;
    platform::CloseWindow(PmxWindow);
  }
  RefreshLiveReadings();
  ApplySelectedRanges();
  RunDemonstrationClock();
  HandOverNextBlock();
}

}  // namespace zolt::analyser
