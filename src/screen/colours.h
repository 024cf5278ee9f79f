// Colour schemes: the named colours of the painted interface and the 25 trace colours.
//
// SetColourScheme fills the record once at each model's start-up from the setting
// "KVR_AlternateDisplayColours": "Light" or "Yes" give the light scheme, "Dark" the dark
// one, anything else the default (dark blue panels, white text, black graph). Colours are
// 0x00BBGGRR. Main thread only.
#pragma once

#include <array>

#include "platform/draw.h"

namespace zolt::screen {

using platform::Colour;
using platform::MakeColour;

constexpr int TraceColours = 25;

struct ColourSchemeRecord {
  Colour HighlightColour = 0;
  Colour PanelBackColour = 0;
  Colour StatusStripColour = 0;
  Colour ControlTextColour = 0;
  Colour HeaderSubTextColour = 0;
  Colour CaptionTextColour = 0;
  Colour TitleTextColour = MakeColour(0, 0, 0);  // fixed from start, not set by a scheme
  Colour GreenColour = 0;
  Colour RedColour = 0;
  Colour OrangeColour = 0;
  Colour YellowColour = 0;
  Colour InactiveColour = 0;
  Colour FrameGreyColour = 0;
  Colour ReadoutBackColour = 0;
  Colour TileColourA = 0;
  Colour TileColourB = 0;
  Colour SettingsHeadingColour = 0;
  Colour GraphBackColour = 0;
  Colour GraphTextColour = 0;
  Colour GridMajorColour = 0;
  Colour GridMinorColour = 0;
  Colour V1Colour = 0;
  Colour C1Colour = 0;
  Colour V2Colour = 0;
  Colour C2Colour = 0;
  Colour V3Colour = 0;
  Colour C3Colour = 0;
  Colour DarkFillColour = MakeColour(25, 25, 25);    // fixed from start
  Colour DarkerFillColour = MakeColour(12, 12, 12);  // fixed from start
  std::array<Colour, TraceColours> TraceColour{};

  bool operator==(const ColourSchemeRecord&) const = default;
};

inline ColourSchemeRecord ColourScheme;

// Fills ColourScheme from frame::AppSettings.AlternateDisplayColours.
void SetColourScheme();

}  // namespace zolt::screen
