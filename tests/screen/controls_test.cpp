// Painted controls: their geometry, the zones they register and the colours they paint.
#include <gtest/gtest.h>

#include "frame/fonts.h"
#include "frame/translate.h"
#include "platform/draw.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "screen_fixture.h"

namespace zolt::screen {
namespace {

using platform::ImagePixel;

constexpr Colour Accent = MakeColour(200, 10, 10);
constexpr Colour Border = MakeColour(10, 200, 10);
constexpr Colour Fill = MakeColour(10, 10, 200);
constexpr Colour Untouched = MakeColour(1, 2, 3);

void ExpectZone(int32_t id, int32_t left, int32_t right, int32_t top, int32_t bottom) {
  EXPECT_EQ(HotZone[id].Left, left) << "zone " << id;
  EXPECT_EQ(HotZone[id].Right, right) << "zone " << id;
  EXPECT_EQ(HotZone[id].Top, top) << "zone " << id;
  EXPECT_EQ(HotZone[id].Bottom, bottom) << "zone " << id;
}

// Whether any pixel of the rectangle (inclusive) has the colour.
bool AnyPixel(int left, int top, int right, int bottom, Colour colour) {
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      if (ImagePixel(CanvasImage, x, y) == colour) return true;
  return false;
}

class Controls : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE(platform::CreateImage(CanvasImage, 640, 480));
    platform::StartDrawing(CanvasImage);
    platform::DrawBox(0, 0, 640, 480, Untouched);
    platform::StopDrawing();
  }
  void TearDown() override {
    platform::FreeImage(CanvasImage);
    ScreenTest::TearDown();
  }
};

TEST_F(Controls, ValueControlIsAlways72HighWithHalvesOfItsWidth) {
  HotZoneText[16] = "1.5 V";
  DrawValueControl(100, 50, 150, 40, 13, "-+", Accent);
  // half = 50: columns 101, 125, 175, 225, 249; rows 51, 69, 103, 121.
  ExpectZone(14, 101, 125, 51, 121);
  ExpectZone(15, 225, 249, 51, 121);
  ExpectZone(16, 125, 225, 69, 103);
  ExpectZone(17, 125, 175, 51, 69);
  ExpectZone(18, 175, 225, 51, 69);
  ExpectZone(19, 125, 175, 103, 121);
  ExpectZone(20, 175, 225, 103, 121);
  EXPECT_EQ(ImagePixel(CanvasImage, 100, 121), Accent);  // frame corners
  EXPECT_EQ(ImagePixel(CanvasImage, 249, 50), Accent);
  EXPECT_EQ(ImagePixel(CanvasImage, 249, 121), Accent);
  EXPECT_EQ(ImagePixel(CanvasImage, 100, 122), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 250, 80), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 101, 51), ColourScheme.HighlightColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 248, 60), ColourScheme.HighlightColour);  // the increase button
  // "-" on the left and "+" on the right, in the control text colour.
  EXPECT_EQ(ImagePixel(CanvasImage, 107, 85), ColourScheme.ControlTextColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 236, 81), ColourScheme.ControlTextColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 107, 81), ColourScheme.HighlightColour);
  EXPECT_TRUE(AnyPixel(125, 69, 224, 102, ColourScheme.ControlTextColour));  // the value text
  EXPECT_EQ(ImagePixel(CanvasImage, 130, 70), ColourScheme.PanelBackColour);
}

TEST_F(Controls, ValueControlChevronsAndUnknownKinds) {
  DrawValueControl(0, 0, 150, 72, 1, "<>", Accent);
  const Colour white = MakeColour(255, 255, 255);
  EXPECT_EQ(ImagePixel(CanvasImage, 9, 35), white);   // "<" tip at (x1 + 8, y1 + 34)
  EXPECT_EQ(ImagePixel(CanvasImage, 17, 27), white);
  EXPECT_EQ(ImagePixel(CanvasImage, 141, 35), white);  // ">" tip at (x4 + 16, y1 + 34)
  DrawValueControl(0, 100, 150, 72, 1, "??", Accent);
  EXPECT_FALSE(AnyPixel(1, 101, 24, 170, white));
  EXPECT_FALSE(AnyPixel(1, 101, 24, 170, ColourScheme.ControlTextColour));
}

TEST_F(Controls, SelectedOptionDropsItsMarksAndUsesTheHeaderColour) {
  ColourScheme.HeaderSubTextColour = MakeColour(255, 255, 0);
  auto option = [](const std::string& caption) {
    HotZoneText[7] = caption;
    DrawValueControl(0, 0, 150, 72, 0, "-+", Accent);
    std::vector<Colour> cell;
    for (int y = 53; y <= 71; ++y)
      for (int x = 75; x <= 125; ++x) cell.push_back(ImagePixel(CanvasImage, x, y));
    return cell;
  };
  const auto marked = option("#Log");
  EXPECT_EQ(option("L#o#g"), marked);  // every mark removed, wherever it stands
  EXPECT_TRUE(AnyPixel(75, 53, 125, 71, ColourScheme.HeaderSubTextColour));
  const auto plain = option("Log");
  EXPECT_NE(plain, marked);
  EXPECT_FALSE(AnyPixel(75, 53, 125, 71, ColourScheme.HeaderSubTextColour));
  EXPECT_TRUE(AnyPixel(75, 53, 125, 71, ColourScheme.ControlTextColour));
}

TEST_F(Controls, StepperUsesTheWidgetUnitAndSkipsOffsetFour) {
  SetHotZone(104, -7, -7, -7, -7);
  DrawStepperControl(300, 100, 999, 999, 100, Border);
  // 141 x 72, q = 17.
  ExpectZone(100, 300, 324, 118, 171);
  ExpectZone(101, 417, 441, 118, 171);
  ExpectZone(102, 324, 417, 118, 152);
  ExpectZone(103, 325, 416, 101, 118);
  ExpectZone(105, 324, 417, 152, 169);
  ExpectZone(104, -7, -7, -7, -7);
  EXPECT_EQ(ImagePixel(CanvasImage, 440, 171), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 441, 100), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 300, 172), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 306, 143), ColourScheme.ControlTextColour);  // "-" at y 118 + 26 - 1
}

TEST_F(Controls, ToggleBarSegmentsShowTheMaskBits) {
  DrawBitToggleBar(10, 300, 200, 20, 25, 3, 5, Border);
  ExpectZone(26, 11, 77, 301, 319);
  ExpectZone(27, 77, 143, 301, 319);
  ExpectZone(28, 143, 209, 301, 319);
  EXPECT_EQ(ImagePixel(CanvasImage, 12, 302), ColourScheme.HighlightColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 80, 302), ColourScheme.PanelBackColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 146, 302), ColourScheme.HighlightColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 10, 300), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 209, 319), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 210, 310), Untouched);
  SetHotZone(31, -7, -7, -7, -7);
  DrawBitToggleBar(10, 400, 200, 20, 30, 0, 1, Border);  // no segments: only the frame
  ExpectZone(31, -7, -7, -7, -7);
  EXPECT_EQ(ImagePixel(CanvasImage, 12, 402), ColourScheme.PanelBackColour);
}

TEST_F(Controls, PanelHeaderZonesAndTheLineBelow) {
  DrawPanelHeader(0, 400, 288, 16, 37, "Cursors", "XA", Fill, Border);
  ExpectZone(45, 0, 144, 400, 416);
  ExpectZone(46, 272, 288, 400, 416);
  ExpectZone(47, 256, 272, 400, 416);
  ExpectZone(48, 144, 256, 400, 416);
  EXPECT_EQ(ImagePixel(CanvasImage, 287, 416), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 288, 416), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 143, 401), Border);
  // The settings mark: three dots at x + w - 8.
  for (int y : {403, 407, 411}) EXPECT_EQ(ImagePixel(CanvasImage, 280, y), ColourScheme.HeaderSubTextColour) << y;
  EXPECT_EQ(ImagePixel(CanvasImage, 280, 405), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 200, 415), Untouched);  // the rest is the caller's fill
}

// Long texts stay in their zones: the marks look the same whatever the texts.
TEST_F(Controls, PanelHeaderTextsAreCutOffAtTheirZones) {
  const auto columns = [](const std::string& title, const std::string& subtitle, int left) {
    platform::StartDrawing(CanvasImage);
    platform::DrawBox(0, 0, 640, 480, Untouched);
    platform::StopDrawing();
    DrawPanelHeader(0, 400, 288, 16, 37, title, subtitle, Fill, Border);
    std::vector<Colour> pixels;
    for (int y = 400; y < 416; ++y)
      for (int x = left; x < 640; ++x) pixels.push_back(ImagePixel(CanvasImage, x, y));
    return pixels;
  };
  const std::string longText(80, 'W');
  EXPECT_EQ(columns("Cursors", longText, 256), columns("Cursors", "", 256));
  EXPECT_EQ(columns(longText, "", 144), columns("Cursors", "", 144));
}

TEST_F(Controls, IconButtonZoneCoversTheImageAndItsCaptionStrip) {
  ASSERT_TRUE(platform::CreateImage(240, 24, 20));
  DrawIconButton(50, 60, 0, 0, 240, 10, "Help", "centre", "medium", Fill);
  ExpectZone(10, 50, 74, 60, 105);
  EXPECT_EQ(ImagePixel(CanvasImage, 51, 80), ColourScheme.PanelBackColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 72, 104), ColourScheme.PanelBackColour);
  EXPECT_EQ(ImagePixel(CanvasImage, 73, 104), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 51, 105), Untouched);
  platform::FreeImage(240);

  SetHotZone(11, -7, -7, -7, -7);
  DrawIconButton(50, 200, 0, 0, 240, 11, "", "centre", "large", Fill);  // the image is gone
  ExpectZone(11, -7, -7, -7, 225);

  // A centred caption with no room left of its icon starts at the canvas's edge, whole:
  // as the same caption aligned left at column 0 would be.
  const Colour ink = MakeColour(255, 255, 0);
  ASSERT_TRUE(platform::CreateImage(240, 24, 20));
  DrawIconButton(0, 300, 0, 0, 240, 12, "Disconnecting", "left", "medium", ink);
  DrawIconButton(2, 360, 0, 0, 240, 13, "Disconnecting", "centre", "medium", ink);
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 25; ++y)
      ASSERT_EQ(ImagePixel(CanvasImage, x, 324 + y) == ink, ImagePixel(CanvasImage, x, 384 + y) == ink) << x;
  platform::FreeImage(240);
}

TEST_F(Controls, TextButtonsFrameFillAndRegister) {
  DrawTextButtonLarge(20, 20, 100, 30, 700, "Run", MakeColour(255, 255, 255), Fill, Border);
  ExpectZone(700, 20, 120, 20, 50);
  EXPECT_EQ(ImagePixel(CanvasImage, 20, 20), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 119, 49), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 120, 49), Untouched);
  EXPECT_EQ(ImagePixel(CanvasImage, 21, 21), Fill);
  EXPECT_TRUE(AnyPixel(21, 21, 118, 48, MakeColour(255, 255, 255)));
  DrawTextButtonSmall(20, 100, 100, 30, 701, "Halt", MakeColour(255, 255, 255), Fill, Border);
  ExpectZone(701, 20, 120, 100, 130);
  EXPECT_TRUE(AnyPixel(21, 101, 40, 128, MakeColour(255, 255, 255)));  // left-aligned
  EXPECT_FALSE(AnyPixel(80, 101, 118, 128, MakeColour(255, 255, 255)));
}

TEST_F(Controls, CellRowCutsAtItsEndAndStopsAtAZeroWidth) {
  DrawCellRow(10, 10, 70, 12, Fill, MakeColour(255, 255, 255));  // first width 0
  EXPECT_FALSE(AnyPixel(0, 0, 639, 479, Fill));

  CellRowTable.CellWidth = {};
  CellRowTable.CellWidth[0] = 50;
  CellRowTable.CellWidth[1] = 30;
  CellRowTable.CellWidth[2] = 40;
  CellRowTable.CellText[2] = "beyond";
  CellRowTable.CellAlign[2] = "Left";
  CellRowTable.CellText[1] = "W";
  CellRowTable.CellAlign[1] = "Right";
  DrawCellRow(10, 10, 70, 12, Fill, MakeColour(255, 255, 255));
  EXPECT_EQ(ImagePixel(CanvasImage, 10, 10), Fill);
  EXPECT_EQ(ImagePixel(CanvasImage, 59, 21), Fill);
  EXPECT_EQ(ImagePixel(CanvasImage, 60, 15), Untouched);  // the 1-pixel gap
  EXPECT_EQ(ImagePixel(CanvasImage, 61, 10), Fill);
  EXPECT_EQ(ImagePixel(CanvasImage, 80, 15), Untouched);  // cut at x + w
  EXPECT_FALSE(AnyPixel(80, 0, 639, 479, MakeColour(255, 255, 255)));
  EXPECT_TRUE(AnyPixel(70, 10, 79, 21, MakeColour(255, 255, 255)));  // right-aligned text
  CellRowTable = {};
}

}  // namespace
}  // namespace zolt::screen

namespace zolt::screen {
namespace {

// The rightmost column in rows top..bottom whose pixel has the colour; -1 when none.
int RightmostInk(int top, int bottom, Colour colour) {
  for (int x = 639; x >= 0; --x)
    for (int y = top; y <= bottom; ++y)
      if (platform::ImagePixel(CanvasImage, x, y) == colour) return x;
  return -1;
}

class RunStatus : public Controls {
 protected:
  void TearDown() override {
    frame::SetLanguageCell(0, 1, "");
    frame::SetLanguageCell(1, 0, "");
    frame::SetLanguageCell(1, 1, "");
    frame::LanguageState.LanguageColumn = 0;
    Controls::TearDown();
  }
};

TEST_F(RunStatus, BoxRowsAndTranslatedCaptions) {
  const Colour text = MakeColour(255, 255, 255);
  DrawRunStatusPanel(10, 10, 400, 96, 640, "Idle", "Halt", "1 V", "2 V", "3 mA", "4 V", text, Fill, Border);
  ExpectZone(640, 10, 410, 10, 106);
  EXPECT_EQ(ImagePixel(CanvasImage, 10, 10), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 409, 105), Border);
  EXPECT_EQ(ImagePixel(CanvasImage, 11, 11), Fill);
  // Four rows centred at 1/8, 3/8, 5/8 and 7/8 of the height: 22, 46, 70 and 94.
  for (int centre : {22, 46, 70, 94}) EXPECT_TRUE(AnyPixel(11, centre - 3, 408, centre + 3, text)) << centre;
  // The readings' values start at 15% and 65% of the width.
  EXPECT_TRUE(AnyPixel(71, 64, 120, 76, text));
  EXPECT_TRUE(AnyPixel(271, 88, 330, 100, text));
  const int english = RightmostInk(12, 32, text);

  frame::SetLanguageCell(0, 1, "Test");
  frame::SetLanguageCell(1, 0, "Run Status");
  frame::SetLanguageCell(1, 1, "Run Status of the instrument");
  frame::LanguageState.LanguageColumn = 1;
  DrawRunStatusPanel(10, 10, 400, 96, 640, "Idle", "Halt", "1 V", "2 V", "3 mA", "4 V", text, Fill, Border);
  EXPECT_GT(RightmostInk(12, 32, text), english + 50);
}

}  // namespace
}  // namespace zolt::screen
