// Painted table cells: one row of CellRowTable.
#include "frame/fonts.h"
#include "screen/controls.h"
#include "screen/controls_internal.h"
#include "screen/surface.h"

namespace zolt::screen {

using namespace controls;

// Cells follow each other 1 pixel apart; a cell that would pass the row's right end is
// cut there, and a cell left with no room ends the row, so nothing is painted beyond it.
int32_t DrawCellRow(int32_t x, int32_t y, int32_t w, int32_t h, Colour backColour, Colour textColour) {
  const CellRowTableRecord& row = CellRowTable;
  const int64_t end = static_cast<int64_t>(x) + w;
  int64_t left = x;
  platform::StartDrawing(CanvasImage);
  platform::SelectFont(frame::FontSmall);
  for (int i = 0; i < CellRowCells; ++i) {
    if (row.CellWidth[i] == 0) break;
    int64_t width = row.CellWidth[i];
    if (left + width > end) width = end - left;
    if (width <= 0) break;
    platform::DrawBox(static_cast<int32_t>(left), y, static_cast<int32_t>(width), h, backColour);
    const std::string& text = row.CellText[i];
    const std::string& align = row.CellAlign[i];
    if (align == "Left")
      Text(static_cast<double>(left), y, text, textColour, backColour);
    else if (align == "Centre")
      Text(left + width / 2.0 - Width(text) / 2, y, text, textColour, backColour);
    else if (align == "Right")
      Text(left + width - Width(text), y, text, textColour, backColour);
    left += width + 1;
  }
  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
