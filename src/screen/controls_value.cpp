// Painted controls with decrease and increase buttons: the value control of the curve
// tracer's panels and the stepper of the power-analyser screen.
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
using platform::DrawLine;

namespace {

constexpr Colour White = platform::MakeColour(255, 255, 255);

// An option caption: a "#" marks the selected option, shown without the marks in the
// bold font and the header text colour. Selects the font and returns the text colour.
Colour PrepareOption(std::string& text) {
  if (text.find('#') == std::string::npos) {
    platform::SelectFont(frame::FontBody);
    return ColourScheme.ControlTextColour;
  }
  text.erase(std::remove(text.begin(), text.end(), '#'), text.end());
  platform::SelectFont(frame::FontBodyBold);
  return ColourScheme.HeaderSubTextColour;
}

}  // namespace

int32_t DrawValueControl(int32_t x, int32_t y, int32_t w, int32_t, int32_t zoneBase, const std::string& kind,
                         Colour accentColour) {
  const ColourSchemeRecord& c = ColourScheme;
  const int32_t half = (w - 50) / 2;
  const int32_t x0 = x, x1 = x + 1, x2 = x1 + 24, x3 = x2 + half, x4 = x3 + half, x5 = x4 + 24;
  const int32_t y1 = y + 1, y2 = y1 + 18, y3 = y2 + 34, y4 = y3 + 18;
  platform::StartDrawing(CanvasImage);

  // Frame.
  DrawLine(x0, y, x5, y, accentColour);
  DrawLine(x5, y, x5, y4, accentColour);
  DrawLine(x0, y4, x5, y4, accentColour);
  DrawLine(x0, y4, x0, y, accentColour);

  // Decrease button with "-" or "<".
  DrawBox(x1, y1, 24, 70, c.HighlightColour);
  SetHotZone(zoneBase + ZoneValueDecrease, x1, x1 + 24, y1, y1 + 70);
  if (kind == "-+") {
    DrawBox(x1 + 6, y1 + 34, 12, 2, c.ControlTextColour);
  } else if (kind == "<>") {
    const int32_t gx = x1 + 8, gy = y1 + 34;
    DrawLine(gx, gy, gx + 8, gy + 8, White);
    DrawLine(gx, gy + 1, gx + 8, gy + 9, White);
    DrawLine(gx, gy, gx + 8, gy - 8, White);
    DrawLine(gx, gy + 1, gx + 8, gy - 7, White);
  }

  // Increase button with "+" or ">".
  DrawBox(x4, y1, 24, 70, c.HighlightColour);
  SetHotZone(zoneBase + ZoneValueIncrease, x4, x4 + 24, y1, y1 + 70);
  if (kind == "-+") {
    DrawBox(x4 + 6, y1 + 34, 12, 2, c.ControlTextColour);
    DrawBox(x4 + 11, y1 + 29, 2, 12, c.ControlTextColour);
  } else if (kind == "<>") {
    const int32_t gx = x4 + 8, gy = y1 + 34;
    DrawLine(gx, gy + 8, gx + 8, gy, White);
    DrawLine(gx, gy + 9, gx + 8, gy + 1, White);
    DrawLine(gx, gy - 8, gx + 8, gy, White);
    DrawLine(gx, gy - 7, gx + 8, gy + 1, White);
  }

  // Value band, its text centred on the whole control.
  DrawBox(x2, y2, 2 * half, 34, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneValueBand, x2, x2 + 2 * half, y2, y2 + 34);
  platform::SelectFont(frame::FontLarge);
  const std::string& value = ZoneCaption(zoneBase + ZoneValueBand);
  Text(x + w / 2 - Width(value) / 2, y + 36 - Height(value) / 2, value, c.ControlTextColour, c.PanelBackColour);

  // Caption cells of the top row: right one right-aligned, left one left-aligned.
  platform::SelectFont(frame::FontBody);
  DrawBox(x3, y1, half, 18, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneValueCaptionRight, x3, x3 + half, y1, y1 + 18);
  const std::string right = ZoneCaption(zoneBase + ZoneValueCaptionRight) + " ";
  Text(x3 + half - Width(right), y1 + 9 - Height(right) / 2, right, c.ControlTextColour, c.PanelBackColour);

  DrawBox(x2, y1, half, 18, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneValueCaptionLeft, x2, x2 + half, y1, y1 + 18);
  const std::string left = " " + ZoneCaption(zoneBase + ZoneValueCaptionLeft);
  Text(x2, y1 + 9 - Height(left) / 2, left, c.ControlTextColour, c.PanelBackColour);

  // Option cells of the bottom row.
  DrawBox(x3, y3, half, 18, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneValueOptionRight, x3, x3 + half, y3, y3 + 18);
  std::string optionRight = ZoneCaption(zoneBase + ZoneValueOptionRight) + " ";
  Colour colour = PrepareOption(optionRight);
  Text(x3 + half - Width(optionRight), y3 + 9 - Height(optionRight) / 2, optionRight, colour, c.PanelBackColour);

  DrawBox(x2, y3, half, 18, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneValueOptionLeft, x2, x2 + half, y3, y3 + 18);
  std::string optionLeft = " " + ZoneCaption(zoneBase + ZoneValueOptionLeft);
  colour = PrepareOption(optionLeft);
  Text(x2, y3 + 9 - Height(optionLeft) / 2, optionLeft, colour, c.PanelBackColour);

  platform::StopDrawing();
  return 0;
}

int32_t DrawStepperControl(int32_t x, int32_t y, int32_t, int32_t, int32_t zoneBase, Colour colour) {
  const ColourSchemeRecord& c = ColourScheme;
  const int32_t u = ScreenState.WidgetUnit;
  const int32_t W = 6 * u - 3, H = 3 * u, q = (H - 2) / 4;
  const int32_t buttonTop = y + q + 1, buttonHeight = H - q - 2;
  const int32_t barY = buttonTop + buttonHeight / 2 - 1;
  platform::StartDrawing(CanvasImage);

  DrawBox(x, y, W, H, colour);

  DrawBox(x, buttonTop, 24, buttonHeight, c.HighlightColour);
  SetHotZone(zoneBase + ZoneStepperDecrease, x, x + 24, buttonTop, y + H - 1);
  DrawBox(x + 6, barY, 12, 2, c.ControlTextColour);

  DrawBox(x + W - 24, buttonTop, 24, buttonHeight, c.HighlightColour);
  SetHotZone(zoneBase + ZoneStepperIncrease, x + W - 24, x + W, buttonTop, y + H - 1);
  DrawBox(x + W - 18, barY, 12, 2, c.ControlTextColour);
  DrawBox(x + W - 13, buttonTop + buttonHeight / 2 - 6, 2, 12, c.ControlTextColour);

  DrawBox(x + 24, buttonTop, W - 48, 2 * q, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneStepperValue, x + 24, x + W - 24, buttonTop, buttonTop + 2 * q);
  platform::SelectFont(frame::FontLarge);
  const std::string& value = ZoneCaption(zoneBase + ZoneStepperValue);
  Text(x + W / 2 - WholeWidth(value) / 2, y + H / 2 - WholeHeight(value) / 2, value, c.ControlTextColour,
       c.PanelBackColour);

  DrawBox(x + 25, y + 1, W - 50, q, colour);
  SetHotZone(zoneBase + ZoneStepperTitle, x + 25, x + W - 25, y + 1, y + 1 + q);
  platform::SelectFont(frame::FontBody);
  const std::string& title = ZoneCaption(zoneBase + ZoneStepperTitle);
  Text(x + 25, y + q / 2 - WholeHeight(title) / 2 + 1, title, c.TitleTextColour, colour);

  DrawBox(x + 24, y + 3 * q + 1, W - 48, q, c.PanelBackColour);
  SetHotZone(zoneBase + ZoneStepperBottom, x + 24, x + W - 24, y + 3 * q + 1, y + 4 * q + 1);
  const std::string& bottom = ZoneCaption(zoneBase + ZoneStepperBottom);
  Text(x + W / 2 - WholeWidth(bottom) / 2 + 1, y + 3 * q + q / 2 - WholeHeight(bottom) / 2 + 1, bottom,
       c.ControlTextColour, c.PanelBackColour);

  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
