// Drawing surface and canvas: measuring the main window, opening and closing the
// surface, the canvas image, the toolbar icons and their frames.
//
// Sizes: the close step measures the client area in device pixels and keeps it both in
// 96-dpi units (WindowWidth/Height, rounded half up) and back in device pixels
// (ScreenWidth/Height, rounded to even); the open step makes the surface
// WindowWidth x dpi / 96 device pixels, so at higher densities it may be larger than the
// client area, which clips it.
//
// Sections: icons; surface; canvas; frames.
#include "screen/surface.h"

#include <cmath>

#include "frame/app.h"
#include "frame/numbers.h"
#include "platform/draw.h"
#include "platform/gui.h"

namespace zolt::screen {

// ---- icons ----

namespace {

struct IconFile {
  int32_t Image;
  const char* Path;
  bool Framed;
};

constexpr IconFile IconFiles[] = {
    {233, "graphics/1x/camera_0.png", true},
    {234, "graphics/1x/camera_1.png", true},
    {235, "graphics/1x/disconnected_1.png", true},
    {236, "graphics/1x/connected_1.png", true},
    {237, "graphics/1x/cursorvertical_0.png", true},
    {238, "graphics/1x/cursorvertical_1.png", true},
    {239, "graphics/1x/cursorhorizontal_0.png", true},
    {240, "graphics/1x/cursorhorizontal_1.png", true},
    {241, "graphics/1x/fft_0.png", false},
    {242, "graphics/1x/fft_1.png", false},
    {243, "graphics/1x/file_0.png", false},
    {244, "graphics/1x/file_1.png", false},
    {245, "graphics/1x/help_0.png", true},
    {246, "graphics/1x/help_1.png", true},
    {247, "graphics/1x/highvoltage_0.png", true},
    {248, "graphics/1x/highvoltage_1.png", true},
    {249, "graphics/1x/play_0.png", true},
    {250, "graphics/1x/play_1.png", true},
    {251, "graphics/1x/scope_0.png", false},
    {252, "graphics/1x/scope_1.png", false},
    {253, "graphics/1x/settings_0.png", true},
    {254, "graphics/1x/settings_1.png", true},
    {255, "graphics/1x/settings_0.png", true},
    {256, "graphics/1x/settings_1.png", true},
    {257, "graphics/1x/settings_0.png", true},
    {258, "graphics/1x/settings_1.png", true},
    {259, "graphics/1x/stop_0.png", true},
    {260, "graphics/1x/stop_1.png", true},
    {261, "graphics/1x/synth_0.png", true},
    {262, "graphics/1x/synth_1.png", true},
    {263, "graphics/1x/values_null.png", false},
    {264, "graphics/1x/values_horizontal.png", false},
    {265, "graphics/1x/values_vertical.png", false},
    {266, "graphics/1x/zoom_0.png", true},
    {267, "graphics/1x/zoom_1.png", true},
};

// Loads every icon anew into its number, so a frame is never painted twice; a file that
// cannot be loaded leaves its number without an image (and without a frame).
void LoadIcons() {
  for (const IconFile& icon : IconFiles) {
    platform::FreeImage(icon.Image);
    platform::LoadPngImage(icon.Image, icon.Path);
    if (icon.Framed) DrawImageFrame(icon.Image, 0, 1, 1, 1, 0);
  }
}

double HorizontalFactor() { return platform::DisplayDpiX() / 96.0; }
double VerticalFactor() { return platform::DisplayDpiY() / 96.0; }

}  // namespace

// ---- surface ----

void CloseGraphScreen() {
  ScreenStateRecord& s = ScreenState;
  const double fx = HorizontalFactor();
  const double fy = VerticalFactor();
  const int32_t clientWidth = platform::WindowClientWidth(frame::MainWindow);
  const int32_t clientHeight = platform::WindowClientHeight(frame::MainWindow);
  s.WindowWidth = static_cast<int32_t>(std::floor(clientWidth / fx + 0.5));
  s.WindowHeight = static_cast<int32_t>(std::floor(clientHeight / fy + 0.5));
  s.ScreenWidth = frame::RoundToInt32(s.WindowWidth * fx);
  s.ScreenHeight = frame::RoundToInt32(s.WindowHeight * fy);
  if (s.ScreenOpen == 1) platform::CloseSurface();
  s.ScreenOpen = 0;
}

void OpenGraphScreen() {
  ScreenStateRecord& s = ScreenState;
  s.WindowWidth = s.ScreenWidth;
  s.WindowHeight = s.ScreenHeight;
  const int32_t width = frame::RoundToInt32(s.WindowWidth * platform::DisplayDpiX() / 96.0);
  const int32_t height = frame::RoundToInt32(s.WindowHeight * platform::DisplayDpiY() / 96.0);
  if (!platform::OpenSurface(frame::MainWindow, width, height)) {
    platform::ShowMessageBox("Error", "Can't open windowed screen!", platform::MessageIcon::None);
    return;
  }
  s.ScreenOpen = 1;
  LoadIcons();
}

// ---- canvas ----

int32_t CreateCanvasImage() {
  platform::FreeImage(CanvasImage);
  return platform::CreateImage(CanvasImage, 1920, 1080) ? 1 : 0;
}

// ---- frames ----

int32_t DrawImageFrame(int32_t image, platform::Colour colour, int32_t left, int32_t right, int32_t top,
                       int32_t bottom) {
  if (!platform::IsImage(image)) return 0;
  const int32_t w = platform::ImageWidth(image);
  const int32_t h = platform::ImageHeight(image);
  platform::StartDrawing(image);
  platform::DrawBox(0, 0, left, h, colour);
  platform::DrawBox(w - right, 0, right, h, colour);
  platform::DrawBox(0, 0, w, top, colour);
  platform::DrawBox(0, h - bottom, w, bottom, colour);
  platform::StopDrawing();
  return 0;
}

}  // namespace zolt::screen
