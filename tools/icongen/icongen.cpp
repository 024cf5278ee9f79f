// icongen <folder> <file>...: draws the toolbar icons into <folder>.
//
// Each icon is a 48 x 48 flat pictogram on a transparent background. A file named
// <name>_0.png is the icon's off state, drawn dim grey; <name>_1.png is its on state,
// drawn in white with the icon's own accent colour. Files without a state suffix
// (the three tile-mode pictures) are drawn lit. The build runs this with the list of
// files it installs; an unknown name is an error, so the two cannot drift apart.
// Exit status 0 when every file was written, 1 otherwise.
//
// Sections: colours and shapes; the pictograms; the file table; main.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int IconSize = 48;
constexpr double Pi = 3.14159265358979323846;

// ---- colours and shapes ----

struct Ink {
  double Red, Green, Blue;
};

constexpr Ink Rgb(int red, int green, int blue) { return {red / 255.0, green / 255.0, blue / 255.0}; }

// The two inks of one picture: the outline and the part that shows what the icon is.
struct Style {
  Ink Main;
  Ink Accent;
};

constexpr Ink OffMain = Rgb(112, 112, 112);
constexpr Ink OffAccent = Rgb(150, 150, 150);
constexpr Ink LitMain = Rgb(236, 236, 236);

constexpr Ink Cyan = Rgb(64, 196, 255);
constexpr Ink Green = Rgb(40, 220, 100);
constexpr Ink Amber = Rgb(255, 184, 0);
constexpr Ink Yellow = Rgb(255, 222, 0);
constexpr Ink Red = Rgb(240, 56, 48);

void Use(cairo_t* cr, const Ink& ink) { cairo_set_source_rgb(cr, ink.Red, ink.Green, ink.Blue); }

void Stroke(cairo_t* cr, const Ink& ink, double width) {
  Use(cr, ink);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void Fill(cairo_t* cr, const Ink& ink) {
  Use(cr, ink);
  cairo_fill(cr);
}

// Makes the current path transparent again (holes in a filled shape).
void Clear(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_fill(cr);
  cairo_restore(cr);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -Pi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, Pi / 2);
  cairo_arc(cr, x + r, y + h - r, r, Pi / 2, Pi);
  cairo_arc(cr, x + r, y + r, r, Pi, 3 * Pi / 2);
  cairo_close_path(cr);
}

void Polygon(cairo_t* cr, const double (*points)[2], int count) {
  cairo_move_to(cr, points[0][0], points[0][1]);
  for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i][0], points[i][1]);
  cairo_close_path(cr);
}

void Line(cairo_t* cr, double x1, double y1, double x2, double y2) {
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
}

// A sine from x0 to x1 around the line y, of the given amplitude and number of periods.
void Sine(cairo_t* cr, double x0, double x1, double y, double amplitude, double periods) {
  const int steps = 64;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const double x = x0 + t * (x1 - x0);
    const double v = y - amplitude * std::sin(2 * Pi * periods * t);
    if (i == 0)
      cairo_move_to(cr, x, v);
    else
      cairo_line_to(cr, x, v);
  }
}

// ---- the pictograms ----

void DrawCamera(cairo_t* cr, const Style& s) {
  RoundedRect(cr, 5, 14, 38, 26, 4);
  RoundedRect(cr, 15, 9, 13, 8, 2);
  Fill(cr, s.Main);
  cairo_arc(cr, 24, 27, 9.5, 0, 2 * Pi);
  Clear(cr);
  cairo_arc(cr, 24, 27, 6.5, 0, 2 * Pi);
  Fill(cr, s.Accent);
  cairo_rectangle(cr, 35, 17, 5, 3);
  Clear(cr);
}

// A plug on a cable and a socket on a cable: joined when connected, apart when not.
void DrawPlug(cairo_t* cr, const Style& s, bool joined) {
  const double shift = joined ? 0 : 4;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Line(cr, 2, 24, 8 - shift, 24);
  Line(cr, 40 + shift, 24, 46, 24);
  Stroke(cr, s.Main, 3);
  RoundedRect(cr, 8 - shift, 15, 12, 18, 2);
  Fill(cr, s.Accent);
  cairo_rectangle(cr, 20 - shift, 18, 7, 3);
  cairo_rectangle(cr, 20 - shift, 27, 7, 3);
  Fill(cr, s.Accent);
  RoundedRect(cr, 27 + shift, 13, 13, 22, 2);
  Fill(cr, s.Main);
  if (!joined) {
    cairo_rectangle(cr, 27 + shift, 18, 4, 3);
    cairo_rectangle(cr, 27 + shift, 27, 4, 3);
    Clear(cr);
    // Two short strokes in the gap say "apart".
    Line(cr, 26, 8, 28, 12);
    Line(cr, 28, 36, 26, 40);
    Stroke(cr, s.Accent, 2);
  }
}

void DrawCursorVertical(cairo_t* cr, const Style& s) {
  Line(cr, 24, 9, 24, 39);
  Stroke(cr, s.Accent, 3);
  const double top[][2] = {{17, 4}, {31, 4}, {24, 11}};
  const double bottom[][2] = {{17, 44}, {31, 44}, {24, 37}};
  Polygon(cr, top, 3);
  Polygon(cr, bottom, 3);
  Fill(cr, s.Main);
  const double left[][2] = {{7, 24}, {13, 19}, {13, 29}};
  const double right[][2] = {{41, 24}, {35, 19}, {35, 29}};
  Polygon(cr, left, 3);
  Polygon(cr, right, 3);
  Fill(cr, s.Main);
}

void DrawCursorHorizontal(cairo_t* cr, const Style& s) {
  Line(cr, 9, 24, 39, 24);
  Stroke(cr, s.Accent, 3);
  const double left[][2] = {{4, 17}, {4, 31}, {11, 24}};
  const double right[][2] = {{44, 17}, {44, 31}, {37, 24}};
  Polygon(cr, left, 3);
  Polygon(cr, right, 3);
  Fill(cr, s.Main);
  const double up[][2] = {{24, 7}, {19, 13}, {29, 13}};
  const double down[][2] = {{24, 41}, {19, 35}, {29, 35}};
  Polygon(cr, up, 3);
  Polygon(cr, down, 3);
  Fill(cr, s.Main);
}

// A spectrum: bars of falling height on a base line.
void DrawFft(cairo_t* cr, const Style& s) {
  const double heights[] = {30, 19, 25, 13, 9, 5};
  for (int i = 0; i < 6; ++i) cairo_rectangle(cr, 7 + 6 * i, 39 - heights[i], 4, heights[i]);
  Fill(cr, s.Accent);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Line(cr, 5, 40.5, 43, 40.5);
  Stroke(cr, s.Main, 3);
}

// A page with a folded corner and lines of text.
void DrawFile(cairo_t* cr, const Style& s) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const double page[][2] = {{11, 5}, {29, 5}, {37, 13}, {37, 43}, {11, 43}};
  Polygon(cr, page, 5);
  Stroke(cr, s.Main, 2.5);
  cairo_move_to(cr, 29, 5);
  cairo_line_to(cr, 29, 13);
  cairo_line_to(cr, 37, 13);
  Stroke(cr, s.Main, 2.5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (double y = 20; y <= 37; y += 5.5) Line(cr, 16, y, y < 21 ? 24 : 32, y);
  Stroke(cr, s.Accent, 2);
}

void DrawHelp(cairo_t* cr, const Style& s) {
  cairo_arc(cr, 24, 24, 19, 0, 2 * Pi);
  Stroke(cr, s.Main, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_new_path(cr);
  cairo_arc(cr, 24, 19, 6, Pi, 2.25 * Pi);
  cairo_line_to(cr, 24, 26.5);
  cairo_line_to(cr, 24, 29);
  Stroke(cr, s.Accent, 3.5);
  cairo_arc(cr, 24, 35, 2.3, 0, 2 * Pi);
  Fill(cr, s.Accent);
}

// A warning triangle with a lightning bolt.
void DrawHighVoltage(cairo_t* cr, const Style& s) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const double triangle[][2] = {{24, 4}, {45, 42}, {3, 42}};
  Polygon(cr, triangle, 3);
  Stroke(cr, s.Main, 3);
  const double bolt[][2] = {{27, 13}, {17, 30}, {23.5, 30}, {20.5, 39}, {31, 24}, {24.5, 24}, {29.5, 13}};
  Polygon(cr, bolt, 7);
  Fill(cr, s.Accent);
}

void DrawPlay(cairo_t* cr, const Style& s) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const double triangle[][2] = {{15, 9}, {15, 39}, {39, 24}};
  Polygon(cr, triangle, 3);
  Use(cr, s.Accent);
  cairo_fill_preserve(cr);
  Stroke(cr, s.Accent, 3);
}

// A screen with a grid and a trace.
void DrawScope(cairo_t* cr, const Style& s) {
  RoundedRect(cr, 4, 8, 40, 32, 3);
  Stroke(cr, s.Main, 2.5);
  const double dash[] = {1.5, 2.5};
  cairo_set_dash(cr, dash, 2, 0);
  Line(cr, 7, 24, 41, 24);
  Line(cr, 24, 11, 24, 37);
  Stroke(cr, s.Main, 1);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Sine(cr, 8, 40, 24, 9, 1.5);
  Stroke(cr, s.Accent, 2.5);
}

// A gear: teeth around a ring, a hole in the middle and a hub.
void DrawSettings(cairo_t* cr, const Style& s) {
  const int teeth = 8;
  const double outer = 20, inner = 15, half = Pi / teeth * 0.45;
  for (int i = 0; i < teeth; ++i) {
    const double a = 2 * Pi * i / teeth;
    const double b = a + Pi / teeth;
    if (i == 0)
      cairo_move_to(cr, 24 + outer * std::cos(a - half), 24 + outer * std::sin(a - half));
    else
      cairo_line_to(cr, 24 + outer * std::cos(a - half), 24 + outer * std::sin(a - half));
    cairo_line_to(cr, 24 + outer * std::cos(a + half), 24 + outer * std::sin(a + half));
    cairo_line_to(cr, 24 + inner * std::cos(b - half), 24 + inner * std::sin(b - half));
    cairo_line_to(cr, 24 + inner * std::cos(b + half), 24 + inner * std::sin(b + half));
  }
  cairo_close_path(cr);
  Fill(cr, s.Main);
  cairo_arc(cr, 24, 24, 8, 0, 2 * Pi);
  Clear(cr);
  cairo_arc(cr, 24, 24, 4.5, 0, 2 * Pi);
  Fill(cr, s.Accent);
}

void DrawStop(cairo_t* cr, const Style& s) {
  RoundedRect(cr, 11, 11, 26, 26, 3);
  Fill(cr, s.Accent);
}

// A synthesised signal: a sine above a square wave.
void DrawSynth(cairo_t* cr, const Style& s) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Sine(cr, 5, 43, 15, 8, 2);
  Stroke(cr, s.Accent, 3);
  const double square[][2] = {{5, 40}, {5, 30}, {14.5, 30}, {14.5, 40}, {24, 40},
                              {24, 30}, {33.5, 30}, {33.5, 40}, {43, 40}};
  cairo_move_to(cr, square[0][0], square[0][1]);
  for (const auto& p : square) cairo_line_to(cr, p[0], p[1]);
  Stroke(cr, s.Main, 2.5);
}

// The tile modes: no tiles, tiles in rows, tiles in a column beside the view.
void DrawValuesFrame(cairo_t* cr, const Style& s) {
  RoundedRect(cr, 5, 7, 38, 34, 3);
  Stroke(cr, s.Main, 2.5);
}

void DrawValuesNull(cairo_t* cr, const Style& s) {
  DrawValuesFrame(cr, s);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Line(cr, 11, 35, 37, 13);
  Stroke(cr, s.Accent, 2.5);
}

void DrawValuesHorizontal(cairo_t* cr, const Style& s) {
  DrawValuesFrame(cr, s);
  for (int row = 0; row < 3; ++row) {
    cairo_rectangle(cr, 10, 12 + 9.5 * row, 12, 6);
    cairo_rectangle(cr, 25, 12 + 9.5 * row, 13, 6);
  }
  Fill(cr, s.Accent);
}

void DrawValuesVertical(cairo_t* cr, const Style& s) {
  DrawValuesFrame(cr, s);
  for (int row = 0; row < 4; ++row) cairo_rectangle(cr, 10, 11.5 + 7 * row, 11, 5);
  Fill(cr, s.Accent);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Sine(cr, 26, 38, 24, 6, 1);
  Stroke(cr, s.Main, 2);
}

// A magnifier with a plus in its glass.
void DrawZoom(cairo_t* cr, const Style& s) {
  cairo_arc(cr, 20, 20, 12, 0, 2 * Pi);
  Stroke(cr, s.Main, 3.5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Line(cr, 29, 29, 41, 41);
  Stroke(cr, s.Main, 6);
  Line(cr, 14, 20, 26, 20);
  Line(cr, 20, 14, 20, 26);
  Stroke(cr, s.Accent, 3);
}

// ---- the file table ----

enum class Picture {
  Camera, Disconnected, Connected, CursorVertical, CursorHorizontal, Fft, File, Help,
  HighVoltage, Play, Scope, Settings, Stop, Synth, ValuesNull, ValuesHorizontal,
  ValuesVertical, Zoom,
};

struct IconName {
  const char* Stem;  // the file name before "_0.png" / "_1.png", or the whole name
  Picture Drawn;
  Ink Accent;        // the lit accent colour
};

constexpr IconName IconNames[] = {
    {"camera", Picture::Camera, Cyan},
    {"disconnected", Picture::Disconnected, Amber},
    {"connected", Picture::Connected, Green},
    {"cursorvertical", Picture::CursorVertical, Cyan},
    {"cursorhorizontal", Picture::CursorHorizontal, Cyan},
    {"fft", Picture::Fft, Cyan},
    {"file", Picture::File, Cyan},
    {"help", Picture::Help, Cyan},
    {"highvoltage", Picture::HighVoltage, Yellow},
    {"play", Picture::Play, Green},
    {"scope", Picture::Scope, Green},
    {"settings", Picture::Settings, Cyan},
    {"stop", Picture::Stop, Red},
    {"synth", Picture::Synth, Amber},
    {"values_null.png", Picture::ValuesNull, Cyan},
    {"values_horizontal.png", Picture::ValuesHorizontal, Cyan},
    {"values_vertical.png", Picture::ValuesVertical, Cyan},
    {"zoom", Picture::Zoom, Cyan},
};

void Draw(cairo_t* cr, Picture picture, const Style& s) {
  switch (picture) {
    case Picture::Camera: DrawCamera(cr, s); break;
    case Picture::Disconnected: DrawPlug(cr, s, false); break;
    case Picture::Connected: DrawPlug(cr, s, true); break;
    case Picture::CursorVertical: DrawCursorVertical(cr, s); break;
    case Picture::CursorHorizontal: DrawCursorHorizontal(cr, s); break;
    case Picture::Fft: DrawFft(cr, s); break;
    case Picture::File: DrawFile(cr, s); break;
    case Picture::Help: DrawHelp(cr, s); break;
    case Picture::HighVoltage: DrawHighVoltage(cr, s); break;
    case Picture::Play: DrawPlay(cr, s); break;
    case Picture::Scope: DrawScope(cr, s); break;
    case Picture::Settings: DrawSettings(cr, s); break;
    case Picture::Stop: DrawStop(cr, s); break;
    case Picture::Synth: DrawSynth(cr, s); break;
    case Picture::ValuesNull: DrawValuesNull(cr, s); break;
    case Picture::ValuesHorizontal: DrawValuesHorizontal(cr, s); break;
    case Picture::ValuesVertical: DrawValuesVertical(cr, s); break;
    case Picture::Zoom: DrawZoom(cr, s); break;
  }
}

// Finds the picture and state of a file name; false for a name not in the table.
bool FindIcon(const std::string& file, const IconName** icon, bool* lit) {
  for (const IconName& entry : IconNames) {
    const std::string stem = entry.Stem;
    if (file == stem) {
      *icon = &entry;
      *lit = true;
      return true;
    }
    if (file == stem + "_0.png" || file == stem + "_1.png") {
      *icon = &entry;
      *lit = file == stem + "_1.png";
      return true;
    }
  }
  return false;
}

bool WriteIcon(const std::string& folder, const std::string& file) {
  const IconName* icon = nullptr;
  bool lit = false;
  if (!FindIcon(file, &icon, &lit)) {
    std::fprintf(stderr, "icongen: no picture for '%s'\n", file.c_str());
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, IconSize, IconSize);
  cairo_t* cr = cairo_create(surface);
  const Style style = lit ? Style{LitMain, icon->Accent} : Style{OffMain, OffAccent};
  Draw(cr, icon->Drawn, style);
  cairo_destroy(cr);
  const std::string path = folder + "/" + file;
  const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "icongen: cannot write '%s': %s\n", path.c_str(),
                 cairo_status_to_string(status));
    return false;
  }
  return true;
}

}  // namespace

// ---- main ----

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: icongen <folder> <file>...\n");
    return 1;
  }
  const std::string folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "icongen: cannot create '%s': %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  bool ok = true;
  for (int i = 2; i < argc; ++i) ok = WriteIcon(folder, argv[i]) && ok;
  return ok ? 0 : 1;
}
