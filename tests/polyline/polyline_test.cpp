// Polylines through whole-pixel points: coverage across and along a stroke, round caps,
// no build-up where segments overlap, short (stamped) and long (scanned) segments
// agreeing, clipping, alpha and the colour's byte order.
#include <gtest/gtest.h>

#include <vector>

#include "platform/draw.h"

namespace zolt::platform {
namespace {

constexpr int Img = 31;
constexpr Colour Red = MakeColour(255, 0, 0);
constexpr uint32_t OpaqueRed = 0xFF0000FFu;  // 0xAABBGGRR

class Polyline : public ::testing::Test {
 protected:
  void SetUp() override { Reset(200, 120); }
  void TearDown() override {
    StopDrawing();
    FreeImage(Img);
  }
  void Reset(int width, int height) {
    StopDrawing();
    ASSERT_TRUE(CreateImage(Img, width, height));
    ASSERT_TRUE(StartDrawing(Img));
  }
  void Stroke(std::vector<PixelPoint> points, double width = 2, uint32_t rgba = OpaqueRed) {
    StrokePixelPolyline(points.data(), static_cast<int>(points.size()), rgba, width);
  }
  int RedAt(int x, int y) { return RedOf(ImagePixel(Img, x, y)); }
  std::vector<Colour> Pixels() {
    std::vector<Colour> all;
    for (int y = 0; y < ImageHeight(Img); ++y)
      for (int x = 0; x < ImageWidth(Img); ++x) all.push_back(ImagePixel(Img, x, y));
    return all;
  }
};

TEST_F(Polyline, TwoPixelStrokeCoversItsCentreRowAndHalfOfEachSide) {
  Stroke({{10, 10}, {30, 10}});
  for (int x = 10; x <= 30; ++x) {
    EXPECT_EQ(ImagePixel(Img, x, 10), Red) << x;
    EXPECT_NEAR(RedAt(x, 9), 128, 1) << x;
    EXPECT_NEAR(RedAt(x, 11), 128, 1) << x;
    EXPECT_EQ(RedAt(x, 8), 0) << x;
  }
  // Round caps reach one pixel past each end.
  EXPECT_NEAR(RedAt(9, 10), 128, 1);
  EXPECT_NEAR(RedAt(31, 10), 128, 1);
  EXPECT_EQ(RedAt(8, 10), 0);
  EXPECT_GT(RedAt(9, 9), 0);
  EXPECT_LT(RedAt(9, 9), 128);
}

TEST_F(Polyline, OverlappingSegmentsDoNotBuildUp) {
  Stroke({{10, 10}, {30, 10}, {31, 11}, {10, 10}, {30, 10}});
  const std::vector<Colour> back_and_forth = Pixels();
  Reset(200, 120);
  Stroke({{10, 10}, {30, 10}, {31, 11}, {10, 10}});
  EXPECT_EQ(Pixels(), back_and_forth);
  EXPECT_NEAR(RedAt(20, 9), 128, 1);
}

TEST_F(Polyline, ShortAndLongSegmentsAgree) {
  // A line of 40 x 20 px drawn in one piece is scanned; in steps of (2, 1) it is stamped.
  Stroke({{20, 20}, {60, 40}});
  const std::vector<Colour> whole = Pixels();
  Reset(200, 120);
  std::vector<PixelPoint> steps;
  for (int i = 0; i <= 20; ++i) steps.push_back({20 + 2 * i, 20 + i});
  Stroke(steps);
  EXPECT_EQ(Pixels(), whole);
  for (double width : {1.0, 3.0, 5.0}) {
    Reset(200, 120);
    Stroke({{20, 20}, {60, 40}}, width);
    const std::vector<Colour> wide = Pixels();
    Reset(200, 120);
    Stroke(steps, width);
    EXPECT_EQ(Pixels(), wide) << width;
  }
}

TEST_F(Polyline, APathThatNeverLeavesItsPixelIsADot) {
  Stroke({{50, 50}, {50, 50}, {50, 50}});
  EXPECT_EQ(ImagePixel(Img, 50, 50), Red);
  EXPECT_NEAR(RedAt(51, 50), 128, 1);
  EXPECT_NEAR(RedAt(50, 49), 128, 1);
  EXPECT_EQ(RedAt(52, 50), 0);
  Stroke({{100, 50}});
  EXPECT_EQ(ImagePixel(Img, 100, 50), Red);
}

TEST_F(Polyline, WideStrokesWithoutStamps) {
  Stroke({{100, 60}, {100, 60}}, 40);
  EXPECT_EQ(ImagePixel(Img, 100, 60), Red);
  EXPECT_EQ(ImagePixel(Img, 119, 60), Red);
  EXPECT_NEAR(RedAt(120, 60), 128, 1);
  EXPECT_EQ(RedAt(121, 60), 0);
  EXPECT_EQ(RedAt(100, 81), 0);
}

TEST_F(Polyline, StrokesAreClippedToTheImage) {
  Stroke({{-1000000, 5}, {1000000, 5}});
  EXPECT_EQ(ImagePixel(Img, 0, 5), Red);
  EXPECT_EQ(ImagePixel(Img, 199, 5), Red);
  Stroke({{0, 0}, {1, 1}, {199, 119}, {198, 119}, {-3, 119}});
  EXPECT_EQ(ImagePixel(Img, 0, 0), Red);
  EXPECT_EQ(ImagePixel(Img, 199, 119), Red);
  EXPECT_EQ(ImagePixel(Img, 0, 119), Red);
  Stroke({{-50, -50}, {-40, -45}});  // wholly outside: nothing
  EXPECT_EQ(RedAt(0, 60), 0);

  // Images narrower than a row of stamp cells, or lower than a stamp (a window shrunk
  // to a sliver): short segments at the edges stay on their own rows and inside.
  Reset(10, 30);
  Stroke({{0, 10}, {1, 10}});
  Stroke({{8, 20}, {9, 20}});
  EXPECT_EQ(ImagePixel(Img, 0, 10), Red);
  EXPECT_EQ(ImagePixel(Img, 9, 20), Red);
  EXPECT_EQ(RedAt(9, 9), 0);
  EXPECT_EQ(RedAt(0, 21), 0);
  Reset(200, 2);
  Stroke({{5, 1}, {7, 1}});
  EXPECT_EQ(ImagePixel(Img, 6, 1), Red);
  Reset(1, 1);
  Stroke({{0, 0}, {1, 1}});
  EXPECT_EQ(ImagePixel(Img, 0, 0), Red);
}

TEST_F(Polyline, AlphaAndColourOrder) {
  Stroke({{10, 30}, {50, 30}}, 2, 0x80FF0000u);  // blue at half alpha
  const Colour c = ImagePixel(Img, 30, 30);
  EXPECT_EQ(RedOf(c), 0);
  EXPECT_NEAR(BlueOf(c), 128, 1);
  Stroke({{10, 40}, {50, 40}}, 2, 0xFF00FF00u);
  EXPECT_EQ(ImagePixel(Img, 30, 40), MakeColour(0, 255, 0));
}

TEST_F(Polyline, ImagesOfAnotherSizeAndNothingOutsideABatch) {
  Reset(40, 30);
  Stroke({{5, 5}, {35, 25}});
  EXPECT_EQ(ImagePixel(Img, 5, 5), Red);
  EXPECT_EQ(ImagePixel(Img, 35, 25), Red);
  Reset(200, 120);
  Stroke({{5, 5}, {35, 25}});
  EXPECT_EQ(ImagePixel(Img, 35, 25), Red);
  StopDrawing();
  const std::vector<Colour> before = Pixels();
  Stroke({{60, 60}, {90, 60}});
  EXPECT_EQ(Pixels(), before);
}

}  // namespace
}  // namespace zolt::platform
