// Images: creation, pixels, PNG files and drawing one image into another with alpha.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace zolt::platform
