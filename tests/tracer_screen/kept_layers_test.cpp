// The main loop's drawing pass keeps what did not change; it must paint exactly what the
// full chain paints. One sequence of screen changes is played twice, once through the
// kept pass and once repainting everything, and every canvas and every hot zone must
// match byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "screen_fixture.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/startup.h"

namespace zolt::tracer::testing {
namespace {

// The canvas without the unused fourth byte of each pixel, and the hit-tested zones (a
// cleared zone, right edge 0, by that edge alone).
struct Frame {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;
  std::vector<std::array<int32_t, 4>> Zones;
};

Frame Capture() {
  Frame f{platform::ImageWidth(screen::CanvasImage), platform::ImageHeight(screen::CanvasImage), {}, {}};
  int stride = 0;
  const uint8_t* data = platform::ImageData(screen::CanvasImage, &stride);
  f.Pixels.resize(static_cast<size_t>(f.Width) * f.Height * 4);
  for (int y = 0; y < f.Height; ++y) std::memcpy(&f.Pixels[static_cast<size_t>(y) * f.Width * 4], data + y * stride, f.Width * 4);
  for (size_t i = 3; i < f.Pixels.size(); i += 4) f.Pixels[i] = 0;
  for (int i = 0; i <= screen::HitTestedZoneLast; ++i) {
    const screen::HotZoneRect& z = screen::HotZone[i];
    f.Zones.push_back(z.Right == 0 ? std::array<int32_t, 4>{} : std::array{z.Left, z.Top, z.Right, z.Bottom});
  }
  return f;
}

// Grows curve c by `points` entries as a run does: the point at the old count written
// again, the new ones after it.
void AppendPoints(int c, int points) {
  int32_t& total = DisplayedSweeps.TotalEntries[c];
  for (int j = total; j <= total + points; ++j) {
    SweepPoint& p = DisplayedSweeps.Point[c][j];
    p = {};
    p.VC_V = 12.0 * j / (total + points);
    p.IC_A = 3e-3 * p.VC_V / 12.0;
    p.TIB_A = (c + 1) * 10e-6;
  }
  total += points;
}

// The changes, one per pass: a typical run, passes with nothing or little changed, a run
// adding points (a new curve among them), a full set of curves, cursors moved, locked
// and dragged, and a smaller window.
const std::vector<std::pair<const char*, std::function<void()>>> Steps = {
    {"typical run", [] { FillTransistorCurves(7, 500); }},
    {"unchanged", [] {}},
    {"live reading", [] { LiveReadouts.VcReadoutText = "1.234 V"; }},
    {"readings narrower and wider", [] { LiveReadouts.VcReadoutText = "1 V"; LiveReadouts.VbReadoutText = "-0.650 V"; }},
    {"reading reaching the next", [] { LiveReadouts.VcReadoutText = std::string(24, '8') + " V"; }},
    {"reading back", [] { LiveReadouts.VcReadoutText = "1.234 V"; }},
    {"phase", [] { RunControl.RunPhase = 2; RunControl.RunPhaseText = "Idling, HV is ON"; }},
    {"stop reason out of its box", [] { RunControl.LastStopReason = std::string(80, 'W'); }},
    {"reading, stop reason out", [] { LiveReadouts.VcReadoutText = "1.236 V"; }},
    {"stop reason back in", [] { RunControl.LastStopReason = "MANUAL HALT REQUEST"; }},
    {"device row shown", [] { TestSetup.FetRowShown = 1; }},
    {"graph title", [] { GraphTitleText = "Transistor"; }},
    {"points added", [] { AppendPoints(6, 40); }},
    {"new curve", [] { DisplayedSweeps.TotalEntries[7] = 0; AppendPoints(7, 60); }},
    {"points added again", [] { AppendPoints(7, 30); }},
    {"unchanged after the run", [] {}},
    {"settled", [] { LiveReadouts.VcReadoutText = "1.235 V"; }},
    {"cursor moved", [] { CursorXA.Value = 3.3; CursorYB.Value = 0.004; }},
    {"slope shown", [] { SlopeShown = 1; }},
    {"cursor pinned", [] { CursorXB.Value = 1e6; }},
    {"locked and dragged", [] { CursorXLock.Locked = 1; CursorXA.Dragging = 1; CursorXA.DragPixel = 900; }},
    {"partner follows", [] { CursorXA.Dragging = 0; }},
    {"points added, a cursor moved", [] { AppendPoints(7, 25); CursorXA.Value = 5; }},
    {"points added, stop reason out", [] { AppendPoints(7, 10); RunControl.LastStopReason = std::string(80, 'W'); }},
    {"points added, stop reason in", [] { AppendPoints(7, 10); RunControl.LastStopReason = "LINK LOST"; }},
    {"full set", [] { FillTransistorCurves(25, 10001); }},
    {"full set settled", [] {}},
    {"full set, reading", [] { LiveReadouts.IcReadoutText = "2.000 mA"; }},
    {"full set, cursor", [] { CursorYA.Value = 0.001; }},
    {"resized", [] { screen::ScreenState.ScreenWidth = 1400; screen::ScreenState.ScreenHeight = 800; }},
    {"resized, settled", [] {}},
    {"narrow window", [] { screen::ScreenState.ScreenWidth = 700; }},
};

std::vector<Frame> Play(void (*pass)()) {
  PrepareScreen(1920, 1080);
  CursorXA.Value = 2;
  CursorXB.Value = 8;
  CursorYA.Value = 0.002;
  CursorYB.Value = 0.006;
  LiveReadouts = {};
  std::vector<Frame> frames;
  for (const auto& step : Steps) {
    step.second();
    pass();
    frames.push_back(Capture());
  }
  return frames;
}

TEST(KeptLayers, PaintExactlyWhatTheFullChainPaints) {
  const std::vector<Frame> kept = Play(DrawCurveTracerScreen);
  const std::vector<Frame> full = Play(RepaintCurveTracerScreen);
  for (size_t i = 0; i < Steps.size(); ++i) {
    SCOPED_TRACE(Steps[i].first);
    EXPECT_EQ(std::pair(kept[i].Width, kept[i].Height), std::pair(full[i].Width, full[i].Height));
    EXPECT_TRUE(kept[i].Pixels == full[i].Pixels);
    EXPECT_TRUE(kept[i].Zones == full[i].Zones);
  }
}

// A kept pass paints only where something changed: nothing on an unchanged screen, a
// moved cursor leaves the left column (up to x 296) alone, and new live readings touch
// only their own texts.
TEST(KeptLayers, PaintOnlyWhereSomethingChanged) {
  PrepareScreen(1920, 1080);
  FillTransistorCurves(3, 200);
  auto paintedAfter = [](const std::function<void()>& change) {
    DrawCurveTracerScreen();  // settled: the kept layers are there
    DrawCurveTracerScreen();
    platform::TakeChangedAreas(screen::CanvasImage);
    change();
    DrawCurveTracerScreen();
    platform::PaintedArea all;
    for (const platform::PaintedArea& a : platform::TakeChangedAreas(screen::CanvasImage))
      all = all.Empty() ? a : platform::PaintedArea{std::min(all.Left, a.Left), std::min(all.Top, a.Top),
                                                    std::max(all.Right, a.Right), std::max(all.Bottom, a.Bottom)};
    return all;
  };
  EXPECT_TRUE(paintedAfter([] {}).Empty());
  EXPECT_GE(paintedAfter([] { CursorXA.Value = 4; }).Left, 296);
  const platform::PaintedArea readings = paintedAfter([] { LiveReadouts.VbReadoutText = "0.650 V"; });
  EXPECT_GT(readings.Left, 150);
  EXPECT_LT(readings.Right - readings.Left, 100);
}

// Each change of something the screen shows is seen once; an unchanged screen is not.
TEST(ScreenChanges, EveryShownInputIsSeenOnce) {
  PrepareScreen(1400, 800);
  FillTransistorCurves(3, 50);
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"caption", [] { frame::Captions.Connect = "Verbinden"; }},
      {"setting", [] { frame::AppSettings.LiveReadings = "Smoothed"; }},
      {"colour", [] { screen::ColourScheme.GridMajorColour ^= 1; }},
      {"window size", [] { screen::ScreenState.ScreenWidth = 1300; }},
      {"phase text", [] { RunControl.RunPhaseText = "Ramping 2/40"; }},
      {"live reading", [] { LiveReadouts.IcReadoutText = "1.500 mA"; }},
      {"set-up", [] { TestSetup.MaxVoltageText = "30 V"; }},
      {"graph title", [] { GraphTitleText = "Q1"; }},
      {"points appended", [] { ++DisplayedSweeps.TotalEntries[1]; }},
      {"points rewritten", [] { ++DisplayedSweepsRevision; }},
      {"cursor value", [] { CursorYA.Value += 0.001; }},
      {"cursor dragged", [] { CursorXB.Dragging = 1; CursorXB.DragPixel = 700; }},
      {"lock", [] { CursorYLock.Locked = 1; }},
      {"slope", [] { SlopeShown = 1; }},
  };
  CurveTracerScreenChanged();
  EXPECT_FALSE(CurveTracerScreenChanged());
  for (const auto& [name, change] : changes) {
    change();
    EXPECT_TRUE(CurveTracerScreenChanged()) << name;
    EXPECT_FALSE(CurveTracerScreenChanged()) << name;
  }
  frame::AppSettings = {};
}

}  // namespace
}  // namespace zolt::tracer::testing
