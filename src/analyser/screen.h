// The power-analyser screen: the icon bar, the grid of six channel steppers and, as the
// view switches ask, the waveform view of the last analysed block, the secondary plot
// and the sixteen readout tiles, all painted into the canvas. Every control registers
// its zone while it is painted; the zone table is never cleared on this side.
//
// Main thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analyser/startup.h"

namespace zolt::analyser {

constexpr int SecondaryPlotPoints = 10001;

struct PmxScreenStateRecord {
  // The secondary plot's data: nothing in the program fills it yet, so it is drawn flat.
  std::array<double, SecondaryPlotPoints> SecondaryPlotSeries{};
};

inline PmxScreenStateRecord PmxScreenState;

// What each part of the screen was last painted from; a part whose record matches what
// it would show now is not painted again. Cleared by a full clear of the canvas.
struct PmxPaintedPartsRecord {
  bool Painted = false;  // false: nothing painted since the last full clear
  int32_t CanvasWidth = 0, CanvasHeight = 0;
  std::string Bar;        // places, images and captions of the icon bar
  std::string Steppers;   // places and values of the channel steppers
  std::array<int32_t, 6> Waveform{};  // the pane, the block shown, the last published block
  std::array<int32_t, 4> SecondaryPane{};
  std::array<double, SecondaryPlotPoints> SecondarySeries{};
  std::vector<ReadoutTile> Tiles;     // tiles 1..16
  std::array<int32_t, 2> TileHeights{};  // of the labels and the descriptions
};

inline PmxPaintedPartsRecord PmxPaintedParts;

// The whole screen: a full clear of the canvas first when RedrawAll is 1; otherwise only
// the parts whose content changed since they were last painted (and those painted after
// them, which may lie over them) are painted.
void DrawPowerAnalyserScreen();

// The parts it paints.
void DrawWaveformView();
void DrawSecondaryPlotView();
void DrawReadoutTiles();
void ClearStatusStrip();

}  // namespace zolt::analyser
