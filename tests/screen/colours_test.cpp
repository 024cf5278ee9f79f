// The three colour schemes chosen by the setting, and the trace colours.
#include <gtest/gtest.h>

#include "frame/settings.h"
#include "screen/colours.h"

namespace zolt::screen {
namespace {

ColourSchemeRecord SchemeFor(const std::string& setting) {
  frame::AppSettings.AlternateDisplayColours = setting;
  SetColourScheme();
  return ColourScheme;
}

TEST(ColourScheme, OnlyExactSettingsChooseAnAlternative) {
  const ColourSchemeRecord standard = SchemeFor("No");
  EXPECT_EQ(standard.PanelBackColour, MakeColour(21, 51, 80));
  EXPECT_EQ(standard.GraphBackColour, MakeColour(0, 0, 0));
  EXPECT_EQ(SchemeFor("light"), standard);
  EXPECT_EQ(SchemeFor("LIGHT"), standard);
  EXPECT_EQ(SchemeFor("dark"), standard);
  EXPECT_EQ(SchemeFor(""), standard);

  const ColourSchemeRecord light = SchemeFor("Light");
  EXPECT_EQ(SchemeFor("Yes"), light);
  EXPECT_EQ(light.PanelBackColour, MakeColour(75, 176, 255));
  EXPECT_EQ(light.ControlTextColour, MakeColour(0, 0, 0));
  EXPECT_EQ(light.GridMinorColour, MakeColour(0, 136, 0));
  EXPECT_EQ(light.HighlightColour, standard.HighlightColour);
}

TEST(ColourScheme, DarkChangesOnlyTheGraphBackgroundAndGrid) {
  const ColourSchemeRecord standard = SchemeFor("No");
  ColourSchemeRecord dark = SchemeFor("Dark");
  EXPECT_EQ(dark.GraphBackColour, MakeColour(46, 54, 46));
  EXPECT_EQ(dark.GridMajorColour, MakeColour(0, 255, 0));
  EXPECT_EQ(dark.GridMinorColour, MakeColour(0, 136, 0));
  dark.GraphBackColour = standard.GraphBackColour;
  dark.GridMajorColour = standard.GridMajorColour;
  dark.GridMinorColour = standard.GridMinorColour;
  EXPECT_EQ(dark, standard);
}

TEST(ColourScheme, TraceColoursCycleEveryEightAndEndWhite) {
  const ColourSchemeRecord s = SchemeFor("Light");
  for (int i : {0, 8, 16, 24}) EXPECT_EQ(s.TraceColour[i], MakeColour(255, 255, 255)) << i;
  EXPECT_EQ(s.TraceColour[1], MakeColour(255, 0, 0));
  EXPECT_EQ(s.TraceColour[15], MakeColour(0, 136, 0));
  EXPECT_EQ(s.TraceColour[21], MakeColour(255, 192, 203));
  EXPECT_EQ(s.TitleTextColour, MakeColour(0, 0, 0));
  EXPECT_EQ(s.DarkFillColour, MakeColour(25, 25, 25));
}

}  // namespace
}  // namespace zolt::screen
