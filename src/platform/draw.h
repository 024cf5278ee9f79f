// Platform layer, draw part: off-screen images, PNG files, numbered fonts, the drawing
// operations of the painted interface and vector paths. Needs no display.
//
// Images and fonts are addressed by small fixed numbers. Colours are 24-bit values with
// red in the low byte (0x00BBGGRR), exactly as the program stores them; images are
// 24-bit RGB (PNG images may carry alpha, which DrawImage blends).
//
// Drawing follows start / draw / stop: StartDrawing selects the target image, every
// operation paints into it, StopDrawing ends the batch. Operations outside a batch, or
// on a missing image, do nothing.
//
// Sections: images; drawing target; shapes; fonts and text; vector paths; display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zolt::platform {

using Colour = uint32_t;  // 0x00BBGGRR

constexpr Colour MakeColour(int red, int green, int blue) {
  return static_cast<Colour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr int MaxImages = 512;
constexpr int MaxFonts = 64;

// A rectangle in image pixels, right and bottom exclusive; empty when right <= left.
struct PaintedArea {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
};

// ---- images ----

// Creates (or re-creates) image `image` at the size given, 24-bit, black.
bool CreateImage(int image, int width, int height);
void FreeImage(int image);
bool IsImage(int image);
int ImageWidth(int image);   // 0 for a missing image
// A number that differs for every image created or loaded, so that code keeping what it
// painted into an image can tell that the image was replaced since; 0 for a missing one.
uint64_t ImageSerial(int image);
int ImageHeight(int image);
// Loads a PNG file into image `image` (replacing it), keeping its alpha channel if any.
bool LoadPngImage(int image, const std::string& path);
// Saves an image as PNG (used by tests and tools).
bool SavePngImage(int image, const std::string& path);
// The colour of one pixel (0 outside the image or for a missing image).
Colour ImagePixel(int image, int x, int y);
// Copies the rectangle (x, y, width, height) of image `source` into image `target` at the
// same place, pixel for pixel, replacing what was there; clipped to both images. Both are
// 24-bit images (a kept copy of part of the canvas, say).
void CopyImageRect(int source, int target, int x, int y, int width, int height);
// Raw access for the surface copy: rows of 32-bit pixels (cairo RGB24/ARGB32 layout),
// `stride` bytes apart. nullptr for a missing image.
const uint8_t* ImageData(int image, int* stride);

// ---- drawing target ----

bool StartDrawing(int image);
void StopDrawing();

// ---- shapes (integer pixel coordinates; sizes in pixels) ----

void DrawBox(int x, int y, int width, int height, Colour colour);       // filled
void DrawLine(int x1, int y1, int x2, int y2, Colour colour);           // 1 px, both ends inclusive
void DrawCircle(int x, int y, int radius, Colour colour);               // filled
void DrawPoint(int x, int y, Colour colour);
// Draws image `image` with its top-left corner at (x, y), blending its alpha if any.
void DrawImage(int image, int x, int y);

// ---- fonts and text ----

enum FontStyle : int {
  FontPlain = 0,
  FontBold = 1,
  FontHighQuality = 2,  // antialiased outlines; plain fonts are drawn with hinting only
};

// Loads font `font`: a face name resolved through fontconfig ("Calibri" finds its
// metric-compatible substitute), a size in points scaled by the display's vertical dots
// per inch (SetDisplayDpi), and a FontStyle combination.
bool LoadFont(int font, const std::string& face, int points, int style);
bool IsFont(int font);
// Selects the font of the following text operations (a missing font keeps the default).
void SelectFont(int font);

// Text with its top-left corner at (x, y), rounded to whole pixels. The text's cell box
// is filled with `back` first, unless back is NoBack.
constexpr Colour NoBack = 0xFFFFFFFFu;
void DrawText(double x, double y, const std::string& text, Colour front, Colour back);
// As DrawText, but only columns `left` up to (not including) `right` are painted: a text
// longer than its place is cut off at the place's edges.
void DrawTextWithin(double x, double y, const std::string& text, Colour front, Colour back, int left,
                    int right);
// Text rotated by `degrees` counter-clockwise around (x, y), without a box; 90 reads upward.
void DrawRotatedText(double x, double y, const std::string& text, double degrees, Colour front);
// What DrawText of the text at (x, y) in the selected font may change: its box and its ink,
// with a pixel for antialiasing (empty for a position that is not finite).
PaintedArea TextPaintedArea(double x, double y, const std::string& text);
// Extents of a text in the selected font, in pixels (the height is the font's line height).
double TextWidth(const std::string& text);
double TextHeight(const std::string& text);

// ---- vector paths ----

enum class StrokeStyle { Solid, Dash, Dot };

struct PathPoint {
  double X;
  double Y;
};

// Strokes a polyline through `count` points with round caps and joins. `rgba` is
// 0xAABBGGRR (alpha in the high byte). Dash: dashes 5 x width long; Dot: dots 4 x width apart.
void StrokePath(const PathPoint* points, int count, uint32_t rgba, double width, StrokeStyle style);

// A point in whole pixels: the centre of pixel (X, Y).
struct PixelPoint {
  int32_t X;
  int32_t Y;
};

// Strokes a solid polyline through whole-pixel points with round caps and joins,
// antialiased, in `rgba` (0xAABBGGRR). Each pixel takes the stroke's coverage once, however
// many segments pass over it. A path that never leaves its first pixel is drawn as a dot.
// Fast for polylines of many short segments (measured curves).
void StrokePixelPolyline(const PixelPoint* points, int count, uint32_t rgba, double width);

// ---- painted area ----
//
// While noting, every drawing operation on the target image notes a rectangle holding
// every pixel it may change (texts and strokes with a margin for their ink), so that a
// caller can tell which part of an image a stretch of painting may have touched.

// The parts of image `image` that drawing may have changed since the last call, which
// starts afresh (the whole image once it was created, loaded or replaced): so that a copy
// of the image elsewhere is brought up to date by looking at those parts only.
std::vector<PaintedArea> TakeChangedAreas(int image);

// Notings nest: each StopNotingPaint ends the one started last.
void StartNotingPaint();
// Ends the noting and returns the union of what was noted since it started.
PaintedArea StopNotingPaint();

// A listing keeps the places apart instead: each operation's area, and a stroked pixel
// polyline's in pieces along its path, so that a caller can put back just those places
// rather than their union. One listing at a time.
void StartListingPaint();
std::vector<PaintedArea> StopListingPaint();

// ---- display ----

// The display's dots per inch, which size the fonts; 96 by default. Set by the gui at start.
void SetDisplayDpi(double horizontal, double vertical);
double DisplayDpiX();
double DisplayDpiY();

}  // namespace zolt::platform
