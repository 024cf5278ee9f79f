// Helpers shared by the painted controls' files: rounding to pixels and text measured
// and drawn in the selected font.
#pragma once

#include <cstdint>
#include <string>

#include "frame/numbers.h"
#include "platform/draw.h"

namespace zolt::screen::controls {

// A real pixel coordinate or size rounded to nearest, ties to even.
inline int32_t Px(double value) { return frame::RoundToInt32(value); }

inline double Width(const std::string& text) { return platform::TextWidth(text); }
inline double Height(const std::string& text) { return platform::TextHeight(text); }
// Width and height rounded first, for the positions computed with integer division.
inline int32_t WholeWidth(const std::string& text) { return Px(platform::TextWidth(text)); }
inline int32_t WholeHeight(const std::string& text) { return Px(platform::TextHeight(text)); }

inline void Text(double x, double y, const std::string& text, platform::Colour front, platform::Colour back) {
  platform::DrawText(x, y, text, front, back);
}

}  // namespace zolt::screen::controls
