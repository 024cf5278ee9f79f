// The program's eleven numbered fonts, loaded by ReadSystemSettings and selected by
// number by the painting code.
#pragma once

namespace zolt::frame {

constexpr int FontBody = 1;             // "Calibri" 11, high quality
constexpr int FontBodyBold = 2;         // "Calibri" 11, bold, high quality
constexpr int FontLarge = 3;            // "Calibri" 20, bold
constexpr int FontTileLabel = 4;        // "Calibri" 20, bold
constexpr int FontTileDescription = 5;  // "Calibri" 10
constexpr int FontTileValue = 6;        // "Calibri" 20, bold
constexpr int FontTileUnit = 7;         // "Calibri" 18, bold
constexpr int FontSmall = 9;            // "Calibri" 10
constexpr int FontButtonLarge = 18;     // "Calibri" 13, bold, high quality
constexpr int FontButtonSmall = 19;     // "Calibri" 10, bold, high quality
constexpr int FontGraphLabel = 20;      // "Arial Bold" 10, bold, high quality

// Loads all eleven fonts (face, points scaled by the display's vertical dots per inch).
void LoadProgramFonts();

}  // namespace zolt::frame
