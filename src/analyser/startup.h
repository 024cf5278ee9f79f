// The power analyser's start-up and screen layout: the sixteen readout tiles with their
// start texts, the panes that the three view switches (tiles, scope view, secondary
// plot) give the screen, and the idle TCP listening socket.
//
// Main thread only. The waveform view's pane is screen::PlotRect and the secondary
// plot's screen::BelowPlotRect (copies of the centre panes, set by LayoutReadoutTiles).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "screen/plot_area.h"

namespace zolt::analyser {

using screen::PixelRect;

struct ScreenLayoutRecord {
  int32_t TileMode = 2;         // 0 no tiles, 1 tile pane kept but not drawn, 2 tiles drawn
  int32_t ScopeViewOn = 1;      // 1: the waveform view is drawn
  int32_t SecondaryPlotOn = 1;  // 1: the secondary plot is drawn
  int32_t LayoutMode = 0;       // TileMode + 4 x ScopeViewOn + 8 x SecondaryPlotOn
  PixelRect TopBarRect;         // the icon bar starts at its X, Y
  PixelRect LeftPaneRect;       // the tile column
  PixelRect BottomPaneRect;     // origin of the grid of channel steppers
  PixelRect CentrePaneRect;     // upper centre pane (the waveform view)
  PixelRect CentreLowerRect;    // lower centre pane (the secondary plot)
  int32_t PlotCentreX = 0, PlotCentreY = 0;
  int32_t BelowPlotCentreX = 0, BelowPlotCentreY = 0;
  int32_t TileLabelHeight = 0;        // tallest tile label in FontTileLabel
  int32_t TileDescriptionHeight = 0;  // tallest description in FontTileDescription
};

inline ScreenLayoutRecord ScreenLayout;

struct ReadoutTile {
  std::string Label, Description, Value, Unit;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  int32_t LabelRight = 0;  // right edge of label and description
  int32_t DividerX = 0;    // end of the left half, where the separator line stands
  int32_t ValueRight = 0;  // right edge of the value
  int32_t UnitLeft = 0;    // left edge of the unit
  bool operator==(const ReadoutTile&) const = default;
};

constexpr int ReadoutTileCount = 16;  // tiles 1..16 of the table are used
inline std::array<ReadoutTile, 129> ReadoutTiles;

constexpr int PmxNetworkServer = 22;
constexpr int PmxNetworkPort = 6403;

// Tile texts, the link's hooks, colour scheme, drawing surface, layout and the TCP
// listening socket.
void StartPowerAnalyser();
// The four texts of tiles 1..16 as at start-up.
void SetTileStartTexts();
// ComputeScreenLayout, the plot panes and their centres, then the tile boxes and the
// height of the tile texts.
void LayoutReadoutTiles();
// Sets LayoutMode from the view switches and the panes of that mode from the screen
// size; modes that name no pane keep the panes of an earlier layout.
void ComputeScreenLayout();

}  // namespace zolt::analyser
