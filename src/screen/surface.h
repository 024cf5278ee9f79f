// Drawing surface and canvas.
//
// The main window shows an interface that the program paints into one off-screen image,
// the CanvasImage; the main loop copies it onto the drawing surface, a double-buffered
// area at the top-left corner of the main window's client area. This file owns the
// surface's opening and closing, the window's measurement in device pixels, the canvas,
// the toolbar icon images and the thin frame painted around them.
//
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/draw.h"

namespace zolt::screen {

constexpr int CanvasImage = 38;
constexpr int FirstIconImage = 233;
constexpr int LastIconImage = 267;

struct ScreenStateRecord {
  int32_t ScreenOpen = 0;      // 1 while the surface is open
  int32_t WindowWidth = 0;     // client size in 96-dpi units (then overwritten by the open)
  int32_t WindowHeight = 0;
  int32_t ScreenWidth = 0;     // client size in device pixels: the canvas and zone units
  int32_t ScreenHeight = 0;
  int32_t WidgetUnit = 24;     // size unit of the stepper control
};

inline ScreenStateRecord ScreenState;

// Opens the surface at the measured size and loads the icons.
void OpenGraphScreen();
// Measures the main window and closes the surface if it is open.
void CloseGraphScreen();
// (Re-)creates the canvas image at 1920 x 1080, black; 1 on success, 0 on failure.
int32_t CreateCanvasImage();
// Paints a border into an image itself; returns 0.
int32_t DrawImageFrame(int32_t image, platform::Colour colour, int32_t left, int32_t right,
                       int32_t top, int32_t bottom);

}  // namespace zolt::screen
