// The calibration form of window 269 and the calibration grid it shares with the
// settings form: building the grid, its events, and writing and reading the 24 points
// of "PMX_cal.txt".
//
// Sections: the grid; opening the form; the file; events.
#include <cstdio>
#include <vector>

#include "analyser/analysis.h"
#include "analyser/window.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "link/pmx_calibration.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::analyser {

// ---- the grid ----

namespace {

using platform::GadgetBorder;
using platform::GadgetBorderless;
using platform::GadgetCentred;
using platform::GadgetRightAligned;

constexpr double PairRanges[CalibrationPairs] = {300, 150, 80, 40, 20, 10, 10, 5, 2, 1, 0.5, 0.25};
constexpr int ForceButtons[CalibrationPairs] = {95, 104, 115, 126, 137, 148, 159, 170, 181, 192, 203, 214};

bool IsVoltagePair(int pair) { return pair < 6; }

// One point of the grid, 0..23 in key order ("300V", "-300V", ... "-0.25A").
struct Point {
  int Pair;
  bool Positive;
  int32_t Adc() const { return CalPairBase(Pair) + (Positive ? 2 : 5); }
  int32_t Dmm() const { return Adc() + 1; }
  int32_t Cal() const { return Adc() + 2; }
  const char* Key() const { return link::PmxCalibrationKeys[2 * Pair + (Positive ? 0 : 1)]; }
  std::string Unit() const { return IsVoltagePair(Pair) ? "V" : "A"; }
  // The key with its sign written out: "+300V", "-300V".
  std::string SignedKey() const { return (Positive ? "+" : "") + std::string(Key()); }
  // Row in the calibration form: the voltage block from y 138, the current block from 463.
  int Y() const { return (IsVoltagePair(Pair) ? 138 : 463) + 25 * (2 * (Pair % 6) + (Positive ? 0 : 1)); }
};

Point PointAt(int index) { return {index / 2, index % 2 == 0}; }

}  // namespace

void CreateCalibrationGrid(int shift, bool forceColumn, int& nextText) {
  struct Heading {
    int X;
    const char* Text;
  };
  constexpr Heading Headings[] = {{10, "Channel/Range"}, {110, "Live Reading"}, {510, "Select"},
                                  {610, "ADC Reading"},  {810, "DMM"},          {910, "Calibrate"}};
  for (const Heading& h : Headings)
    platform::TextGadget(nextText++, PmxWindow, h.X, 113 + shift, 100, 20, h.Text, GadgetCentred);
  if (forceColumn) platform::TextGadget(nextText++, PmxWindow, 210, 113 + shift, 100, 20, "Force", GadgetCentred);

  platform::TextGadget(LiveVoltageText, PmxWindow, 110, 138 + shift, 100, 290, "V1 Value ",
                       GadgetRightAligned | GadgetBorder);
  platform::TextGadget(LiveCurrentText, PmxWindow, 110, 463 + shift, 100, 290, "C1 Value ",
                       GadgetRightAligned | GadgetBorder);

  for (int i = 0; i < CalibrationPoints; ++i) {
    const Point p = PointAt(i);
    const int y = p.Y() + shift;
    const std::string channel = IsVoltagePair(p.Pair) ? "V1/" : "C1/";
    platform::TextGadget(nextText++, PmxWindow, 10, y, 100, 20, channel + p.SignedKey() + ": ", GadgetRightAligned);
    if (p.Positive) {
      platform::ButtonGadget(CalPairBase(p.Pair), PmxWindow, 510, y, 100, 40, "Select Range");
      if (forceColumn) platform::ButtonGadget(ForceButtons[p.Pair], PmxWindow, 210, y, 100, 40, "Gain=1/Offset=0");
    }
    platform::StringGadget(p.Adc(), PmxWindow, 610, y, 100, 20, "0.000", GadgetBorderless | GadgetRightAligned);
    platform::StringGadget(p.Dmm(), PmxWindow, 810, y, 100, 20, frame::FixedDecimals(frame::ParseReal(p.Key()), 3),
                           GadgetBorderless | GadgetRightAligned);
    platform::ButtonGadget(p.Cal(), PmxWindow, 910, y, 100, 20, "Cal " + p.SignedKey());
  }
}

// ---- opening the form ----

bool OpenPmxWindow(int height) {
  return platform::OpenWindow(PmxWindow, 0, 0, 1200, height, "Settings",
                              platform::WindowTitleBar | platform::WindowSystemMenu, frame::MainWindow);
}

void OpenPowerAnalyserCalWindow() {
  if (!OpenPmxWindow(950)) return;
  int nextText = FirstPlainText;
  platform::TextGadget(nextText++, PmxWindow, 10, 13, 1200, 45,
                       "To calibrate PMX400 follow instructions below in numeric sequence. Use DAC ADJUSTMENT "
                       "CONTROLS (bottom-right) to get correct or near readings on DMM (voltmeter/ammeter). Enter "
                       "actual DMM readings.");
  platform::ButtonGadget(LoadCalFileButton, PmxWindow, 10, 63, 300, 40, "Load existing 'PMX_cal.txt' file");
  CreateCalibrationGrid(0, false, nextText);
  platform::ButtonGadget(CreateCalFileButton, PmxWindow, 10, 763, 300, 40, "Create new 'PMX_cal.txt' file");
  platform::ButtonGadget(SaveCalToDeviceButton, PmxWindow, 10, 813, 300, 40, "Save 'PMX_cal.txt' to device");
}

// ---- the file ----
//
// Line 1 the date and time it was made; lines 2..25 one point each in key order:
// key "=" DMM text, unit, "," ADC text (the field texts as they stand).

CalibrationPointTexts ReadCalibrationPointTexts(const std::vector<std::string>& lines) {
  CalibrationPointTexts texts;
  for (size_t i = 0; i < texts.size() && i + 1 < lines.size(); ++i) {
    const std::string& line = lines[i + 1];
    const size_t equals = line.find('=');
    const size_t comma = line.find(',');
    if (equals == std::string::npos || comma == std::string::npos || comma < equals) continue;
    // Between "=" and ",": the meter's value followed by its one-letter unit.
    std::string dmm = line.substr(equals + 1, comma - equals - 1);
    if (!dmm.empty()) dmm.pop_back();
    texts[i] = CalibrationPointText{dmm, line.substr(comma + 1)};
  }
  return texts;
}

namespace {

void CreateCalibrationFile() {
  const platform::DateTime now = platform::LocalDateTime();
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d", now.Day, now.Month, now.Year, now.Hour,
                now.Minute, now.Second);
  std::string text = std::string(stamp) + "\r\n";
  for (int i = 0; i < CalibrationPoints; ++i) {
    const Point p = PointAt(i);
    text += std::string(p.Key()) + "=" + platform::GetGadgetText(p.Dmm()) + p.Unit() + "," +
            platform::GetGadgetText(p.Adc()) + "\r\n";
  }
  // Written beside the old file and renamed over it: a failure leaves the old one whole.
  if (!platform::WriteFileReplacing(PmxCalibrationFile, text))
    platform::ShowMessageBox("Error - cannot create 'PMX_cal.txt' file", "Ensure file is not currently open",
                             platform::MessageIcon::None);
}

// A point without its texts leaves its fields as they were; how many were left is
// reported once.
void LoadCalibrationFile() {
  std::vector<std::string> lines;
  if (!platform::ReadTextLines(PmxCalibrationFile, lines)) {
    platform::ShowMessageBox("Error - cannot open 'PMX_cal.txt' file", "Ensure file exists!",
                             platform::MessageIcon::None);
    return;
  }
  const CalibrationPointTexts texts = ReadCalibrationPointTexts(lines);
  int unread = 0;
  int firstUnread = 0;
  for (int i = 0; i < CalibrationPoints; ++i) {
    if (!texts[i]) {
      if (unread++ == 0) firstUnread = i + 2;  // line 1 is the date
      continue;
    }
    const Point p = PointAt(i);
    platform::SetGadgetText(p.Dmm(), texts[i]->Dmm);
    platform::SetGadgetText(p.Adc(), texts[i]->Adc);
  }
  if (unread > 0)
    frame::ReportMessage("Warning", "PMX_cal.txt",
                         std::to_string(unread) + " of the 24 calibration points could not be read (the first at line " +
                             std::to_string(firstUnread) + "); their fields keep their values.");
}

}  // namespace

// ---- events ----

bool ServeCalibrationEvent(int gadget) {
  switch (gadget) {
    case CreateCalFileButton:
      CreateCalibrationFile();
      return true;
    case LoadCalFileButton:
      LoadCalibrationFile();
      return true;
    case SaveCalToDeviceButton:
      link::LoadFileToEeprom(PmxCalibrationFile);
      return true;
    default:
      break;
  }
  for (int pair = 0; pair < CalibrationPairs; ++pair) {
    const int32_t base = CalPairBase(pair);
    link::PmxRangesRecord& r = link::PmxRanges;
    if (gadget == base) {
      // Applied range 0 makes this turn apply the range and send it, even unchanged.
      if (IsVoltagePair(pair)) {
        r.PmxVoltageRange = PairRanges[pair];
        r.PmxAppliedVoltageRange = 0.0;
      } else {
        r.PmxCurrentRange = PairRanges[pair];
        r.PmxAppliedCurrentRange = 0.0;
      }
      return true;
    }
    for (const bool positive : {true, false}) {
      const Point p{pair, positive};
      if (gadget != p.Cal()) continue;
      // No received block gives a reading (none yet, or the link ended): the point keeps
      // its reading rather than take one nothing measured.
      if (PmxReadings.PmxLiveStatus != PmxReadingStatus::Measured) return true;
      const double live = IsVoltagePair(pair) ? PmxReadings.PmxLiveVoltage : PmxReadings.PmxLiveCurrent;
      platform::SetGadgetText(p.Adc(), frame::FixedDecimals(live, 3));
      return true;
    }
  }
  return false;
}

}  // namespace zolt::analyser
