// Fonts and text (face resolution, sizing by dots per inch, the opaque box, rotation)
// and stroked paths (caps, dashes, dots, alpha).
#include <gtest/gtest.h>

#include <cmath>

#include "platform/draw.h"

namespace zolt::platform {
namespace {

constexpr int Img = 30;
constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Blue = MakeColour(0, 0, 255);
constexpr Colour Grey = MakeColour(9, 9, 9);

// The bounding box of the pixels that differ from `background`; false when none do.
bool InkBox(int image, Colour background, int& left, int& top, int& right, int& bottom) {
  left = top = 1 << 30;
  right = bottom = -1;
  for (int y = 0; y < ImageHeight(image); ++y)
    for (int x = 0; x < ImageWidth(image); ++x)
      if (ImagePixel(image, x, y) != background) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  return right >= 0;
}

double WidthIn(const std::string& face, int points, int style, const std::string& text) {
  LoadFont(40, face, points, style);
  SelectFont(40);
  return TextWidth(text);
}

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDisplayDpi(96, 96);
    ASSERT_TRUE(CreateImage(Img, 200, 80));
    ASSERT_TRUE(StartDrawing(Img));
    DrawBox(0, 0, 200, 80, Grey);
  }
  void TearDown() override {
    StopDrawing();
    FreeImage(Img);
    SetDisplayDpi(96, 96);
  }
};

TEST_F(Text, FacesResolveToTheirMetricCompatibleSubstitutes) {
  const std::string sample = "Collector Supply 0123456789";
  EXPECT_EQ(WidthIn("Calibri", 11, FontHighQuality, sample), WidthIn("Carlito", 11, FontHighQuality, sample));
  EXPECT_EQ(WidthIn("Calibri", 13, FontBold, sample), WidthIn("Carlito", 13, FontBold, sample));
  EXPECT_EQ(WidthIn("Arial Bold", 10, FontBold, sample), WidthIn("Liberation Sans", 10, FontBold, sample));
  EXPECT_GT(WidthIn("Calibri", 11, FontBold, sample), WidthIn("Calibri", 11, FontPlain, sample));
}

TEST_F(Text, SizeFollowsTheVerticalDotsPerInch) {
  LoadFont(41, "Calibri", 20, FontPlain);
  SelectFont(41);
  const double height96 = TextHeight("Ag");
  const double width96 = TextWidth("Ag");
  EXPECT_GE(height96, 26);  // at least the 26.7 px em of a 20 point face at 96 dpi
  EXPECT_LE(height96, 34);
  SetDisplayDpi(96, 144);
  LoadFont(41, "Calibri", 20, FontPlain);
  EXPECT_NEAR(TextHeight("Ag") / height96, 1.5, 0.08);
  EXPECT_NEAR(TextWidth("Ag") / width96, 1.5, 0.15);
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_GT(TextHeight(""), 0);  // an empty text still has the line height
}

TEST_F(Text, OpaqueTextFillsExactlyItsLogicalBox) {
  LoadFont(42, "Calibri", 11, FontPlain);
  SelectFont(42);
  const int w = static_cast<int>(TextWidth("  "));
  const int h = static_cast<int>(TextHeight("  "));
  DrawText(10.4, 20.5, "  ", White, Blue);  // 10.4 -> 10, 20.5 -> 20 (ties to even)
  int left, top, right, bottom;
  ASSERT_TRUE(InkBox(Img, Grey, left, top, right, bottom));
  EXPECT_EQ(left, 10);
  EXPECT_EQ(top, 20);
  EXPECT_EQ(right, 10 + w - 1);
  EXPECT_EQ(bottom, 20 + h - 1);
  EXPECT_EQ(ImagePixel(Img, 10, 20), Blue);
  EXPECT_EQ(ImagePixel(Img, right, bottom), Blue);
}

TEST_F(Text, PlainTextUsesOnlyItsTwoColoursAndHighQualityBlends) {
  auto coloursUsed = [](bool onlyTwo) {
    bool other = false, front = false;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 200; ++x) {
        const Colour c = ImagePixel(Img, x, y);
        if (c == White) front = true;
        else if (c != Blue && c != Grey) other = true;
      }
    return onlyTwo ? (front && !other) : other;
  };
  LoadFont(43, "Calibri", 11, FontPlain);
  SelectFont(43);
  DrawText(5, 5, "Run Status", White, Blue);
  EXPECT_TRUE(coloursUsed(true));
  DrawBox(0, 0, 200, 80, Grey);
  LoadFont(44, "Calibri", 11, FontHighQuality);
  SelectFont(44);
  DrawText(5, 5, "Run Status", White, Blue);
  EXPECT_TRUE(coloursUsed(false));
}

TEST_F(Text, TransparentBackAndRotatedTextPaintOnlyGlyphs) {
  LoadFont(45, "Calibri", 11, FontPlain);
  SelectFont(45);
  DrawText(5, 5, "    ", White, NoBack);
  int left, top, right, bottom;
  EXPECT_FALSE(InkBox(Img, Grey, left, top, right, bottom));
  const double width = TextWidth("Volts");
  const double height = TextHeight("Volts");
  DrawRotatedText(100, 70, "Volts", 90, White);  // reads upward from (100, 70)
  ASSERT_TRUE(InkBox(Img, Grey, left, top, right, bottom));
  EXPECT_GE(left, 100);
  EXPECT_LE(right, 100 + height);
  EXPECT_LE(bottom, 70);
  EXPECT_GE(top, 70 - width - 1);
  EXPECT_GT(bottom - top, right - left);  // tall and narrow
}

TEST_F(Text, TextFarOutsideTheImageLeavesItUntouched) {
  LoadFont(46, "Calibri", 20, FontBold);
  SelectFont(46);
  const double far = 16777216.0;  // beyond this the drawing library's coordinates wrap
  DrawText(far + 50, 10, "HELLO", White, NoBack);
  DrawText(50, far + 10, "HELLO", White, NoBack);
  DrawText(-far - 50, 10, "HELLO", White, Blue);
  DrawText(1e12, -1e12, "HELLO", White, Blue);
  DrawRotatedText(far + 50, 70, "HELLO", 90, White);
  DrawRotatedText(50, -far + 70, "HELLO", 90, White);
  int left, top, right, bottom;
  EXPECT_FALSE(InkBox(Img, Grey, left, top, right, bottom));
  DrawText(-TextWidth("HELLO") + 1, 10, "HELLO", White, Blue);  // one column still inside
  EXPECT_EQ(ImagePixel(Img, 0, 10), Blue);
}

TEST_F(Text, SelectingAMissingFontFallsBackToTheDefault) {
  SelectFont(MaxFonts - 1);
  EXPECT_GT(TextWidth("abc"), 0);
  SelectFont(-3);
  EXPECT_GT(TextHeight("abc"), 0);
  DrawText(0, 0, std::string("bad \xff\xfe bytes"), White, Blue);  // not UTF-8: still drawn
  int left, top, right, bottom;
  EXPECT_TRUE(InkBox(Img, Grey, left, top, right, bottom));
}

class Paths : public Text {};

TEST_F(Paths, SolidOnePixelLineCoversItsRowOnly) {
  const PathPoint line[] = {{10, 40}, {60, 40}};
  StrokePath(line, 2, 0xFF000000u | White, 1.0, StrokeStyle::Solid);
  for (int x = 11; x < 60; ++x) EXPECT_EQ(ImagePixel(Img, x, 40), White) << x;  // ends: round caps
  EXPECT_EQ(ImagePixel(Img, 8, 40), Grey);
  EXPECT_EQ(ImagePixel(Img, 62, 40), Grey);
  EXPECT_EQ(ImagePixel(Img, 30, 39), Grey);
  EXPECT_EQ(ImagePixel(Img, 30, 41), Grey);
}

TEST_F(Paths, DashesAndDotsLeaveGapsAndAlphaBlends) {
  const PathPoint line[] = {{10, 20}, {190, 20}};
  auto countOn = [](int y) {
    int on = 0;
    for (int x = 0; x < 200; ++x) on += ImagePixel(Img, x, y) != Grey;
    return on;
  };
  StrokePath(line, 2, 0xFF000000u | White, 2.0, StrokeStyle::Solid);
  const int solid = countOn(20);
  DrawBox(0, 0, 200, 80, Grey);
  StrokePath(line, 2, 0xFF000000u | White, 2.0, StrokeStyle::Dash);
  const int dashed = countOn(20);
  DrawBox(0, 0, 200, 80, Grey);
  StrokePath(line, 2, 0xFF000000u | White, 2.0, StrokeStyle::Dot);
  const int dotted = countOn(20);
  EXPECT_GT(solid, dashed);
  EXPECT_GT(dashed, dotted);
  EXPECT_GT(dotted, 0);

  DrawBox(0, 0, 200, 80, Blue);
  const PathPoint row[] = {{10, 60}, {100, 60}};
  StrokePath(row, 2, 0x80000000u | MakeColour(255, 0, 0), 1.0, StrokeStyle::Solid);
  const Colour c = ImagePixel(Img, 50, 60);
  EXPECT_NEAR(RedOf(c), 128, 2);
  EXPECT_NEAR(BlueOf(c), 127, 2);
}

TEST_F(Paths, PointsThatAreNotNumbersBreakThePathWithoutHarm) {
  const PathPoint points[] = {{10, 10}, {50, 10}, {NAN, 5}, {60, 30}, {1e300, 30}};
  StrokePath(points, 5, 0xFF000000u | White, 1.0, StrokeStyle::Solid);
  EXPECT_EQ(ImagePixel(Img, 30, 10), White);
  EXPECT_EQ(ImagePixel(Img, 150, 30), White);
  EXPECT_EQ(ImagePixel(Img, 55, 20), Grey);  // no segment across the gap
  DrawBox(0, 0, 5, 5, White);  // the drawing target still works
  EXPECT_EQ(ImagePixel(Img, 0, 0), White);
}

}  // namespace
}  // namespace zolt::platform
