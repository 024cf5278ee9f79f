// The power-analyser screen: the icon bar, the grid of six channel steppers and, as the
// view switches ask, the waveform view of the last analysed block, the secondary plot
// and the sixteen readout tiles, all painted into the canvas. Every control registers
// its zone while it is painted; the zone table is never cleared on this side.
//
// Main thread only.
#pragma once

#include <array>
#include <string>

namespace zolt::analyser {

constexpr int SecondaryPlotPoints = 10001;

struct PmxScreenStateRecord {
  std::string ConnectCaptionDrawn;  // the connect button's caption when last drawn
  // The secondary plot's data: nothing in the program fills it yet, so it is drawn flat.
  std::array<double, SecondaryPlotPoints> SecondaryPlotSeries{};
};

inline PmxScreenStateRecord PmxScreenState;

// The whole screen; a full clear of the canvas first when RedrawAll is 1.
void DrawPowerAnalyserScreen();

// The parts it paints.
void DrawWaveformView();
void DrawSecondaryPlotView();
void DrawReadoutTiles();
void ClearStatusStrip();

}  // namespace zolt::analyser
