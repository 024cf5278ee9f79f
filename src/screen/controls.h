// Painted controls: the family of painting routines the panels of both instruments call.
//
// Each routine paints one control into the CanvasImage at the caller's position (it starts
// and stops drawing on the canvas itself), registers the control's hot zones while it
// paints, and returns 0. None acts on clicks: the per-frame handler acts on ClickedZone.
// None keeps state but the run-status box, which keeps its last painting so that a
// painting over it can repaint only what changed. Sub-zone captions come from
// HotZoneText, filled by the caller first.
//
// Geometry conventions: `div` is integer division toward zero; a real that becomes a
// pixel coordinate is rounded to nearest, ties to even; a zone (x, x + w, y, y + h)
// covers w + 1 by h + 1 pixels.
//
// Main thread only (the drawing chain).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/draw.h"

namespace zolt::screen {

using platform::Colour;

// A decrease and an increase button around a value band, with two caption cells above
// and two option cells below ("#" in an option's caption marks it selected). Always 72
// pixels high; h is not used. kind "-+" or "<>" chooses the button glyphs.
int32_t DrawValueControl(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneBase,
                         const std::string& kind, Colour accentColour);

// A value box between decrease and increase buttons with a title strip above and a strip
// below, (6 x WidgetUnit - 3) by (3 x WidgetUnit); w and h are not used.
int32_t DrawStepperControl(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneBase, Colour colour);

// A bar of `segments` toggles; segment k is highlighted when bit k - 1 of bitMask is set.
int32_t DrawBitToggleBar(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneBase, int32_t segments,
                         int32_t bitMask, Colour borderColour);

// A header strip with title, subtitle, settings mark and help mark, and a line under it.
// The title is cut off at the end of its 144-pixel box, the subtitle before the marks.
int32_t DrawPanelHeader(int32_t x, int32_t y, int32_t w, int32_t h, int32_t panelBase,
                        const std::string& title, const std::string& subtitle, Colour fillColour,
                        Colour borderColour);

// An image with a 25-pixel caption strip below it; align "centre", "left" or "right",
// size "medium" or "large".
int32_t DrawIconButton(int32_t x, int32_t y, int32_t w, int32_t h, int32_t image, int32_t zoneId,
                       const std::string& caption, const std::string& align, const std::string& size,
                       Colour textColour);

// Framed buttons with a text: centred in the large font, left-aligned in the small one.
int32_t DrawTextButtonLarge(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId,
                            const std::string& text, Colour textColour, Colour fillColour,
                            Colour borderColour);
int32_t DrawTextButtonSmall(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId,
                            const std::string& text, Colour textColour, Colour fillColour,
                            Colour borderColour);

// The run-status box: run status, last sweep end and four live readings in four rows.
// Painted `overLast` (over its last painting, which the canvas must still hold), only the
// texts that changed are painted again where that gives the same pixels, otherwise the
// whole box.
int32_t DrawRunStatusPanel(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId,
                           const std::string& runStatus, const std::string& lastSweepEnd,
                           const std::string& vc, const std::string& vr, const std::string& ic,
                           const std::string& vb, Colour textColour, Colour fillColour,
                           Colour borderColour, bool overLast = false);

// ---- table cells ----

constexpr int CellRowCells = 101;

// One row of table cells, filled by the cursor and measurement panels.
struct CellRowTableRecord {
  std::array<int32_t, CellRowCells> CellWidth{};     // pixels; 0 ends the row
  std::array<std::string, CellRowCells> CellText;
  std::array<std::string, CellRowCells> CellAlign;   // "Left", "Centre" or "Right"
};

inline CellRowTableRecord CellRowTable;

// Paints the cells of CellRowTable from x, each 1 pixel after the previous, cut at x + w.
int32_t DrawCellRow(int32_t x, int32_t y, int32_t w, int32_t h, Colour backColour, Colour textColour);

}  // namespace zolt::screen
