// Internals shared by the draw part's files: the numbered image table, the drawing
// target of the current batch and the pixel format.
//
// Images are cairo image surfaces: CAIRO_FORMAT_RGB24 for the program's 24-bit images,
// CAIRO_FORMAT_ARGB32 (premultiplied) for PNG files with alpha. A pixel is one native
// 32-bit word 0xAARRGGBB, so colours (0x00BBGGRR) swap red and blue on the way in.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "platform/draw.h"

namespace zolt::platform::draw {

// The surface of image `image`; nullptr when the number is out of range or unused.
cairo_surface_t* ImageSurface(int image);
// Puts a surface (owned from now on) into slot `image`, freeing the one it replaces.
// A nullptr surface frees the slot. Returns false for a number out of range.
bool SetImageSurface(int image, cairo_surface_t* surface);

// The surface of the current batch's target image; nullptr outside a batch or when the
// target image no longer exists.
cairo_surface_t* TargetSurface();
// A cairo context on the target surface, kept for the batch; nullptr when no target.
cairo_t* TargetContext();

// An opaque cairo pixel of a colour.
constexpr uint32_t OpaquePixel(Colour c) {
  return 0xFF000000u | (static_cast<uint32_t>(RedOf(c)) << 16) |
         (static_cast<uint32_t>(GreenOf(c)) << 8) | static_cast<uint32_t>(BlueOf(c));
}

// Pixel rows of the target surface for direct writing; call MarkTargetDirty afterwards.
struct PixelRows {
  uint32_t* Data = nullptr;
  int WordsPerRow = 0;
  int Width = 0;
  int Height = 0;
};
bool TargetPixels(PixelRows& rows);
void MarkTargetDirty();

// Notes that an operation may have changed the pixels of the rectangle (while noting),
// and lists it unless the operation lists its places itself (ListPainted).
void NotePainted(double left, double top, double right, double bottom, bool listed = true);
bool ListingPaint();
void ListPainted(double left, double top, double right, double bottom);

// The text part: StartDrawing selects the default font.
void SelectDefaultFont();

}  // namespace zolt::platform::draw
