// The power-analyser screen's views: the waveform view of the last analysed block, the
// secondary plot and the readout tiles.
//
// Sections: waveform view; secondary plot; readout tiles.
#include <algorithm>
#include <cmath>

#include "analyser/screen.h"
#include "analyser/startup.h"
#include "frame/fonts.h"
#include "frame/numbers.h"
#include "frame/translate.h"
#include "link/pmx_ring.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/surface.h"

namespace zolt::analyser {

using platform::Colour;
using platform::MakeColour;

namespace {

constexpr Colour PaneFill = MakeColour(25, 25, 25);
constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Red = MakeColour(255, 0, 0);
constexpr Colour Green = MakeColour(0, 255, 0);
constexpr Colour Blue = MakeColour(0, 0, 255);

int32_t Nearest(double value) { return frame::RoundToInt32(value); }

// The pane's fill, its white frame through the four corners and the green axes.
void DrawPane(const PixelRect& p, int32_t centreX, int32_t centreY) {
  platform::DrawBox(p.X, p.Y, p.Width, p.Height, PaneFill);
  const int32_t right = p.X + p.Width, bottom = p.Y + p.Height;
  platform::DrawLine(p.X, p.Y, right, p.Y, White);
  platform::DrawLine(right, p.Y, right, bottom, White);
  platform::DrawLine(right, bottom, p.X, bottom, White);
  platform::DrawLine(p.X, bottom, p.X, p.Y, White);
  platform::DrawLine(p.X + 1, centreY, p.X + p.Width - 2, centreY, Green);
  platform::DrawLine(centreX, p.Y + 1, centreX, p.Y + p.Height - 1, Green);
}

// ---- waveform view ----

// The end (exclusive) of the samples the view may read from block `b` on: the ring's
// blocks from b up to the last published one. The comms thread fills the block after
// that, so a pane wider than a block stops at it rather than read what is being written;
// positions past the ring's end belong to no block and are always safe (they hold 0).
int32_t ReadableEnd(int32_t b) {
  const int32_t published = link::PmxSampleRing.PmxPublishedBlock.load(std::memory_order_acquire);
  // Published behind b: the ring wrapped, and the block being filled lies before b.
  if (published < b) return link::PmxRingSamples;
  return (published + 1) * link::PmxBlockSamples;
}

// A value scaled to the pane, rounded, held at the pane's half height.
int32_t PlotOffset(double scaled, double limit) {
  const double held = std::clamp(static_cast<double>(Nearest(scaled)), -limit, limit);
  return Nearest(held);
}

}  // namespace

void DrawWaveformView() {
  ScreenLayoutRecord& l = ScreenLayout;
  const PixelRect& p = screen::PlotRect;
  l.PlotCentreX = p.X + p.Width / 2;
  l.PlotCentreY = p.Y + p.Height / 2;
  platform::StartDrawing(screen::CanvasImage);
  DrawPane(p, l.PlotCentreX, l.PlotCentreY);

  // Half the pane's inner height spans 1000 V, 20 A and 1000 filter units, positive up;
  // one sample per column from the start of the last analysed block.
  const double k = -(p.Height - 2) / 2.0;
  const double limit = p.Height * 0.5;
  const int32_t b = link::PmxSampleRing.PmxLastProcessedBlock;
  const int32_t first = b * link::PmxBlockSamples;
  const int32_t readableEnd = ReadableEnd(b);
  for (int32_t c = 0; c <= p.Width - 2; ++c) {
    const int32_t s = first + c;
    if (s >= link::PmxSampleTableSize) break;
    if (s >= readableEnd && s < link::PmxRingSamples) continue;
    const int32_t x = p.X + c + 1;
    platform::DrawPoint(x, l.PlotCentreY + PlotOffset(k * link::LoadSample(link::PmxVoltageSamples[s]) / 1000, limit), Red);
    platform::DrawPoint(x, l.PlotCentreY + PlotOffset(k * link::LoadSample(link::PmxCurrentSamples[s]) / 20, limit), Blue);
    platform::DrawPoint(x, l.PlotCentreY + PlotOffset(k * link::PmxFilteredSamples[s] / 1000, limit), Green);
  }
  platform::StopDrawing();
}

// ---- secondary plot ----

void DrawSecondaryPlotView() {
  ScreenLayoutRecord& l = ScreenLayout;
  const PixelRect& q = screen::BelowPlotRect;
  l.BelowPlotCentreX = q.X + q.Width / 2;
  l.BelowPlotCentreY = q.Y + q.Height / 2;
  platform::StartDrawing(screen::CanvasImage);
  DrawPane(q, l.BelowPlotCentreX, l.BelowPlotCentreY);
  const double k = -(q.Height - 2) / 2.0;
  const auto& series = PmxScreenState.SecondaryPlotSeries;
  const int32_t last = std::min<int32_t>(q.Width - 2, SecondaryPlotPoints - 1);
  for (int32_t c = 0; c <= last; ++c) {
    const int32_t x = std::clamp(q.X + c + 1, q.X, q.X + q.Width);
    const int32_t y = std::clamp(Nearest(l.BelowPlotCentreY + k * series[c]), q.Y, q.Y + q.Height);
    platform::DrawPoint(x, y, Red);
  }
  platform::StopDrawing();
}

// ---- readout tiles ----

namespace {

int32_t WholeWidth(const std::string& text) { return Nearest(platform::TextWidth(text)); }
int32_t WholeHeight(const std::string& text) { return Nearest(platform::TextHeight(text)); }

}  // namespace

void DrawReadoutTiles() {
  const screen::ColourSchemeRecord& c = screen::ColourScheme;
  const ScreenLayoutRecord& l = ScreenLayout;
  const Colour text = c.ControlTextColour;
  platform::StartDrawing(screen::CanvasImage);
  for (int t = 1; t <= ReadoutTileCount; ++t) {
    const ReadoutTile& tile = ReadoutTiles[t];
    const Colour left = c.TileColourA;
    const Colour right = t % 2 == 1 ? c.TileColourA : c.TileColourB;
    platform::DrawBox(tile.X, tile.Y, tile.DividerX - tile.X, tile.Height, left);
    platform::DrawBox(tile.DividerX, tile.Y, tile.X + tile.Width - tile.DividerX, tile.Height, right);
    const int32_t middle = tile.Y + tile.Height / 2;

    platform::SelectFont(frame::FontTileLabel);
    const int32_t labelHeight = WholeHeight(tile.Label);
    const int32_t labelTop = middle - labelHeight / 2;
    platform::DrawText(tile.LabelRight - WholeWidth(tile.Label), labelTop, tile.Label, text, left);
    // The description only where both texts fit in the tile.
    if (l.TileLabelHeight + l.TileDescriptionHeight < tile.Height) {
      platform::SelectFont(frame::FontTileDescription);
      platform::DrawText(tile.LabelRight - WholeWidth(tile.Description), labelTop + labelHeight, tile.Description,
                         text, left);
    }
    // A value wider than the tile's right half does not fit: it is said to be over range
    // rather than drawn over the tile's edge (and so is nothing when even that is too wide).
    platform::SelectFont(frame::FontTileValue);
    const int32_t room = tile.ValueRight - tile.DividerX;
    std::string value = " " + tile.Value;
    int32_t width = WholeWidth(value);
    if (width > room) {
      value = " " + frame::Translate("OVER");
      width = WholeWidth(value);
    }
    if (width <= room) platform::DrawText(tile.ValueRight - width, middle - WholeHeight(value) / 2, value, text, right);
    platform::SelectFont(frame::FontTileUnit);
    platform::DrawText(tile.UnitLeft, middle - WholeHeight(tile.Unit) / 2, tile.Unit, text, right);
    platform::DrawLine(tile.DividerX, tile.Y, tile.DividerX, tile.Y + tile.Height - 1, text);
  }
  platform::StopDrawing();
}

}  // namespace zolt::analyser
