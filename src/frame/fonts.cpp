// The program's eleven numbered fonts, loaded once at start-up; the painting code
// selects them by number.
#include "frame/fonts.h"

#include "platform/draw.h"

namespace zolt::frame {

namespace {

struct FontRow {
  int Number;
  const char* Face;
  int Points;
  int Style;
};

constexpr int Plain = platform::FontPlain;
constexpr int Bold = platform::FontBold;
constexpr int Quality = platform::FontHighQuality;

// In loading order.
constexpr FontRow ProgramFonts[] = {
    {FontSmall, "Calibri", 10, Plain},
    {FontLarge, "Calibri", 20, Bold},
    {FontBody, "Calibri", 11, Quality},
    {FontBodyBold, "Calibri", 11, Bold | Quality},
    {FontTileLabel, "Calibri", 20, Bold},
    {FontTileDescription, "Calibri", 10, Plain},
    {FontTileValue, "Calibri", 20, Bold},
    {FontTileUnit, "Calibri", 18, Bold},
    {FontButtonLarge, "Calibri", 13, Bold | Quality},
    {FontButtonSmall, "Calibri", 10, Bold | Quality},
    {FontGraphLabel, "Arial Bold", 10, Bold | Quality},
};

}  // namespace

void LoadProgramFonts() {
  for (const FontRow& row : ProgramFonts) platform::LoadFont(row.Number, row.Face, row.Points, row.Style);
}

}  // namespace zolt::frame
