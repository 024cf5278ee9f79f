// Painted strips: the bit-toggle bar and the panel header with its settings and help
// marks.
#include <cstdint>

#include "frame/fonts.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/controls_internal.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::screen {

using namespace controls;
using platform::DrawBox;

int32_t DrawBitToggleBar(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneBase, int32_t segments,
                         int32_t bitMask, Colour borderColour) {
  const ColourSchemeRecord& c = ColourScheme;
  platform::StartDrawing(CanvasImage);
  DrawBox(x, y, w, h, borderColour);
  DrawBox(x + 1, y + 1, w - 2, h - 2, c.PanelBackColour);
  platform::SelectFont(frame::FontBodyBold);
  const double s = (w - 2) / static_cast<double>(segments);
  double l = x + 1;
  uint64_t mask = 1;  // segment k shows bit k - 1; wide enough for any sensible count
  for (int32_t k = 1; k <= segments; ++k) {
    const Colour fill = (static_cast<uint64_t>(static_cast<uint32_t>(bitMask)) & mask) ? c.HighlightColour
                                                                                       : c.PanelBackColour;
    mask <<= 1;
    DrawBox(Px(l), y + 1, Px(s), h - 2, fill);
    const std::string& caption = ZoneCaption(zoneBase + k);
    Text(l + s / 2 - Width(caption) / 2, y + h / 2.0 - Height(caption) / 2, caption, c.CaptionTextColour, fill);
    SetHotZone(zoneBase + k, Px(l), Px(l + s), y + 1, y + h - 1);
    l += s;
  }
  platform::StopDrawing();
  return 0;
}

int32_t DrawPanelHeader(int32_t x, int32_t y, int32_t w, int32_t h, int32_t panelBase, const std::string& title,
                        const std::string& subtitle, Colour fillColour, Colour borderColour) {
  const ColourSchemeRecord& c = ColourScheme;
  SetHotZone(panelBase + ZoneHeaderTitle, x, x + 144, y, y + h);
  SetHotZone(panelBase + ZoneHeaderSettings, x + w - 16, x + w, y, y + h);
  SetHotZone(panelBase + ZoneHeaderHelp, x + w - 32, x + w - 16, y, y + h);
  SetHotZone(panelBase + ZoneHeaderRest, x + 144, x + w - 32, y, y + h);

  platform::StartDrawing(CanvasImage);
  platform::SelectFont(frame::FontSmall);
  const int32_t middle = y + h / 2;
  DrawBox(x, y, 144, h, borderColour);
  // The title and the subtitle stay within their zones, however long they are: a long
  // graph title is cut off before the help and settings marks.
  const std::string titleText = " " + title;
  platform::DrawTextWithin(x, middle - Height(titleText) / 2, titleText, c.TitleTextColour, borderColour, x,
                           x + 144);
  const std::string subtitleText = " " + subtitle;
  platform::DrawTextWithin(x + 144, middle - Height(subtitleText) / 2, subtitleText, c.HeaderSubTextColour,
                           fillColour, x + 144, x + w - 32);

  // Settings mark: three dots one above the other.
  const int32_t cx = x + w - 8;
  platform::DrawCircle(cx, middle - 5, 1, c.HeaderSubTextColour);
  platform::DrawCircle(cx, middle - 1, 1, c.HeaderSubTextColour);
  platform::DrawCircle(cx, middle + 3, 1, c.HeaderSubTextColour);

  // Help mark, centred in its zone and one pixel higher.
  Text(x + w - 24 - WholeWidth("?") / 2, middle - WholeHeight("?") / 2 - 1, "?", c.HeaderSubTextColour,
       fillColour);

  DrawBox(x, y + h, w, 1, borderColour);
  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
