// The painted panels at 1920 x 1080: the left column's controls and their zones, the
// optional device rows pushing everything below them down, the state texts by run phase,
// the sweep settings legend, and the right column's cursor bars, readouts and key
// measurements listed from the highest step down.
#include <functional>
#include <vector>

#include "frame/translate.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/hot_zones.h"
#include "screen_fixture.h"
#include "tracer/cursors.h"
#include "tracer/graph.h"
#include "tracer/measurements.h"
#include "tracer/panels.h"
#include "screen/surface.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/test_config.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::tracer::testing {
namespace {

using platform::Colour;
using screen::ColourScheme;

int Top(int id) { return screen::HotZone[id].Top; }
bool Registered(int id) { return screen::HotZone[id].Right > 0; }

// Whether the canvas rectangle shows exactly what `paint` paints over it.
bool Shows(int x, int y, int w, int h, const std::function<void()>& paint) {
  std::vector<Colour> before;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) before.push_back(Pixel(i, j));
  paint();
  size_t k = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      if (Pixel(i, j) != before[k++]) return false;
  return true;
}

bool ButtonShows(int x, int y, int id, const std::string& text, Colour colour) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  return Shows(x, y, 145, 25, [&] {
    screen::DrawTextButtonLarge(x, y, 144, 24, id, text, colour, c.HighlightColour, c.FrameGreyColour);
  });
}

bool SampleRunControlShows(int y, const std::string& text, const std::string& kind) {
  screen::HotZoneText[484] = text;
  return Shows(8, y, 289, 73, [&] {
    screen::DrawValueControl(8, y, 288, 72, 481, kind, ColourScheme.InactiveColour);
  });
}

using ControlPanels = ScreenTest;

TEST_F(ControlPanels, ControlsSitAtTheirRows) {
  DrawScreen();
  const screen::HotZoneRect connect = screen::HotZone[265];
  EXPECT_EQ(connect.Left, 8);
  EXPECT_EQ(connect.Right, 152);
  EXPECT_EQ(connect.Top, 24);
  EXPECT_EQ(connect.Bottom, 48);
  EXPECT_EQ(screen::HotZone[637].Left, 152);
  EXPECT_EQ(screen::HotZone[637].Right, 296);
  EXPECT_EQ(Top(277), 47);
  EXPECT_EQ(Top(325 + 8), 8);
  EXPECT_EQ(Top(313 + 8), 79);
  EXPECT_EQ(Top(494), 96);
  EXPECT_EQ(screen::HotZone[412].Left, 33);  // value bands 2 x 119 px wide
  EXPECT_EQ(screen::HotZone[412].Right, 271);
  const struct {
    int Id, Top;
  } rows[] = {{412, 137}, {337 + 8, 198}, {424, 233}, {436, 304}, {349 + 8, 365}, {448, 400},
              {460, 471}, {472, 542},     {373 + 8, 603}, {61, 619}, {73, 619}, {625, 642},
              {361 + 8, 722}, {484, 757}};
  for (const auto& row : rows) EXPECT_EQ(Top(row.Id), row.Top) << row.Id;
  EXPECT_EQ(screen::HotZone[625].Bottom, 714);
  EXPECT_FALSE(Registered(506));
  EXPECT_FALSE(Registered(518));
}

TEST_F(ControlPanels, OptionalDeviceRowsPushThePanelsDown) {
  TestSetup.FetRowShown = 1;
  DrawScreen();
  EXPECT_EQ(Top(506), 119);
  EXPECT_EQ(Top(412), 137 + 23);
  EXPECT_EQ(Top(484), 757 + 23);
  EXPECT_FALSE(Registered(518));

  TestSetup.MoreRowShown = 1;
  DrawScreen();
  EXPECT_EQ(Top(518), 142);
  EXPECT_EQ(Top(412), 137 + 46);
  EXPECT_EQ(Top(349 + 8), 365 + 46);
  EXPECT_EQ(Top(61), 619 + 46);
  EXPECT_EQ(Top(484), 757 + 46);

  TestSetup.FetRowShown = 0;
  TestSetup.MoreRowShown = 0;
  DrawScreen();
  EXPECT_FALSE(Registered(506));
  EXPECT_FALSE(Registered(518));
  EXPECT_EQ(Top(484), 757);
}

TEST_F(ControlPanels, StateButtonsFollowTheRunPhase) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  RunControl.RunPhase = 0;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "CONNECT?", c.CaptionTextColour));
  EXPECT_TRUE(ButtonShows(152, 24, 637, "HV ENABLE", c.InactiveColour));
  EXPECT_TRUE(ButtonShows(8, 619, 61, "RUN", c.InactiveColour));
  EXPECT_TRUE(ButtonShows(152, 619, 73, "STOPPED", c.InactiveColour));
  EXPECT_FALSE(ButtonShows(8, 619, 61, "RUN", c.CaptionTextColour));
  EXPECT_TRUE(SampleRunControlShows(738, "0007.csv", "<>"));
  // After a lost link: the connect button in red, the com status line saying why.
  RunControl.LinkLost = 1;
  RunControl.ComStatusText = "LINK LOST";
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "CONNECT?", c.RedColour));
  EXPECT_TRUE(Shows(8, 47, 289, 25, [&] {
    screen::DrawTextButtonSmall(8, 47, 288, 24, 277, "Com Status: LINK LOST", c.CaptionTextColour,
                                c.PanelBackColour, c.FrameGreyColour);
  }));
  RunControl.LinkLost = 0;
  RunControl.ComStatusText.clear();

  RunControl.RunPhase = 1;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "CONNECTED", c.GreenColour));
  EXPECT_TRUE(ButtonShows(152, 24, 637, "HV ENABLE", c.CaptionTextColour));
  EXPECT_TRUE(ButtonShows(8, 619, 61, "RUN", c.InactiveColour));
  EXPECT_TRUE(SampleRunControlShows(738, "0007.csv", "<>"));

  RunControl.RunPhase = 2;
  SampleRunNumber = 12;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(152, 24, 637, "HV ENABLED", c.RedColour));
  EXPECT_TRUE(ButtonShows(8, 619, 61, "RUN", c.CaptionTextColour));
  EXPECT_TRUE(ButtonShows(152, 619, 73, "STOPPED", c.InactiveColour));
  EXPECT_TRUE(SampleRunControlShows(738, "0012.csv", "<>"));
  DisplayedRunFile = UnsavedRun;  // the run on display is in no file
  DrawScreen();
  EXPECT_TRUE(SampleRunControlShows(738, "not saved", "<>"));

  RunControl.RunPhase = 6;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "CONNECTED", c.GreenColour));
  EXPECT_TRUE(ButtonShows(8, 619, 61, "RUNNING", c.GreenColour));
  EXPECT_TRUE(ButtonShows(152, 619, 73, "STOP", c.CaptionTextColour));
  EXPECT_TRUE(SampleRunControlShows(738, "..live Data..", "+-"));

  RunControl.RunPhase = 7;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 619, 61, "RUNNING", c.InactiveColour));
  EXPECT_TRUE(ButtonShows(152, 619, 73, "STOPPED", c.InactiveColour));

  RunControl.RunPhase = 10;
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "", 0));
  EXPECT_TRUE(SampleRunControlShows(738, "", ""));
}

TEST_F(ControlPanels, StateTextsAreTranslatedCaptionsInCapitals) {
  frame::SetLanguageCell(0, 0, "English");
  frame::SetLanguageCell(0, 1, "Deutsch");
  frame::SetLanguageCell(1, 0, "Connect");
  frame::SetLanguageCell(1, 1, "Verbinden");
  frame::SetLanguageCell(2, 0, "live Data");
  frame::SetLanguageCell(2, 1, "Live-Daten");
  frame::SetLanguageCell(3, 0, "DIODE");
  frame::SetLanguageCell(3, 1, "Diode");
  frame::LanguageState.LanguageColumn = 1;
  frame::LoadUiTexts();
  DrawScreen();
  EXPECT_TRUE(ButtonShows(8, 24, 265, "VERBINDEN?", ColourScheme.CaptionTextColour));
  EXPECT_EQ(screen::HotZoneText[493 + 5], "Diode");
  EXPECT_EQ(screen::HotZoneText[493 + 6], "MORE");
  RunControl.RunPhase = 5;
  DrawScreen();
  EXPECT_TRUE(SampleRunControlShows(738, "..Live-Daten..", "+-"));
}

TEST_F(ControlPanels, AccentedAndCyrillicCaptionsAreShownInCapitals) {
  frame::SetLanguageCell(0, 0, "English");
  frame::SetLanguageCell(0, 1, "Other");
  frame::SetLanguageCell(1, 0, "Connected");
  frame::SetLanguageCell(1, 1, "Connect\xC3\xA9");  // Connecté
  frame::SetLanguageCell(2, 0, "RUNNING");
  frame::SetLanguageCell(2, 1, "l\xC3\xA4uft \xC3\x9F");  // läuft ß
  frame::SetLanguageCell(3, 0, "STOP");
  frame::SetLanguageCell(3, 1, "\xD1\x81\xD1\x82\xD0\xBE\xD0\xBF");  // стоп
  frame::LanguageState.LanguageColumn = 1;
  frame::LoadUiTexts();
  RunControl.RunPhase = 4;
  DrawScreen();
  const screen::ColourSchemeRecord& c = ColourScheme;
  EXPECT_TRUE(ButtonShows(8, 24, 265, "CONNECT\xC3\x89", c.GreenColour));
  EXPECT_TRUE(ButtonShows(8, 619, 61, "L\xC3\x84UFT \xC3\x9F", c.GreenColour));
  EXPECT_TRUE(ButtonShows(152, 619, 73, "\xD0\xA1\xD0\xA2\xD0\x9E\xD0\x9F", c.CaptionTextColour));
}

TEST_F(ControlPanels, PulseLengthIsShownAsTheSelectedOption) {
  TestSetup.SetupCollectorPulseLength = 80e-6;
  TestSetup.MaxCurrentText = "50 mA";
  DrawScreen();
  const std::string micro = "\xC2\xB5";
  screen::HotZoneText[433 + 7] = "#Pulsed: 80 " + micro + "s";
  EXPECT_TRUE(Shows(8, 285, 289, 73, [] {
    screen::DrawValueControl(8, 285, 288, 72, 433, "-+", ColourScheme.YellowColour);
  }));
  const struct {
    double Length;
    std::string Text;
  } cases[] = {{0, "#Continuous"}, {71e-6, "#Continuous"}, {72e-6, "#"}, {300e-6, "#Pulsed: 300 " + micro + "s"}};
  for (const auto& c : cases) {
    TestSetup.SetupCollectorPulseLength = c.Length;
    DrawScreen();
    EXPECT_EQ(screen::HotZoneText[433 + 7], c.Text) << c.Length;
  }
}

TEST_F(ControlPanels, NothingIsPaintedWhileTheSurfaceIsClosed) {
  screen::ScreenState.ScreenOpen = 0;
  screen::HotZone[265] = {};
  DrawScreen();
  EXPECT_FALSE(Registered(265));
  EXPECT_EQ(Pixel(100, 100), 0u);
}

TEST_F(ControlPanels, CanvasFollowsTheSurfaceSize) {
  PrepareScreen(1400, 800);
  DrawScreen();
  EXPECT_EQ(platform::ImageWidth(38), 1400);
  EXPECT_EQ(platform::ImageHeight(38), 800);
  EXPECT_EQ(Top(397 + 8), 800 - 129);   // sweep settings at the foot of the right column
  EXPECT_EQ(screen::HotZone[397 + 8].Left, 1400 - 296);
}

// A window resized far below the layout's size: the columns overlap and the plot has no
// room, yet the pass paints what fits into the canvas and nothing outside it.
TEST_F(ControlPanels, AWindowSmallerThanTheLayoutIsPaintedWithoutFault) {
  for (auto [w, h] : {std::pair{1, 1}, {200, 150}, {610, 300}, {700, 100}, {2000, 40}}) {
    PrepareScreen(w, h);
    FillTransistorCurves(7, 500);
    CursorXA.Value = 3;
    SlopeShown = 1;
    DrawScreen();
    EXPECT_EQ(platform::ImageWidth(38), w);
    EXPECT_EQ(platform::ImageHeight(38), h);
  }
}

using SweepSettings = ScreenTest;

TEST_F(SweepSettings, LegendTextsFromTheShownSetUp) {
  RunSetupSnapshot& s = ShownStepSetups[0];
  const auto legend = [](int i) {
    BuildSetupLegendTexts();
    return SetupLegendTexts[i];
  };
  const struct {
    double Value;
    const char* Text;
  } voltages[] = {{30, "30 V"}, {12.5, "12.5 V"}, {7.1, "7.1 V"}, {0, "0 V"}};
  for (const auto& v : voltages) {
    s.CollectorMaxVoltage = v.Value;
    EXPECT_EQ(legend(0), v.Text);
  }
  const struct {
    double Value;
    const char* Text;
  } currents[] = {{0.0005, "500 uA"}, {0.02, "20 mA"}, {1.5, "1.5 A"}, {0, "0 uA"}, {-0.002, "-2 mA"}};
  for (const auto& c : currents) {
    s.CollectorMaxCurrent = c.Value;
    EXPECT_EQ(legend(1), c.Text);
  }
  const struct {
    double Value;
    const char* Text;
  } resistors[] = {{27000, "27 kR"}, {2550, "2.55 kR"}, {24, "24 R"}, {2.2e6, "2.2 MR"}};
  for (const auto& r : resistors) {
    s.CollectorResistorOhms = r.Value;
    EXPECT_EQ(legend(2), r.Text);
  }
  s.CollectorPulseLength = 80e-6;
  s.BaseGatePulseLength = 0;
  s.SampleRate = 50;
  RunInfo.GraphType = 300;
  EXPECT_EQ(legend(3), "Pulsed 80 us");
  EXPECT_EQ(legend(4), "Continuous");
  EXPECT_EQ(legend(5), "50 Hz");
  EXPECT_EQ(legend(6), "300");
}

using CursorPanel = ScreenTest;

TEST_F(CursorPanel, TogglesLightTheShownCursorsAndTheLocks) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  CursorXB.Shown = 0;
  CursorXLock.Locked = 1;
  SlopeShown = 1;
  DrawScreen();
  EXPECT_EQ(screen::HotZone[650].Left, 1625);
  EXPECT_EQ(screen::HotZone[650].Right, 1682);
  EXPECT_EQ(Top(650), 25);
  EXPECT_EQ(Top(758), 48);
  EXPECT_EQ(Pixel(1627, 27), c.HighlightColour);   // XA
  EXPECT_EQ(Pixel(1684, 27), c.PanelBackColour);   // XB hidden
  EXPECT_EQ(Pixel(1742, 27), c.HighlightColour);   // SYNC
  EXPECT_EQ(Pixel(1799, 27), c.PanelBackColour);   // ZERO never
  EXPECT_EQ(Pixel(1856, 27), c.HighlightColour);   // SLOPE
  EXPECT_EQ(Pixel(1742, 50), c.PanelBackColour);   // Y SYNC
  // Readouts: XA, YA, YB, their difference and the slope; then the table's header.
  EXPECT_EQ(Top(385 + 8), 73 + 5 * 16 + 8);
}

TEST_F(CursorPanel, KeyMeasurementsListTheHighestStepFirst) {
  FillTransistorCurves(4, 500);
  CursorXA.Value = 5;
  CursorXB.Value = 2;
  DrawScreen();
  EXPECT_EQ(LastSampleCurve, 3);
  EXPECT_EQ(Top(385 + 8), 177);  // six readout rows
  const Colour expected[] = {platform::MakeColour(0, 0, 255), platform::MakeColour(0, 255, 0),
                             platform::MakeColour(255, 0, 0), platform::MakeColour(255, 255, 255)};
  for (int row = 0; row < 4; ++row) EXPECT_EQ(Pixel(1630, 210 + 16 * row + 6), expected[row]) << row;
  EXPECT_EQ(Pixel(1630, 210 + 16 * 4 + 6), ColourScheme.DarkFillColour);
  EXPECT_EQ(KeyMeasurementCells[0][1], " 1");
  EXPECT_EQ(KeyMeasurementCells[1][1], "20 uA");
  EXPECT_EQ(KeyMeasurementCells[2][1], "2.2 mA");
  EXPECT_EQ(KeyMeasurementCells[3][1], "2.1 mA");
  EXPECT_EQ(KeyMeasurementCells[4][1], "-102.6 uA");
  EXPECT_EQ(KeyMeasurementCells[0][4], "");

  FillTransistorCurves(25, 50);
  DrawScreen();
  EXPECT_EQ(LastSampleCurve, 24);
  EXPECT_EQ(Pixel(1630, 210 + 6), platform::MakeColour(255, 255, 255));      // step 24
  EXPECT_EQ(Pixel(1630, 226 + 6), platform::MakeColour(0, 136, 0));          // step 23
  EXPECT_EQ(Pixel(1630, 210 + 16 * 24 + 6), platform::MakeColour(255, 255, 255));  // step 0
}

TEST_F(CursorPanel, AnUnknownYQuantityListsNoRows) {
  FillTransistorCurves(3, 50);
  GraphSettings.YQuantity = "gain";
  DrawScreen();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(KeyMeasurementCells[0][i], "");
  EXPECT_EQ(Pixel(1630, 216), ColourScheme.DarkFillColour);
}

}  // namespace
}  // namespace zolt::tracer::testing
