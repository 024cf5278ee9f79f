// The run-status box: run status and the end of the last sweep, then the live Vc, Vr, Ic
// and Vb readings, in four rows at 1/8, 3/8, 5/8 and 7/8 of the box's height.
#include "frame/fonts.h"
#include "frame/translate.h"
#include "screen/controls.h"
#include "screen/controls_internal.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::screen {

using namespace controls;
using platform::DrawBox;

int32_t DrawRunStatusPanel(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId,
                           const std::string& runStatus, const std::string& lastSweepEnd, const std::string& vc,
                           const std::string& vr, const std::string& ic, const std::string& vb, Colour textColour,
                           Colour fillColour, Colour borderColour) {
  SetHotZone(zoneId, x, x + w, y, y + h);
  platform::StartDrawing(CanvasImage);
  DrawBox(x, y, w, h, borderColour);
  DrawBox(x + 1, y + 1, w - 2, h - 2, fillColour);
  platform::SelectFont(frame::FontButtonSmall);
  auto rowTop = [&](double f, const std::string& text) { return y + h * f - Height(text) / 2; };
  auto put = [&](double left, double f, const std::string& text, const std::string& heightOf) {
    Text(left, rowTop(f, heightOf), text, textColour, fillColour);
  };

  const std::string status = " " + frame::Translate("Run Status") + ": " + runStatus;
  put(x + 1, 0.125, status, status);
  const std::string ended = " " + frame::Translate("Last Sweep Ended By") + ": " + lastSweepEnd;
  put(x + 1, 0.375, ended, ended);

  // The readings' rows take their height from the value texts.
  const double leftLabel = x + 1, leftValue = x + w * 0.15 + 1;
  const double rightLabel = x + w / 2.0 + 1, rightValue = x + w * 0.65 + 1;
  put(leftLabel, 0.625, " Vc:", " " + vc);
  put(leftValue, 0.625, " " + vc, " " + vc);
  put(rightLabel, 0.625, " Vr:", " " + vr);
  put(rightValue, 0.625, " " + vr, " " + vr);
  put(leftLabel, 0.875, " Ic:", " " + ic);
  put(leftValue, 0.875, " " + ic, " " + ic);
  put(rightLabel, 0.875, " Vb:", " " + vb);
  put(rightValue, 0.875, " " + vb, " " + vb);

  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
