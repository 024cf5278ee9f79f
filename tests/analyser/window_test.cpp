// The power-analyser window in its settings and calibration forms, through the headless
// gui: controls and their places, preselection, the keys written, the live readings, and
// the calibration file written and read back.
#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/ranges.h"
#include "analyser/window.h"
#include "analyser/zones.h"
#include "analyser_fixture.h"
#include "frame/settings.h"
#include "link/pmx_calibration.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/gui_headless_internal.h"
#include "screen/hot_zones.h"

namespace zolt::analyser::testing {
namespace {

using platform::GetGadgetText;
using platform::headless::MessagesShown;
using zolt::testing::ReadFile;
using zolt::testing::WriteFile;

// Place and text of a control of window 269 as created.
std::string Described(int gadget) {
  auto& gui = platform::headless::Gui();
  std::lock_guard lock(gui.Mutex);
  const auto& g = gui.Gadgets[gadget];
  if (!g.Exists || g.Window != PmxWindow) return "none";
  return std::to_string(g.X) + "," + std::to_string(g.Y) + "," + std::to_string(g.Width) + "," +
         std::to_string(g.Height) + " " + g.Text;
}

int AdcField(int point) { return CalPairBase(point / 2) + (point % 2 == 0 ? 2 : 5); }

class WindowTest : public AnalyserTest {
 protected:
  void Open(int32_t zone) {
    screen::ClickedZone = zone;
    ActOnClickedZone();
    ASSERT_TRUE(platform::IsWindow(PmxWindow));
    EXPECT_EQ(platform::WindowTitle(PmxWindow) + " " + std::to_string(platform::WindowClientWidth(PmxWindow)) +
                  "x" + std::to_string(platform::WindowClientHeight(PmxWindow)),
              zone == ZoneSettings ? "Settings 1200x990" : "Settings 1200x950");
  }
  void Press(int gadget) {
    platform::headless::ClickGadget(gadget);
    ServeNextEvent();
  }
};

TEST_F(WindowTest, TheTwoFormsPlaceTheGridAndTheirOwnControls) {
  Open(ZoneCalibration);
  const std::pair<int, const char*> calibration[] = {
      {LoadCalFileButton, "10,63,300,40 Load existing 'PMX_cal.txt' file"}, {96, "510,138,100,40 Select Range"},
      {103, "910,163,100,20 Cal -300V"}, {224, "910,738,100,20 Cal -0.25A"},
      {LiveCurrentText, "110,463,100,290 C1 Value "}, {95, "none"}};
  for (const auto& [gadget, expected] : calibration) EXPECT_EQ(Described(gadget), expected) << gadget;
  Open(ZoneSettings);  // the grid 125 lower, a Force column, no load button
  const std::pair<int, const char*> settings[] = {
      {96, "510,263,100,40 Select Range"}, {95, "210,263,100,40 Gain=1/Offset=0"}, {LoadCalFileButton, "none"},
      {TriggerLevelList, "110,110,190,20 "}, {SaveCalToDeviceButton, "10,938,300,40 Save 'PMX_cal.txt' to device"}};
  for (const auto& [gadget, expected] : settings) EXPECT_EQ(Described(gadget), expected) << gadget;
  EXPECT_EQ(platform::CountGadgetItems(TriggerLevelList), 27);
}

TEST_F(WindowTest, TheSettingsFormPreselectsItsListsAndStoresEachChoice) {
  WriteFile(frame::SettingsPath, "PMX_TriggerAvg=0.015\r\nPMX_SyncSrc=U1\r\nPMX_TriggerLevel=0.000\r\n");
  const struct {
    double Avg;
    const char* Source;
    double Level;
    int AvgItem, SourceItem, LevelItem;
  } cases[] = {{0.1, "U1", 0.005, 3, 0, 13},     {0.07, "u1", 0.0505, -1, -1, -1}, {0.05, "Fixed", -0.05, 2, 2, 14},
               {0.0296, "I1", 1.4986, -1, 1, 0}, {0.0298, "I1", -1.5, 1, 1, 26}};
  for (const auto& c : cases) {
    frame::AppSettings.TriggerAvg = c.Avg, frame::AppSettings.SyncSrc = c.Source;
    frame::AppSettings.TriggerLevel = c.Level;
    Open(ZoneSettings);
    const int lists[] = {TriggerAvgList, SyncSrcList, TriggerLevelList, TriggerSlopeList, TriggerFilterList};
    const int expected[] = {c.AvgItem, c.SourceItem, c.LevelItem, 0, -1};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(platform::GetGadgetState(lists[k]), expected[k]) << c.Avg << " list " << k;
  }
  for (const auto& [list, item] : {std::pair{TriggerAvgList, 3}, {TriggerLevelList, 26}, {SyncSrcList, 2}}) {
    platform::headless::ChooseGadgetItem(list, item);
    ServeNextEvent();
  }
  EXPECT_EQ(ReadFile(frame::SettingsPath), "PMX_TriggerAvg=0.100\r\nPMX_SyncSrc=Fixed\r\nPMX_TriggerLevel=-1.500\r\n");
}

TEST_F(WindowTest, LiveReadingsCalButtonsAndSelectRange) {
  Open(ZoneCalibration);
  RefreshLiveReadings();  // no block received: no reading, and "Cal" takes none
  Press(CalPairBase(0) + 4);
  EXPECT_EQ(GetGadgetText(LiveVoltageText) + " " + GetGadgetText(AdcField(0)), "---- 0.000");
  PmxReadings = {.PmxLiveVoltage = 12.3456, .PmxLiveCurrent = -0.5, .PmxLiveStatus = PmxReadingStatus::Measured};
  RefreshLiveReadings();
  EXPECT_EQ(GetGadgetText(LiveVoltageText), "12.346");
  platform::SetGadgetText(LiveCurrentText, "kept");
  RefreshLiveReadings();  // unchanged values are not written again
  EXPECT_EQ(GetGadgetText(LiveCurrentText), "kept");

  Press(CalPairBase(0) + 4);   // "Cal +300V"
  Press(CalPairBase(11) + 7);  // "Cal -0.25A"
  EXPECT_EQ(GetGadgetText(AdcField(0)) + " " + GetGadgetText(AdcField(23)), "12.346 -0.500");

  ApplySelectedRanges();
  SendCount = 0;
  Press(CalPairBase(0));  // 300 V, already selected: applied and sent again
  Press(CalPairBase(9));  // 1 A
  ApplySelectedRanges();
  EXPECT_EQ(SendCount, 2);
  EXPECT_EQ(link::PmxRanges.PmxCurrentRangeMask, 8);
}

// The create button's file loads back into all 48 fields; a missing file is reported, and
// a short or malformed one loads what it holds, the rest keeping their texts.
TEST_F(WindowTest, TheCalibrationFileRoundTripsAndAShortOrMalformedOneLoadsWhatItHolds) {
  Open(ZoneCalibration);
  Press(LoadCalFileButton);
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title, "Error - cannot open 'PMX_cal.txt' file");

  const auto dmm = [](int point) { return point == 3 ? std::string() : std::to_string(point * 1.5); };
  for (int i = 0; i < CalibrationPoints; ++i) {
    platform::SetGadgetText(AdcField(i), "a" + std::to_string(i));
    platform::SetGadgetText(AdcField(i) + 1, dmm(i));
  }
  Press(CreateCalFileButton);
  const std::string file = ReadFile(PmxCalibrationFile);
  EXPECT_EQ(file[2], '/');
  for (const char* line : {"\r\n300V=0.000000V,a0\r\n-300V=1.500000V,a1\r\n", "\r\n-150V=V,a3\r\n",
                           "\r\n-0.25A=34.500000A,a23\r\n"})
    EXPECT_NE(file.find(line), std::string::npos) << line;
  Open(ZoneCalibration);  // a new window starts from the creation texts
  Press(LoadCalFileButton);
  for (int i = 0; i < CalibrationPoints; ++i)
    EXPECT_EQ(GetGadgetText(AdcField(i)) + "|" + GetGadgetText(AdcField(i) + 1), "a" + std::to_string(i) + "|" + dmm(i));
  EXPECT_EQ(MessagesShown().size(), 1u);

  std::string lines = "01/01/2026 10:00:00\r\n300V=301.2V,1000\r\nno equals here\r\n";
  for (int i = 2; i < 21; ++i) lines += std::string(link::PmxCalibrationKeys[i]) + "=1V,1\r\n";
  WriteFile(PmxCalibrationFile, lines + "-0.5A=-0.498A,-0.503\r\n");
  Open(ZoneCalibration);
  Press(LoadCalFileButton);
  // Points 0 and 21 loaded, 1 malformed, 22 and 23 beyond the end of the file.
  const int points[] = {0, 1, 21, 22};
  const char* expected[] = {"1000|301.2", "0.000|-300.000", "-0.503|-0.498", "0.000|0.250"};
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(GetGadgetText(AdcField(points[k])) + "|" + GetGadgetText(AdcField(points[k]) + 1), expected[k]);
  ASSERT_EQ(MessagesShown().size(), 2u);
  EXPECT_NE(MessagesShown()[1].Text.find("3 of the 24"), std::string::npos);
}

}  // namespace
}  // namespace zolt::analyser::testing
