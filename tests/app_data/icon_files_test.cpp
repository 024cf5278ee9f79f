// The toolbar icons drawn by the build: every file the screen loads is there, loads,
// is a picture on a transparent background of toolbar size, and each state looks
// different from its partner.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/draw.h"

namespace zolt::platform {
namespace {

const std::string IconFolder = ZOLT_ICON_DIR;
constexpr int TestImage = 400;
constexpr int OtherImage = 401;
// Icons stand 3 widget units (72 pixels) apart on the toolbar.
constexpr int MaxIconSize = 72;

// The off/on pairs, then the files that come alone.
const char* const IconPairs[][2] = {
    {"camera_0.png", "camera_1.png"},
    {"cursorvertical_0.png", "cursorvertical_1.png"},
    {"cursorhorizontal_0.png", "cursorhorizontal_1.png"},
    {"fft_0.png", "fft_1.png"},
    {"file_0.png", "file_1.png"},
    {"help_0.png", "help_1.png"},
    {"highvoltage_0.png", "highvoltage_1.png"},
    {"play_0.png", "play_1.png"},
    {"scope_0.png", "scope_1.png"},
    {"settings_0.png", "settings_1.png"},
    {"stop_0.png", "stop_1.png"},
    {"synth_0.png", "synth_1.png"},
    {"zoom_0.png", "zoom_1.png"},
    // The connect control shows one or the other.
    {"disconnected_1.png", "connected_1.png"},
    // The tile-mode control cycles through three pictures.
    {"values_null.png", "values_horizontal.png"},
    {"values_horizontal.png", "values_vertical.png"},
    {"values_vertical.png", "values_null.png"},
};

// The alpha of each pixel and its colour, row by row.
std::vector<uint32_t> Pixels(int image) {
  int stride = 0;
  const uint8_t* data = ImageData(image, &stride);
  std::vector<uint32_t> pixels;
  if (data == nullptr) return pixels;
  for (int y = 0; y < ImageHeight(image); ++y)
    for (int x = 0; x < ImageWidth(image); ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, data + y * stride + x * 4, 4);
      pixels.push_back(pixel);
    }
  return pixels;
}

TEST(IconFilesTest, EveryIconIsAToolbarSizedPictureOnATransparentBackground) {
  for (const auto& pair : IconPairs)
    for (const char* file : pair) {
      SCOPED_TRACE(file);
      ASSERT_TRUE(LoadPngImage(TestImage, IconFolder + "/" + file)) << "missing or unreadable";
      EXPECT_GE(ImageWidth(TestImage), 24);
      EXPECT_LE(ImageWidth(TestImage), MaxIconSize);
      EXPECT_GE(ImageHeight(TestImage), 24);
      EXPECT_LE(ImageHeight(TestImage), MaxIconSize);
      const std::vector<uint32_t> pixels = Pixels(TestImage);
      ASSERT_FALSE(pixels.empty()) << "loaded without an alpha channel";
      EXPECT_EQ(pixels.front() >> 24, 0u) << "the corner is not transparent";
      size_t opaque = 0;
      for (uint32_t pixel : pixels) opaque += (pixel >> 24) == 0xFF;
      EXPECT_GT(opaque, pixels.size() / 20) << "hardly anything is drawn";
      EXPECT_LT(opaque, pixels.size()) << "nothing is transparent";
    }
}

TEST(IconFilesTest, EachStateLooksDifferentFromItsPartner) {
  for (const auto& pair : IconPairs) {
    SCOPED_TRACE(std::string(pair[0]) + " / " + pair[1]);
    ASSERT_TRUE(LoadPngImage(TestImage, IconFolder + "/" + pair[0]));
    ASSERT_TRUE(LoadPngImage(OtherImage, IconFolder + "/" + pair[1]));
    EXPECT_NE(Pixels(TestImage), Pixels(OtherImage));
  }
  FreeImage(TestImage);
  FreeImage(OtherImage);
}

}  // namespace
}  // namespace zolt::platform
