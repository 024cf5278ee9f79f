// Painted buttons: the icon button with its caption strip, and the framed text buttons.
#include <algorithm>

#include "frame/fonts.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/controls_internal.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::screen {

using namespace controls;
using platform::DrawBox;

int32_t DrawIconButton(int32_t x, int32_t y, int32_t w, int32_t h, int32_t image, int32_t zoneId,
                       const std::string& caption, const std::string& align, const std::string& size,
                       Colour textColour) {
  const ColourSchemeRecord& c = ColourScheme;
  platform::StartDrawing(CanvasImage);
  if (platform::IsImage(image)) {
    w = platform::ImageWidth(image);
    h = platform::ImageHeight(image);
    platform::DrawImage(image, x, y);
    if (zoneId >= 0 && zoneId < HotZoneRows) {
      HotZone[zoneId].Left = x;
      HotZone[zoneId].Right = x + w;
      HotZone[zoneId].Top = y;
    }
  }
  // Any other size keeps the drawing output's default font.
  if (size == "medium") platform::SelectFont(frame::FontBody);
  if (size == "large") platform::SelectFont(frame::FontLarge);

  DrawBox(x + 1, y + h, w - 2, 25, c.PanelBackColour);
  const int32_t width = WholeWidth(caption);
  const int32_t top = y + h + 12 - WholeHeight(caption) / 2;
  // A centred caption wider than room left of the icon starts at the canvas's left edge
  // rather than being cut there ("Disconnecting" under the first icon of a bar).
  if (align == "centre")
    Text(std::max(0, x + w / 2 - width / 2), top, caption, textColour, c.PanelBackColour);
  else if (align == "left")
    Text(x, top, caption, textColour, c.PanelBackColour);
  else if (align == "right")
    Text(x + w - width, top, caption, textColour, c.PanelBackColour);
  else
    Text(0, 0, caption, textColour, c.PanelBackColour);

  // The caption strip belongs to the button.
  if (zoneId >= 0 && zoneId < HotZoneRows) HotZone[zoneId].Bottom = y + h + 25;
  platform::StopDrawing();
  return 0;
}

namespace {

// The frame and fill shared by the text buttons; registers the whole button.
void ButtonBody(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId, Colour fillColour,
                Colour borderColour) {
  SetHotZone(zoneId, x, x + w, y, y + h);
  DrawBox(x, y, w, h, borderColour);
  DrawBox(x + 1, y + 1, w - 2, h - 2, fillColour);
}

}  // namespace

int32_t DrawTextButtonLarge(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId, const std::string& text,
                            Colour textColour, Colour fillColour, Colour borderColour) {
  platform::StartDrawing(CanvasImage);
  ButtonBody(x, y, w, h, zoneId, fillColour, borderColour);
  platform::SelectFont(frame::FontButtonLarge);
  Text(x + w / 2.0 - Width(text) / 2, y + h / 2.0 - Height(text) / 2, text, textColour, fillColour);
  platform::StopDrawing();
  return 0;
}

int32_t DrawTextButtonSmall(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId, const std::string& text,
                            Colour textColour, Colour fillColour, Colour borderColour) {
  platform::StartDrawing(CanvasImage);
  ButtonBody(x, y, w, h, zoneId, fillColour, borderColour);
  platform::SelectFont(frame::FontButtonSmall);
  const std::string shown = " " + text;
  Text(x + 1, y + h / 2.0 - Height(shown) / 2, shown, textColour, fillColour);
  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
