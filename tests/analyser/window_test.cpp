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

// Number, place and text of a control as created.
std::string Described(int gadget) {
  auto& gui = platform::headless::Gui();
  std::lock_guard lock(gui.Mutex);
  const auto& g = gui.Gadgets[gadget];
  if (!g.Exists || g.Window != PmxWindow) return "none";
  return std::to_string(g.X) + "," + std::to_string(g.Y) + "," + std::to_string(g.Width) + "," +
         std::to_string(g.Height) + " " + g.Text;
}

class WindowTest : public AnalyserTest {
 protected:
  void Open(int32_t zone) {
    screen::ClickedZone = zone;
    ActOnClickedZone();
    ASSERT_TRUE(platform::IsWindow(PmxWindow));
    EXPECT_EQ(platform::WindowTitle(PmxWindow), "Settings");
    EXPECT_EQ(platform::WindowClientWidth(PmxWindow), 1200);
    EXPECT_EQ(platform::WindowClientHeight(PmxWindow), 950);
  }
  void Press(int gadget) {
    platform::headless::ClickGadget(gadget);
    ServeNextEvent();
  }
};

TEST_F(WindowTest, TheCalibrationFormPlacesItsGridAndButtons) {
  Open(ZoneCalibration);
  const std::pair<int, const char*> controls[] = {
      {LoadCalFileButton, "10,63,300,40 Load existing 'PMX_cal.txt' file"},
      {96, "510,138,100,40 Select Range"},
      {98, "610,138,100,20 0.000"},
      {99, "810,138,100,20 300.000"},
      {103, "910,163,100,20 Cal -300V"},
      {LiveVoltageText, "110,138,100,290 V1 Value "},
      {LiveCurrentText, "110,463,100,290 C1 Value "},
      {217, "510,713,100,40 Select Range"},
      {223, "810,738,100,20 -0.250"},
      {224, "910,738,100,20 Cal -0.25A"},
      {CreateCalFileButton, "10,763,300,40 Create new 'PMX_cal.txt' file"},
      {SaveCalToDeviceButton, "10,813,300,40 Save 'PMX_cal.txt' to device"},
      {95, "none"},
      {TriggerAvgList, "none"},
  };
  for (const auto& [gadget, expected] : controls) EXPECT_EQ(Described(gadget), expected) << gadget;
}

TEST_F(WindowTest, TheSettingsFormPreselectsItsListsAndStoresEachChoice) {
  WriteFile(frame::SettingsPath, "PMX_TriggerAvg=0.015\r\nPMX_SyncSrc=U1\r\nPMX_TriggerLevel=0.000\r\n");
  struct Case {
    double Avg;
    const char* Source;
    double Level;
    int AvgItem, SourceItem, LevelItem;
  } cases[] = {{0.1, "U1", 0.005, 3, 0, 13}, {0.07, "u1", 0.0505, -1, -1, -1}, {0.05, "Fixed", -0.05, 2, 2, 14},
               {0.0296, "I1", 1.4986, -1, 1, 0}, {0.0298, "I1", -1.5, 1, 1, 26}};
  for (const Case& c : cases) {
    frame::AppSettings.TriggerAvg = c.Avg;
    frame::AppSettings.SyncSrc = c.Source;
    frame::AppSettings.TriggerLevel = c.Level;
    Open(ZoneSettings);
    EXPECT_EQ(platform::GetGadgetState(TriggerAvgList), c.AvgItem) << c.Avg;
    EXPECT_EQ(platform::GetGadgetState(SyncSrcList), c.SourceItem) << c.Source;
    EXPECT_EQ(platform::GetGadgetState(TriggerLevelList), c.LevelItem) << c.Level;
    EXPECT_EQ(platform::GetGadgetState(TriggerSlopeList), 0);
    EXPECT_EQ(platform::GetGadgetState(TriggerFilterList), -1);
  }
  EXPECT_EQ(Described(96), "510,263,100,40 Select Range");
  EXPECT_EQ(Described(95), "210,263,100,40 Gain=1/Offset=0");
  EXPECT_EQ(Described(214), "210,838,100,40 Gain=1/Offset=0");
  EXPECT_EQ(Described(TriggerLevelList), "110,110,190,20 ");
  EXPECT_EQ(Described(LoadCalFileButton), "none");
  EXPECT_EQ(Described(SaveCalToDeviceButton), "10,938,300,40 Save 'PMX_cal.txt' to device");
  EXPECT_EQ(platform::CountGadgetItems(TriggerLevelList), 27);

  const std::pair<int, int> choices[] = {{TriggerAvgList, 3}, {TriggerLevelList, 26}, {SyncSrcList, 2}};
  for (const auto& [list, item] : choices) {
    platform::headless::ChooseGadgetItem(list, item);
    ServeNextEvent();
  }
  EXPECT_EQ(ReadFile(frame::SettingsPath),
            "PMX_TriggerAvg=0.100\r\nPMX_SyncSrc=Fixed\r\nPMX_TriggerLevel=-1.500\r\n");
  EXPECT_EQ(frame::AppSettings.SyncSrc, "Fixed");
}

TEST_F(WindowTest, LiveReadingsCalButtonsAndSelectRange) {
  Open(ZoneCalibration);
  PmxReadings.PmxLiveVoltage = 12.3456;
  PmxReadings.PmxLiveCurrent = -0.5;
  RefreshLiveReadings();
  EXPECT_EQ(GetGadgetText(LiveVoltageText), "12.346");
  platform::SetGadgetText(LiveCurrentText, "kept");
  RefreshLiveReadings();  // unchanged values are not written again
  EXPECT_EQ(GetGadgetText(LiveCurrentText), "kept");

  Press(CalPairBase(0) + 4);   // "Cal +300V"
  Press(CalPairBase(11) + 7);  // "Cal -0.25A"
  EXPECT_EQ(GetGadgetText(CalPairBase(0) + 2), "12.346");
  EXPECT_EQ(GetGadgetText(CalPairBase(11) + 5), "-0.500");

  ApplySelectedRanges();
  SendCount = 0;
  Press(CalPairBase(0));  // 300 V, already selected: applied and sent again
  Press(CalPairBase(9));  // 1 A
  ApplySelectedRanges();
  EXPECT_EQ(SendCount, 2);
  EXPECT_EQ(link::PmxRanges.PmxCurrentRangeMask, 8);
}

TEST_F(WindowTest, TheCalibrationFileRoundTripsAllFortyEightFields) {
  Open(ZoneCalibration);
  for (int i = 0; i < CalibrationPoints; ++i) {
    const int adc = CalPairBase(i / 2) + (i % 2 == 0 ? 2 : 5);
    platform::SetGadgetText(adc, "a" + std::to_string(i));
    platform::SetGadgetText(adc + 1, i == 3 ? "" : std::to_string(i * 1.5));
  }
  Press(CreateCalFileButton);
  const std::string file = ReadFile(PmxCalibrationFile);
  EXPECT_NE(file.find("\r\n300V=0.000000V,a0\r\n-300V=1.500000V,a1\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\n-150V=V,a3\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\n-0.25A=34.500000A,a23\r\n"), std::string::npos);
  EXPECT_EQ(file[2], '/');

  Open(ZoneCalibration);  // a new window starts from the creation texts
  EXPECT_EQ(GetGadgetText(98), "0.000");
  Press(LoadCalFileButton);
  for (int i = 0; i < CalibrationPoints; ++i) {
    const int adc = CalPairBase(i / 2) + (i % 2 == 0 ? 2 : 5);
    EXPECT_EQ(GetGadgetText(adc), "a" + std::to_string(i));
    EXPECT_EQ(GetGadgetText(adc + 1), i == 3 ? "" : std::to_string(i * 1.5));
  }
  EXPECT_TRUE(MessagesShown().empty());
}

// A short or malformed file loads what it holds; the rest keep their texts, reported once.
TEST_F(WindowTest, AShortOrMalformedFileLoadsWhatItHolds) {
  Open(ZoneCalibration);
  Press(LoadCalFileButton);
  ASSERT_EQ(MessagesShown().size(), 1u);
  EXPECT_EQ(MessagesShown()[0].Title, "Error - cannot open 'PMX_cal.txt' file");

  std::string lines = "01/01/2026 10:00:00\r\n300V=301.2V,1000\r\nno equals here\r\n";
  for (int i = 2; i < 21; ++i) lines += std::string(link::PmxCalibrationKeys[i]) + "=1V,1\r\n";
  lines += "-0.5A=-0.498A,-0.503\r\n";
  WriteFile(PmxCalibrationFile, lines);
  Press(LoadCalFileButton);
  EXPECT_EQ(GetGadgetText(99), "301.2");
  EXPECT_EQ(GetGadgetText(98), "1000");
  EXPECT_EQ(GetGadgetText(102), "-300.000");  // the malformed line's point
  EXPECT_EQ(GetGadgetText(CalPairBase(10) + 6), "-0.498");
  EXPECT_EQ(GetGadgetText(CalPairBase(10) + 5), "-0.503");
  EXPECT_EQ(GetGadgetText(CalPairBase(11) + 3), "0.250");  // beyond the file's end
  ASSERT_EQ(MessagesShown().size(), 2u);
  EXPECT_NE(MessagesShown()[1].Text.find("3 of the 24"), std::string::npos);
}

}  // namespace
}  // namespace zolt::analyser::testing
