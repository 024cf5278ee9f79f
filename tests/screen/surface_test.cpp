// The drawing surface: measuring at 96 and 144 dots per inch, the failure message, the
// canvas, and the icons with their frames.
#include <gtest/gtest.h>

#include <string>

#include "frame/app.h"
#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "screen/surface.h"
#include "screen_fixture.h"
#include "support/temp_folder.h"

namespace zolt::screen {
namespace {

namespace headless = platform::headless;
using platform::ImagePixel;
using platform::MakeColour;

constexpr platform::Colour White = MakeColour(255, 255, 255);

class Surface : public ScreenTest {
 protected:
  // The main window at a display density, with its client area in device pixels.
  void MainWindowAt(double dpi, int width, int height) {
    headless::SetDpi(dpi, dpi);
    platform::InitialiseGui();
    headless::ResizeWindow(frame::MainWindow, width, height);
  }
};

TEST_F(Surface, StartUpOrderOpensAtNoSizeThenAtTheClientSize) {
  MainWindowAt(96, 1400, 800);
  OpenGraphScreen();
  EXPECT_EQ(ScreenState.ScreenOpen, 1);
  EXPECT_EQ(headless::SurfaceWidth(), 0);
  CloseGraphScreen();
  EXPECT_FALSE(platform::IsSurfaceOpen());
  OpenGraphScreen();
  EXPECT_EQ(ScreenState.ScreenWidth, 1400);
  EXPECT_EQ(ScreenState.ScreenHeight, 800);
  EXPECT_EQ(ScreenState.WindowWidth, 1400);
  EXPECT_EQ(headless::SurfaceWidth(), 1400);
  EXPECT_EQ(headless::SurfaceHeight(), 800);
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(Surface, HighDensityDisplayMeasuresInDevicePixels) {
  MainWindowAt(144, 2100, 1200);
  CloseGraphScreen();
  EXPECT_EQ(ScreenState.WindowWidth, 1400);
  EXPECT_EQ(ScreenState.WindowHeight, 800);
  EXPECT_EQ(ScreenState.ScreenWidth, 2100);
  EXPECT_EQ(ScreenState.ScreenHeight, 1200);
  OpenGraphScreen();
  EXPECT_EQ(headless::SurfaceWidth(), 3150);  // larger than the client area, which clips it
  EXPECT_EQ(headless::SurfaceHeight(), 1800);
  EXPECT_EQ(ScreenState.WindowWidth, 2100);
}

TEST_F(Surface, OddWidthsRoundHalfUpThenToEven) {
  MainWindowAt(144, 2101, 1201);
  CloseGraphScreen();
  EXPECT_EQ(ScreenState.WindowWidth, 1401);   // 1400.67
  EXPECT_EQ(ScreenState.ScreenWidth, 2102);   // 2101.5, ties to even
  EXPECT_EQ(ScreenState.WindowHeight, 801);
  EXPECT_EQ(ScreenState.ScreenHeight, 1202);  // 1201.5
  MainWindowAt(144, 2099, 1000);
  CloseGraphScreen();
  EXPECT_EQ(ScreenState.WindowWidth, 1399);   // 1399.33
  EXPECT_EQ(ScreenState.ScreenWidth, 2098);   // 2098.5, ties to even
}

TEST_F(Surface, ClosingAClosedSurfaceOnlyMeasures) {
  MainWindowAt(96, 1000, 600);
  CloseGraphScreen();
  EXPECT_EQ(ScreenState.ScreenOpen, 0);
  EXPECT_EQ(ScreenState.ScreenWidth, 1000);
  EXPECT_FALSE(platform::IsSurfaceOpen());
}

TEST_F(Surface, FailedOpenShowsTheMessageAndLoadsNoIcons) {
  testing::TempFolder folder;
  testing::MakeFolder("graphics");
  testing::MakeFolder("graphics/1x");
  ASSERT_TRUE(platform::CreateImage(300, 4, 4));
  ASSERT_TRUE(platform::SavePngImage(300, "graphics/1x/camera_0.png"));
  MainWindowAt(96, 800, 600);
  CloseGraphScreen();
  headless::FailNextSurfaceOpen();
  OpenGraphScreen();
  EXPECT_EQ(ScreenState.ScreenOpen, 0);
  EXPECT_FALSE(platform::IsImage(233));
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].Title, "Error");
  EXPECT_EQ(headless::MessagesShown()[0].Text, "Can't open windowed screen!");
  platform::FreeImage(300);
}

TEST_F(Surface, CanvasIsRecreatedFullSizeAndBlack) {
  ASSERT_TRUE(platform::CreateImage(CanvasImage, 10, 10));
  platform::StartDrawing(CanvasImage);
  platform::DrawBox(0, 0, 10, 10, White);
  platform::StopDrawing();
  EXPECT_EQ(CreateCanvasImage(), 1);
  EXPECT_EQ(platform::ImageWidth(CanvasImage), 1920);
  EXPECT_EQ(platform::ImageHeight(CanvasImage), 1080);
  EXPECT_EQ(ImagePixel(CanvasImage, 5, 5), 0u);
  platform::FreeImage(CanvasImage);
}

TEST_F(Surface, ImageFramePaintsTheGivenStripsIntoTheImage) {
  ASSERT_TRUE(platform::CreateImage(300, 6, 5));
  platform::StartDrawing(300);
  platform::DrawBox(0, 0, 6, 5, White);
  platform::StopDrawing();
  const platform::Colour red = MakeColour(255, 0, 0);
  EXPECT_EQ(DrawImageFrame(300, red, 2, 0, 0, 1), 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(ImagePixel(300, x, y), (x < 2 || y == 4) ? red : White) << x << "," << y;
  EXPECT_EQ(DrawImageFrame(301, red, 1, 1, 1, 1), 0);  // no image: nothing happens
  EXPECT_FALSE(platform::IsImage(301));
  platform::FreeImage(300);
}

TEST_F(Surface, IconsAreLoadedAnewAtEveryOpenWithTheirFrames) {
  testing::TempFolder folder;
  testing::MakeFolder("graphics");
  testing::MakeFolder("graphics/1x");
  ASSERT_TRUE(platform::CreateImage(300, 8, 6));
  platform::StartDrawing(300);
  platform::DrawBox(0, 0, 8, 6, White);
  platform::StopDrawing();
  for (const char* name : {"camera_0", "fft_0", "settings_1"})
    ASSERT_TRUE(platform::SavePngImage(300, std::string("graphics/1x/") + name + ".png"));
  platform::FreeImage(300);

  MainWindowAt(96, 800, 600);
  CloseGraphScreen();
  OpenGraphScreen();
  // Framed: black left, right and top edges, no bottom edge.
  EXPECT_EQ(ImagePixel(233, 0, 3), 0u);
  EXPECT_EQ(ImagePixel(233, 7, 3), 0u);
  EXPECT_EQ(ImagePixel(233, 4, 0), 0u);
  EXPECT_EQ(ImagePixel(233, 4, 5), White);
  EXPECT_EQ(ImagePixel(233, 1, 1), White);
  // Not framed.
  EXPECT_EQ(ImagePixel(241, 0, 0), White);
  // One file behind three framed images.
  for (int image : {254, 256, 258}) EXPECT_EQ(ImagePixel(image, 0, 0), 0u) << image;
  EXPECT_FALSE(platform::IsImage(234));  // missing file: no image, nothing reported
  EXPECT_TRUE(headless::MessagesShown().empty());

  // Paint over an icon; a reopen after a size change restores it from its file with a
  // single frame.
  platform::StartDrawing(233);
  platform::DrawBox(0, 0, 8, 6, MakeColour(0, 0, 255));
  platform::StopDrawing();
  CloseGraphScreen();
  OpenGraphScreen();
  EXPECT_EQ(ImagePixel(233, 1, 1), White);
  EXPECT_EQ(ImagePixel(233, 0, 3), 0u);
  EXPECT_EQ(ImagePixel(233, 4, 5), White);
  for (int image = FirstIconImage; image <= LastIconImage; ++image) platform::FreeImage(image);
}

}  // namespace
}  // namespace zolt::screen
