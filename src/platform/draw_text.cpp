// Draw part: numbered fonts and text, through pango on cairo with fonts found by
// fontconfig ("Calibri" resolves to its metric-compatible substitute, "Arial Bold" to a
// bold Arial-metric face).
//
// A font is a face, a pixel size (points x the display's vertical dots per inch / 72)
// and a style. Metrics are hinted to whole pixels, so text extents and the opaque box
// behind a text are whole pixels too. High-quality fonts are antialiased; plain fonts
// are drawn in solid pixels.
//
// Sections: font table; layouts; text operations.
#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>

#include "platform/draw.h"
#include "platform/draw_internal.h"

namespace zolt::platform {

namespace {

// ---- font table ----

// A text laid out in a font, kept for the next time: laying a text out (shaping it) is
// the slow part of drawing it, and the painted screen draws and measures the same few
// hundred texts on every pass. Each font keeps its own pango context, whose settings
// never change, so that its kept layouts stay valid.
struct KeptLayout {
  PangoLayout* Layout = nullptr;
  PangoRectangle Logical{};
  PangoRectangle Ink{};  // the pixels the glyphs may touch
};
constexpr size_t MaxKeptLayouts = 512;  // per font; all are dropped when it is reached

struct FontSlot {
  PangoFontDescription* Description = nullptr;
  bool Antialiased = false;
  PangoContext* Context = nullptr;  // upright text in this font; made on first use
  std::unordered_map<std::string, KeptLayout> Kept;
};

void ForgetLayouts(FontSlot& slot) {
  for (auto& [text, kept] : slot.Kept) g_object_unref(kept.Layout);
  slot.Kept.clear();
}

std::array<FontSlot, MaxFonts> fonts{};
FontSlot defaultFont;
FontSlot* selected = nullptr;  // nullptr: the default font

PangoFontMap* fontMap = nullptr;
PangoContext* context = nullptr;

PangoContext* Context() {
  if (!context) {
    fontMap = pango_cairo_font_map_new();
    context = pango_font_map_create_context(fontMap);
  }
  return context;
}

double PixelSize(double points) { return points * DisplayDpiY() / 72.0; }

FontSlot& SelectedFont() {
  if (selected) return *selected;
  if (!defaultFont.Description) {
    // The drawing output's own font until a numbered font is selected.
    defaultFont.Description = pango_font_description_from_string("Sans");
    pango_font_description_set_absolute_size(defaultFont.Description, PixelSize(9) * PANGO_SCALE);
    defaultFont.Antialiased = true;
  }
  return defaultFont;
}

// ---- layouts ----

void SetFontOptions(PangoContext* pc, const FontSlot& font) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, font.Antialiased ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_style(options, font.Antialiased ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  pango_cairo_context_set_font_options(pc, options);
  cairo_font_options_destroy(options);
}

void SetText(PangoLayout* layout, const std::string& text) {
  // Texts come from files too: never hand pango bytes that are not UTF-8.
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  } else {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);
  }
}

// A layout of the text in the selected font. With a cairo context the layout follows
// its transformation (for rotated text); without one it is measured unrotated.
PangoLayout* MakeLayout(const std::string& text, cairo_t* cr) {
  PangoContext* pc = Context();
  const FontSlot& font = SelectedFont();
  SetFontOptions(pc, font);
  if (cr)
    pango_cairo_update_context(cr, pc);
  else
    pango_context_set_matrix(pc, nullptr);
  PangoLayout* layout = pango_layout_new(pc);
  pango_layout_set_font_description(layout, font.Description);
  SetText(layout, text);
  return layout;
}

// The kept upright layout of a text in the selected font, laid out on first use.
const KeptLayout& UprightLayout(const std::string& text) {
  FontSlot& font = SelectedFont();
  const auto known = font.Kept.find(text);
  if (known != font.Kept.end()) return known->second;
  if (!font.Context) {
    Context();  // the font map
    font.Context = pango_font_map_create_context(fontMap);
    SetFontOptions(font.Context, font);
    pango_context_set_matrix(font.Context, nullptr);
  }
  if (font.Kept.size() >= MaxKeptLayouts) ForgetLayouts(font);
  KeptLayout kept;
  kept.Layout = pango_layout_new(font.Context);
  pango_layout_set_font_description(kept.Layout, font.Description);
  SetText(kept.Layout, text);
  pango_layout_get_pixel_extents(kept.Layout, &kept.Ink, &kept.Logical);
  return font.Kept.emplace(text, kept).first->second;
}


// True when a box of the given size at (left, top) lies wholly outside the target image.
// Such a text is not drawn at all: far away, the drawing library's fixed-point
// coordinates wrap around and would put it inside the image.
bool OutsideTarget(double left, double top, double width, double height) {
  cairo_surface_t* surface = draw::TargetSurface();
  if (!surface) return true;
  return left + width <= 0 || top + height <= 0 || left >= cairo_image_surface_get_width(surface) ||
         top >= cairo_image_surface_get_height(surface);
}

void SetSource(cairo_t* cr, Colour c) {
  cairo_set_source_rgb(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}

}  // namespace

namespace draw {
void SelectDefaultFont() { selected = nullptr; }
}  // namespace draw

bool LoadFont(int font, const std::string& face, int points, int style) {
  if (font < 0 || font >= MaxFonts || points <= 0) return false;
  FontSlot& slot = fonts[font];
  if (slot.Description) pango_font_description_free(slot.Description);
  // The face may carry style words ("Arial Bold"), which pango reads as the style.
  slot.Description = pango_font_description_from_string(face.c_str());
  pango_font_description_set_absolute_size(slot.Description, PixelSize(points) * PANGO_SCALE);
  if (style & FontBold) pango_font_description_set_weight(slot.Description, PANGO_WEIGHT_BOLD);
  slot.Antialiased = (style & FontHighQuality) != 0;
  ForgetLayouts(slot);
  if (slot.Context) SetFontOptions(slot.Context, slot);
  return true;
}

bool IsFont(int font) { return font >= 0 && font < MaxFonts && fonts[font].Description; }

void SelectFont(int font) { selected = IsFont(font) ? &fonts[font] : nullptr; }

// ---- text operations ----

PaintedArea TextPaintedArea(double x, double y, const std::string& text) {
  const double left = std::nearbyint(x);
  const double top = std::nearbyint(y);
  if (!std::isfinite(left) || !std::isfinite(top) || std::fabs(left) > 1e9 || std::fabs(top) > 1e9) return {};
  const KeptLayout& kept = UprightLayout(text);
  // The box, and the ink where it overhangs the box (with a pixel for antialiasing).
  const PangoRectangle& box = kept.Logical;
  const PangoRectangle& ink = kept.Ink;
  const int l = static_cast<int>(left), t = static_cast<int>(top);
  return {l + std::min(box.x, ink.x - 1), t + std::min(box.y, ink.y - 1),
          l + std::max(box.x + box.width, ink.x + ink.width + 1), t + std::max(box.y + box.height, ink.y + ink.height + 1)};
}

namespace {

// DrawText, painting only columns clipLeft up to clipRight.
void DrawTextClipped(double x, double y, const std::string& text, Colour front, Colour back, double clipLeft,
                     double clipRight) {
  cairo_t* cr = draw::TargetContext();
  if (!cr) return;
  const double left = std::nearbyint(x);
  const double top = std::nearbyint(y);
  if (!std::isfinite(left) || !std::isfinite(top)) return;
  const KeptLayout& kept = UprightLayout(text);
  const PangoRectangle& box = kept.Logical;
  const double boxLeft = std::max(left + box.x, clipLeft);
  const double boxRight = std::min(left + box.x + box.width, clipRight);
  const bool clipped = boxLeft > left + box.x || boxRight < left + box.x + box.width;
  if ((clipped && boxRight <= boxLeft) || OutsideTarget(boxLeft, top + box.y, boxRight - boxLeft, box.height))
    return;
  const PaintedArea painted = TextPaintedArea(left, top, text);
  draw::NotePainted(std::max<double>(painted.Left, clipLeft), painted.Top,
                    std::min<double>(painted.Right, clipRight), painted.Bottom);
  if (back != NoBack) {
    DrawBox(static_cast<int>(boxLeft), static_cast<int>(top) + box.y, static_cast<int>(boxRight - boxLeft),
            box.height, back);
  }
  cairo_save(cr);
  cairo_identity_matrix(cr);
  if (clipLeft > painted.Left || clipRight < painted.Right) {
    cairo_rectangle(cr, clipLeft, painted.Top, clipRight - clipLeft, painted.Bottom - painted.Top);
    cairo_clip(cr);
  }
  SetSource(cr, front);
  cairo_move_to(cr, left, top);
  pango_cairo_show_layout(cr, kept.Layout);
  cairo_restore(cr);
}

}  // namespace

void DrawText(double x, double y, const std::string& text, Colour front, Colour back) {
  constexpr double Unlimited = std::numeric_limits<double>::infinity();
  DrawTextClipped(x, y, text, front, back, -Unlimited, Unlimited);
}

void DrawTextWithin(double x, double y, const std::string& text, Colour front, Colour back, int left,
                    int right) {
  DrawTextClipped(x, y, text, front, back, left, right);
}

void DrawRotatedText(double x, double y, const std::string& text, double degrees, Colour front) {
  cairo_t* cr = draw::TargetContext();
  if (!cr || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(degrees)) return;
  // Turned any way around (x, y), the text stays within its width plus height of it.
  const PangoRectangle& upright = UprightLayout(text).Logical;
  const double reach = upright.width + upright.height;
  if (OutsideTarget(x - reach, y - reach, 2 * reach, 2 * reach)) return;
  draw::NotePainted(x - 2 * reach, y - 2 * reach, x + 2 * reach, y + 2 * reach);
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, -degrees * G_PI / 180.0);  // cairo turns clockwise on screen
  PangoLayout* layout = MakeLayout(text, cr);
  SetSource(cr, front);
  cairo_move_to(cr, 0, 0);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_restore(cr);
}

double TextWidth(const std::string& text) { return UprightLayout(text).Logical.width; }

double TextHeight(const std::string& text) { return UprightLayout(text).Logical.height; }

}  // namespace zolt::platform

// ---- sanitizers ----
//
// Fontconfig and pango keep their font caches until the process ends, some of it where
// the leak checker cannot see the references; and pango matches fonts in worker threads
// that it hands over through glib's own locks, which the thread checker cannot see. In
// sanitizer builds those library-internal findings are not reported.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpangoft2-1.0.so\n";
}
#endif
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\n"
         "race:libpangoft2-1.0.so\n"
         "race:libglib-2.0.so\n";
}
#endif
