// Draw part: PNG files. Loading decodes any PNG (palette, grey, 16-bit, transparency)
// into an image: 24-bit when the file has no alpha, premultiplied ARGB when it has.
// Saving writes RGB, or RGBA for an image with alpha.
//
// Sections: load; save.
#include <cairo.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

// ---- load ----

bool LoadPngImage(int image, const std::string& path) {
  if (image < 0 || image >= MaxImages) return false;
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    png_image_free(&png);
    return false;
  }
  const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = PNG_FORMAT_RGBA;
  const int width = static_cast<int>(png.width);
  const int height = static_cast<int>(png.height);
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
    png_image_free(&png);
    return false;
  }
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  cairo_surface_t* surface =
      cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_surface_flush(surface);
  uint8_t* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + y * stride);
    const png_byte* in = bytes.data() + static_cast<size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x, in += 4) {
      uint32_t a = alpha ? in[3] : 255;
      uint32_t r = in[0], g = in[1], b = in[2];
      if (a != 255) {  // cairo keeps colours premultiplied by alpha
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
      }
      row[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty(surface);
  return draw::SetImageSurface(image, surface);
}

// ---- save ----

bool SavePngImage(int image, const std::string& path) {
  cairo_surface_t* surface = draw::ImageSurface(image);
  if (!surface) return false;
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
  const int channels = alpha ? 4 : 3;
  const uint8_t* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  std::vector<png_byte> bytes(static_cast<size_t>(width) * height * channels);
  png_byte* out = bytes.data();
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = row[x];
      uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      if (alpha) {
        const uint32_t a = pixel >> 24;
        if (a != 0 && a != 255) {
          r = (r * 255 + a / 2) / a;
          g = (g * 255 + a / 2) / a;
          b = (b * 255 + a / 2) / a;
        }
        *out++ = static_cast<png_byte>(r);
        *out++ = static_cast<png_byte>(g);
        *out++ = static_cast<png_byte>(b);
        *out++ = static_cast<png_byte>(a);
      } else {
        *out++ = static_cast<png_byte>(r);
        *out++ = static_cast<png_byte>(g);
        *out++ = static_cast<png_byte>(b);
      }
    }
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const int ok = png_image_write_to_file(&png, path.c_str(), 0, bytes.data(), 0, nullptr);
  png_image_free(&png);
  return ok != 0;
}

}  // namespace zolt::platform
