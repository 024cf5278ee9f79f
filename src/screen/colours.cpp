// Colour schemes: the default scheme, the fields the "Light" and "Dark" schemes change,
// and the trace colours.
#include "screen/colours.h"

#include "frame/settings.h"

namespace zolt::screen {

namespace {

// Eight trace colours, repeated over curves 0 to 23; curve 24 is white again.
constexpr Colour TraceCycle[8] = {
    MakeColour(255, 255, 255), MakeColour(255, 0, 0),     MakeColour(0, 255, 0),   MakeColour(0, 0, 255),
    MakeColour(115, 124, 112), MakeColour(255, 192, 203), MakeColour(255, 255, 0), MakeColour(0, 136, 0),
};

void SetDefaultScheme(ColourSchemeRecord& s) {
  s.HighlightColour = MakeColour(43, 144, 220);
  s.PanelBackColour = MakeColour(21, 51, 80);
  s.StatusStripColour = MakeColour(117, 117, 117);
  s.ControlTextColour = MakeColour(255, 255, 255);
  s.HeaderSubTextColour = MakeColour(255, 255, 255);
  s.CaptionTextColour = MakeColour(255, 255, 255);
  s.GreenColour = MakeColour(0, 255, 0);
  s.RedColour = MakeColour(255, 0, 0);
  s.OrangeColour = MakeColour(255, 165, 0);
  s.YellowColour = MakeColour(255, 255, 0);
  s.InactiveColour = MakeColour(115, 124, 112);
  s.FrameGreyColour = MakeColour(117, 117, 117);
  s.ReadoutBackColour = MakeColour(30, 30, 30);
  s.TileColourA = MakeColour(27, 128, 204);
  s.TileColourB = MakeColour(43, 144, 220);
  s.SettingsHeadingColour = MakeColour(255, 255, 0);
  s.GraphBackColour = MakeColour(0, 0, 0);
  s.GraphTextColour = MakeColour(255, 255, 255);
  s.GridMajorColour = MakeColour(0, 136, 0);
  s.GridMinorColour = MakeColour(0, 51, 0);
  s.V1Colour = MakeColour(255, 255, 0);
  s.C1Colour = MakeColour(255, 0, 0);
  s.V2Colour = MakeColour(43, 144, 220);
  s.C2Colour = MakeColour(115, 124, 112);
  s.V3Colour = MakeColour(255, 192, 203);
  s.C3Colour = MakeColour(0, 255, 0);
}

void SetLightScheme(ColourSchemeRecord& s) {
  s.PanelBackColour = MakeColour(75, 176, 255);
  s.StatusStripColour = MakeColour(46, 54, 46);
  s.ControlTextColour = MakeColour(0, 0, 0);
  s.GraphBackColour = MakeColour(163, 172, 160);
  s.GraphTextColour = MakeColour(0, 0, 0);
  s.GridMajorColour = MakeColour(0, 255, 0);
  s.GridMinorColour = MakeColour(0, 136, 0);
}

void SetDarkScheme(ColourSchemeRecord& s) {
  s.GraphBackColour = MakeColour(46, 54, 46);
  s.GridMajorColour = MakeColour(0, 255, 0);
  s.GridMinorColour = MakeColour(0, 136, 0);
}

}  // namespace

void SetColourScheme() {
  ColourSchemeRecord& s = ColourScheme;
  const std::string& choice = frame::AppSettings.AlternateDisplayColours;
  SetDefaultScheme(s);
  if (choice == "Light" || choice == "Yes") SetLightScheme(s);
  if (choice == "Dark") SetDarkScheme(s);
  for (int i = 0; i < TraceColours; ++i) s.TraceColour[i] = TraceCycle[i % 8];
}

}  // namespace zolt::screen
