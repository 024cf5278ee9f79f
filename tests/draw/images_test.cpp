// Images: creation, pixels, PNG files and drawing one image into another with alpha.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "support/temp_folder.h"

namespace zolt::platform {
namespace {

constexpr Colour Red = MakeColour(255, 0, 0);
constexpr Colour Blue = MakeColour(0, 0, 255);

// A 2 x 1 PNG with alpha: an opaque green pixel and a red one at alpha 128.
const unsigned char AlphaPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xf4,
    0x22, 0x7f, 0x8a, 0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0x60,
    0xf8, 0xcf, 0xf0, 0xff, 0x3f, 0x03, 0x43, 0x03, 0x00, 0x10, 0x79, 0x03, 0x7e, 0x20, 0x86,
    0x9c, 0xda, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TEST(Images, CreatedBlackAndFreed) {
  ASSERT_TRUE(CreateImage(10, 3, 2));
  EXPECT_TRUE(IsImage(10));
  EXPECT_EQ(ImageWidth(10), 3);
  EXPECT_EQ(ImageHeight(10), 2);
  EXPECT_EQ(ImagePixel(10, 2, 1), 0u);
  EXPECT_EQ(ImagePixel(10, 3, 1), 0u);
  int stride = 0;
  EXPECT_NE(ImageData(10, &stride), nullptr);
  EXPECT_GE(stride, 12);
  FreeImage(10);
  EXPECT_FALSE(IsImage(10));
  EXPECT_EQ(ImageWidth(10), 0);
  EXPECT_EQ(ImageData(10, &stride), nullptr);
  EXPECT_FALSE(CreateImage(-1, 3, 2));
  EXPECT_FALSE(CreateImage(MaxImages, 3, 2));
  EXPECT_FALSE(CreateImage(10, 0, 2));
}

TEST(Images, PngRoundTripKeepsEveryPixel) {
  testing::TempFolder folder;
  ASSERT_TRUE(CreateImage(11, 5, 4));
  ASSERT_TRUE(StartDrawing(11));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) DrawPoint(x, y, MakeColour(x * 50, y * 60, 255 - x * y));
  StopDrawing();
  ASSERT_TRUE(SavePngImage(11, "round.png"));
  ASSERT_TRUE(LoadPngImage(12, "round.png"));
  ASSERT_EQ(ImageWidth(12), 5);
  ASSERT_EQ(ImageHeight(12), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(ImagePixel(12, x, y), ImagePixel(11, x, y)) << x << "," << y;
  EXPECT_FALSE(LoadPngImage(13, "missing.png"));
  EXPECT_FALSE(IsImage(13));
  testing::WriteFile("broken.png", "not a png at all");
  EXPECT_FALSE(LoadPngImage(13, "broken.png"));
  EXPECT_FALSE(SavePngImage(13, "nothing.png"));
  FreeImage(11);
  FreeImage(12);
}

TEST(Images, AlphaIsKeptThroughLoadSaveAndBlendedWhenDrawn) {
  testing::TempFolder folder;
  testing::WriteFile("alpha.png", std::string(reinterpret_cast<const char*>(AlphaPng), sizeof AlphaPng));
  ASSERT_TRUE(LoadPngImage(20, "alpha.png"));
  EXPECT_EQ(ImagePixel(20, 0, 0), MakeColour(0, 255, 0));
  EXPECT_EQ(ImagePixel(20, 1, 0), Red);
  ASSERT_TRUE(SavePngImage(20, "again.png"));
  ASSERT_TRUE(LoadPngImage(21, "again.png"));

  ASSERT_TRUE(CreateImage(22, 4, 2));
  ASSERT_TRUE(StartDrawing(22));
  DrawBox(0, 0, 4, 2, Blue);
  DrawImage(21, 1, 1);
  DrawImage(21, 3, -5);  // wholly outside: nothing
  DrawImage(99, 0, 0);   // missing image: nothing
  StopDrawing();
  EXPECT_EQ(ImagePixel(22, 1, 1), MakeColour(0, 255, 0));
  const Colour blended = ImagePixel(22, 2, 1);
  EXPECT_NEAR(RedOf(blended), 128, 1);
  EXPECT_EQ(GreenOf(blended), 0);
  EXPECT_NEAR(BlueOf(blended), 127, 1);
  EXPECT_EQ(ImagePixel(22, 1, 0), Blue);
  EXPECT_EQ(ImagePixel(22, 3, 1), Blue);
  FreeImage(20);
  FreeImage(21);
  FreeImage(22);
}

TEST(Images, RectanglesCopyBetweenImagesAndEachImageHasItsOwnSerial) {
  ASSERT_TRUE(CreateImage(23, 8, 8));
  ASSERT_TRUE(CreateImage(24, 6, 6));
  const uint64_t first = ImageSerial(23);
  EXPECT_NE(first, 0u);
  EXPECT_NE(ImageSerial(24), first);
  ASSERT_TRUE(StartDrawing(23));
  DrawBox(0, 0, 8, 8, Red);
  StopDrawing();
  CopyImageRect(23, 24, 4, -2, 10, 4);  // clipped to both images
  EXPECT_EQ(ImagePixel(24, 4, 0), Red);
  EXPECT_EQ(ImagePixel(24, 5, 1), Red);
  EXPECT_EQ(ImagePixel(24, 3, 0), 0u);
  EXPECT_EQ(ImagePixel(24, 4, 2), 0u);
  ASSERT_TRUE(CreateImage(23, 8, 8));  // made anew: another serial
  EXPECT_NE(ImageSerial(23), first);
  FreeImage(23);
  EXPECT_EQ(ImageSerial(23), 0u);
  FreeImage(24);
}

// Every pixel a drawing changes lies within what it notes, for the image's changed parts,
// for a noting around it and among the places a listing keeps apart; texts and strokes
// included. A steep-then-flat polyline is listed in pieces that leave its far corner out.
TEST(Images, DrawingNotesWhatItChanges) {
  ASSERT_TRUE(CreateImage(25, 200, 100));
  EXPECT_EQ(TakeChangedAreas(25).size(), 1u);  // all of a new image
  EXPECT_TRUE(TakeChangedAreas(25).empty());
  ASSERT_TRUE(LoadFont(42, "Calibri", 20, FontPlain | FontHighQuality));
  const PixelPoint line[] = {{10, 80}, {60, 20}, {120, 70}};
  const PixelPoint bend[] = {{10, 95}, {12, 5}, {195, 8}};
  const PathPoint path[] = {{130, 10}, {190, 90}};
  const std::function<void()> drawings[] = {
      [] { DrawBox(5, 5, 10, 10, Red); },
      [] { DrawLine(199, 0, 150, 99, Red); },
      [] { DrawCircle(50, 50, 6, Red); },
      [] { SelectFont(42); DrawText(20, 30, "Wjg\xC3\x85", Red, NoBack); },
      [] { SelectFont(42); DrawRotatedText(100, 90, "Wjg", 90, Red); },
      [&line] { StrokePixelPolyline(line, 3, 0xFF0000FFu, 3.0); },
      [&bend] { StrokePixelPolyline(bend, 3, 0xFF0000FFu, 3.0); },
      [&path] { StrokePath(path, 2, 0xFF0000FFu, 4.0, StrokeStyle::Dash); },
  };
  for (const auto& draw : drawings) {
    ASSERT_TRUE(StartDrawing(25));
    DrawBox(0, 0, 200, 100, 0);
    StopDrawing();
    TakeChangedAreas(25);
    ASSERT_TRUE(StartDrawing(25));
    StartListingPaint();
    StartNotingPaint();
    StartNotingPaint();
    draw();
    const PaintedArea inner = StopNotingPaint();
    const PaintedArea outer = StopNotingPaint();
    const std::vector<PaintedArea> listed = StopListingPaint();
    StopDrawing();
    const std::vector<PaintedArea> changed = TakeChangedAreas(25);
    EXPECT_FALSE(inner.Empty());
    EXPECT_TRUE(outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right &&
                outer.Bottom >= inner.Bottom);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        if (ImagePixel(25, x, y) == 0) continue;
        const auto holds = [x, y](const PaintedArea& a) {
          return a.Left <= x && x < a.Right && a.Top <= y && y < a.Bottom;
        };
        ASSERT_TRUE(holds(inner)) << x << "," << y;
        ASSERT_TRUE(std::any_of(changed.begin(), changed.end(), holds)) << x << "," << y;
        ASSERT_TRUE(std::any_of(listed.begin(), listed.end(), holds)) << x << "," << y;
      }
    if (&draw == &drawings[6]) {
      EXPECT_FALSE(std::any_of(listed.begin(), listed.end(), [](const PaintedArea& a) {
        return a.Left <= 150 && 150 < a.Right && a.Top <= 80 && 80 < a.Bottom;
      }));
    }
  }
  FreeImage(25);
}

}  // namespace
}  // namespace zolt::platform
