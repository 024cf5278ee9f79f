// Hot zones and the pointer step.
//
// Every clickable thing on the painted screen is a row of HotZone, registered by the
// control while it is painted. Once per pass HandleScreenMouse turns the left button's
// press edge into one zone id, ClickedZone, which the model's per-frame handler acts on
// and resets to 0. The same step picks up and drags the four graph cursors by their
// labels and records presses inside the plot area.
//
// Main thread only: the main loop, the per-frame handlers and the painting code.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zolt::screen {

// ---- the zone table ----

constexpr int32_t HotZoneRows = 5001;      // ids 0 to 5000
constexpr int32_t HitTestedZoneLast = 1000;  // ids 1 to 1000 take part in hit testing

// One clickable rectangle in canvas pixels; all four edges are inclusive.
struct HotZoneRect {
  int32_t Left = 0;
  int32_t Right = 0;
  int32_t Top = 0;
  int32_t Bottom = 0;
};

inline std::array<HotZoneRect, HotZoneRows> HotZone;
// The caption a panel stores for a control's sub-zone before the control prints it.
inline std::array<std::string, HotZoneRows> HotZoneText;

// Writes the four edges of zone `id`; ids outside the table are ignored.
void SetHotZone(int32_t id, int32_t left, int32_t right, int32_t top, int32_t bottom);
// The caption of zone `id`; empty for ids outside the table.
const std::string& ZoneCaption(int32_t id);

// Sets Right to 0 in rows 0 to 1000; Left, Top, Bottom and the captions stay.
void ClearHotZones();

// The zone id hit by the last press; 0 means none. Written only by the pointer step,
// reset to 0 by the handler that acts on it.
inline int32_t ClickedZone = 0;

// ---- zone numbering ----
//
// Ids come in blocks of 12 per control; a block's base is 12k + 1 (1, 13, 25 ... 757).
// A control registers its sub-zones at base + offset.

constexpr int32_t ZoneBlockSize = 12;
constexpr int32_t ZoneBlockBase(int32_t k) { return ZoneBlockSize * k + 1; }
constexpr int32_t ZoneBlockLastBase = ZoneBlockBase(63);  // 757

// Panel header.
constexpr int32_t ZoneHeaderTitle = 8;
constexpr int32_t ZoneHeaderSettings = 9;
constexpr int32_t ZoneHeaderHelp = 10;
constexpr int32_t ZoneHeaderRest = 11;
// Value control.
constexpr int32_t ZoneValueDecrease = 1;
constexpr int32_t ZoneValueIncrease = 2;
constexpr int32_t ZoneValueBand = 3;
constexpr int32_t ZoneValueCaptionLeft = 4;
constexpr int32_t ZoneValueCaptionRight = 5;
constexpr int32_t ZoneValueOptionLeft = 6;
constexpr int32_t ZoneValueOptionRight = 7;
// Stepper (offset 4 is not registered).
constexpr int32_t ZoneStepperDecrease = 0;
constexpr int32_t ZoneStepperIncrease = 1;
constexpr int32_t ZoneStepperValue = 2;
constexpr int32_t ZoneStepperTitle = 3;
constexpr int32_t ZoneStepperBottom = 5;
// Bit-toggle bar: segment k (1 to segments) at base + k.

// The power analyser's help icon: the one id outside the blocks.
constexpr int32_t PowerAnalyserHelpZone = 10;

// ---- pointer state ----

struct PointerStateRecord {
  int32_t LeftMouseDown = 0;      // 1 while the left button is down (set by the main loop)
  int32_t LeftMouseDownPrev = 0;  // LeftMouseDown at the end of the previous pointer step
  int32_t MouseX = 0;             // client pixels; -1 outside the client area
  int32_t MouseY = 0;
  int32_t PressX = 0;             // where a press inside the plot area began
  int32_t PressY = 0;
  int32_t DragInPlot = 0;         // 1 from a press inside the plot until a release inside it
  int32_t PlotRight = 0;          // PlotRect.X + PlotRect.Width
  int32_t PlotBottom = 0;         // PlotRect.Y + PlotRect.Height
};

inline PointerStateRecord PointerState;

// The pointer step; run once per pass by the model's per-frame handler.
void HandleScreenMouse();

}  // namespace zolt::screen
