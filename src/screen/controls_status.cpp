// The run-status box: run status and the end of the last sweep, then the live Vc, Vr, Ic
// and Vb readings, in four rows at 1/8, 3/8, 5/8 and 7/8 of the box's height.
//
// The box remembers its last painting, so that a painting over it (the live readings
// change with every status frame) repaints only the texts that changed.
//
// Sections: placing the texts; painting.
#include <algorithm>
#include <array>

#include "frame/fonts.h"
#include "frame/translate.h"
#include "screen/controls.h"
#include "screen/controls_internal.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::screen {

using namespace controls;
using platform::DrawBox;
using platform::PaintedArea;

namespace {

// ---- placing the texts ----

constexpr int StatusTexts = 10;

struct PlacedText {
  double Left = 0, Top = 0;
  std::string Text;
  PaintedArea Area;  // what drawing it may change
  bool operator==(const PlacedText& other) const {
    return Left == other.Left && Top == other.Top && Text == other.Text && Area.Left == other.Area.Left &&
           Area.Top == other.Area.Top && Area.Right == other.Area.Right && Area.Bottom == other.Area.Bottom;
  }
};

// Everything a painting of the box depends on besides its texts.
struct BoxLook {
  uint64_t Canvas = 0;
  int32_t X = 0, Y = 0, W = 0, H = 0;
  Colour TextColour = 0, FillColour = 0, BorderColour = 0;
  bool operator==(const BoxLook&) const = default;
};

struct StatusPainting {
  bool Valid = false;
  BoxLook Look;
  std::array<PlacedText, StatusTexts> Texts;
};

StatusPainting last;

// The texts in painting order, each at its place (the selected font is the box's).
std::array<PlacedText, StatusTexts> PlaceTexts(int32_t x, int32_t y, int32_t w, int32_t h, const std::string& runStatus,
                                               const std::string& lastSweepEnd, const std::string& vc,
                                               const std::string& vr, const std::string& ic, const std::string& vb) {
  std::array<PlacedText, StatusTexts> placed;
  int k = 0;
  auto put = [&](double left, double f, std::string text, const std::string& heightOf) {
    PlacedText& p = placed[k++];
    p.Left = left;
    p.Top = y + h * f - Height(heightOf) / 2;
    p.Area = platform::TextPaintedArea(p.Left, p.Top, text);
    p.Text = std::move(text);
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
  return placed;
}

PaintedArea Union(const PaintedArea& a, const PaintedArea& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

bool Overlap(const PaintedArea& a, const PaintedArea& b) {
  return !a.Empty() && !b.Empty() && a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

bool Inside(const PaintedArea& a, const PaintedArea& box) {
  return a.Left >= box.Left && a.Top >= box.Top && a.Right <= box.Right && a.Bottom <= box.Bottom;
}

// Where the texts changed since the last painting, each the place of its old and new
// text together; false when a change cannot be painted alone: the box looks otherwise,
// or a changed text's place leaves the box's inside or meets another text, whose pixels
// the full painting would paint in an order a repaint of that place alone could break.
bool ChangedPlaces(const BoxLook& look, const std::array<PlacedText, StatusTexts>& texts,
                   std::array<PaintedArea, StatusTexts>& places) {
  if (!last.Valid || !(last.Look == look)) return false;
  const PaintedArea inside{look.X + 1, look.Y + 1, look.X + look.W - 1, look.Y + look.H - 1};
  for (int k = 0; k < StatusTexts; ++k) {
    places[k] = {};
    if (texts[k] == last.Texts[k]) continue;
    places[k] = Union(texts[k].Area, last.Texts[k].Area);
    if (!Inside(places[k], inside)) return false;
    for (int other = 0; other < StatusTexts; ++other) {
      if (other == k) continue;
      if (Overlap(places[k], texts[other].Area) || Overlap(places[k], last.Texts[other].Area)) return false;
    }
  }
  return true;
}

}  // namespace

// ---- painting ----

int32_t DrawRunStatusPanel(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoneId, const std::string& runStatus,
                           const std::string& lastSweepEnd, const std::string& vc, const std::string& vr,
                           const std::string& ic, const std::string& vb, Colour textColour, Colour fillColour,
                           Colour borderColour, bool overLast) {
  SetHotZone(zoneId, x, x + w, y, y + h);
  if (!platform::StartDrawing(CanvasImage)) {
    last.Valid = false;
    return 0;
  }
  platform::SelectFont(frame::FontButtonSmall);
  const BoxLook look{platform::ImageSerial(CanvasImage), x, y, w, h, textColour, fillColour, borderColour};
  std::array<PlacedText, StatusTexts> texts = PlaceTexts(x, y, w, h, runStatus, lastSweepEnd, vc, vr, ic, vb);

  std::array<PaintedArea, StatusTexts> places{};
  if (overLast && ChangedPlaces(look, texts, places)) {
    // Each changed place as the full painting leaves it: the box's fill, then its text.
    for (int k = 0; k < StatusTexts; ++k) {
      const PaintedArea& p = places[k];
      if (p.Empty()) continue;
      DrawBox(p.Left, p.Top, p.Right - p.Left, p.Bottom - p.Top, fillColour);
      Text(texts[k].Left, texts[k].Top, texts[k].Text, textColour, fillColour);
    }
  } else {
    DrawBox(x, y, w, h, borderColour);
    DrawBox(x + 1, y + 1, w - 2, h - 2, fillColour);
    for (const PlacedText& t : texts) Text(t.Left, t.Top, t.Text, textColour, fillColour);
  }
  platform::StopDrawing();
  last.Valid = true;
  last.Look = look;
  last.Texts = std::move(texts);
  return 0;
}

}  // namespace zolt::screen
