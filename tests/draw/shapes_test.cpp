// Pixel-exact shapes: boxes, lines with both ends, filled circles, points, clipping.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/draw.h"

namespace zolt::platform {
namespace {

constexpr int Img = 100;
constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Red = MakeColour(255, 0, 0);

using Pixels = std::set<std::pair<int, int>>;

// The set of pixels that are not black.
Pixels Painted(int image) {
  Pixels out;
  for (int y = 0; y < ImageHeight(image); ++y)
    for (int x = 0; x < ImageWidth(image); ++x)
      if (ImagePixel(image, x, y) != 0) out.insert({x, y});
  return out;
}

class Shapes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateImage(Img, 20, 16));
    ASSERT_TRUE(StartDrawing(Img));
  }
  void TearDown() override {
    StopDrawing();
    FreeImage(Img);
  }
};

TEST_F(Shapes, BoxCoversExactlyItsWidthTimesHeight) {
  DrawBox(2, 3, 4, 2, Red);
  Pixels expected;
  for (int y = 3; y < 5; ++y)
    for (int x = 2; x < 6; ++x) expected.insert({x, y});
  EXPECT_EQ(Painted(Img), expected);
  EXPECT_EQ(ImagePixel(Img, 2, 3), Red);
}

TEST_F(Shapes, BoxWithoutWidthOrHeightPaintsNothingAndBoxesClip) {
  DrawBox(2, 3, 0, 5, Red);
  DrawBox(2, 3, 5, 0, Red);
  DrawBox(2, 3, -4, 5, Red);
  EXPECT_TRUE(Painted(Img).empty());
  DrawBox(-5, -5, 7, 6, White);          // top-left corner only
  DrawBox(18, 15, 1000000, 1000000, White);  // bottom-right corner only
  EXPECT_EQ(Painted(Img), (Pixels{{0, 0}, {1, 0}, {18, 15}, {19, 15}}));
}

TEST_F(Shapes, LinesIncludeBothEnds) {
  DrawLine(1, 1, 5, 1, White);  // horizontal
  DrawLine(8, 5, 8, 2, White);  // vertical, drawn upward
  DrawLine(10, 10, 10, 10, White);  // a single pixel
  EXPECT_EQ(Painted(Img), (Pixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {10, 10}}));
}

TEST_F(Shapes, SlopedLinesStepOnePixelPerMajorStep) {
  DrawLine(0, 0, 4, 4, White);
  EXPECT_EQ(Painted(Img), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
  DrawBox(0, 0, 20, 16, 0);
  DrawLine(0, 0, 6, 2, White);  // shallow: one pixel per column, rounded to the line
  EXPECT_EQ(Painted(Img), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}}));
  DrawBox(0, 0, 20, 16, 0);
  DrawLine(6, 2, 0, 0, White);  // the same line drawn backwards
  EXPECT_EQ(Painted(Img), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}}));
}

TEST_F(Shapes, LinesFromFarOutsideClipToTheImage) {
  DrawLine(-2000000000, 7, 2000000000, 7, White);
  DrawLine(3, -2000000000, 3, 2000000000, Red);
  const Pixels painted = Painted(Img);
  EXPECT_EQ(painted.size(), 20u + 16u - 1u);
  EXPECT_EQ(ImagePixel(Img, 0, 7), White);
  EXPECT_EQ(ImagePixel(Img, 19, 7), White);
  EXPECT_EQ(ImagePixel(Img, 3, 0), Red);
  EXPECT_EQ(ImagePixel(Img, 3, 15), Red);
}

TEST_F(Shapes, FilledCirclesAreTwoRadiiPlusOneAcross) {
  DrawCircle(5, 5, 0, White);
  EXPECT_EQ(Painted(Img), (Pixels{{5, 5}}));
  DrawCircle(10, 5, 1, White);
  EXPECT_EQ(Painted(Img).size(), 1u + 9u);  // radius 1: a 3 x 3 dot
  DrawBox(0, 0, 20, 16, 0);
  DrawCircle(8, 8, 3, White);
  const Pixels painted = Painted(Img);
  EXPECT_EQ(painted.count({5, 8}), 1u);
  EXPECT_EQ(painted.count({11, 8}), 1u);
  EXPECT_EQ(painted.count({8, 5}), 1u);
  EXPECT_EQ(painted.count({8, 11}), 1u);
  EXPECT_EQ(painted.count({4, 8}), 0u);
  EXPECT_EQ(painted.count({5, 5}), 0u);  // corners stay round
  EXPECT_EQ(painted.count({6, 6}), 1u);
  DrawCircle(8, 8, -1, Red);
  EXPECT_EQ(ImagePixel(Img, 8, 8), White);
}

TEST_F(Shapes, PointsAndNothingOutsideABatch) {
  DrawPoint(19, 15, White);
  DrawPoint(20, 15, White);
  DrawPoint(-1, 0, White);
  EXPECT_EQ(Painted(Img), (Pixels{{19, 15}}));
  StopDrawing();
  DrawBox(0, 0, 5, 5, Red);
  DrawLine(0, 0, 5, 5, Red);
  DrawPoint(1, 1, Red);
  EXPECT_EQ(Painted(Img), (Pixels{{19, 15}}));
  EXPECT_FALSE(StartDrawing(Img + 1));  // a missing image cannot be the target
  DrawBox(0, 0, 5, 5, Red);
  EXPECT_EQ(Painted(Img), (Pixels{{19, 15}}));
}

TEST_F(Shapes, RecreatingTheTargetKeepsDrawingOnTheNewImage) {
  ASSERT_TRUE(CreateImage(Img, 8, 8));
  DrawBox(0, 0, 8, 8, Red);
  EXPECT_EQ(ImagePixel(Img, 7, 7), Red);
  EXPECT_EQ(ImageWidth(Img), 8);
}

}  // namespace
}  // namespace zolt::platform
