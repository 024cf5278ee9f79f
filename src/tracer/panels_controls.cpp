// The left column's control panels: connection and high voltage, test / graph mode with
// the device rows and the test configuration, collector supply, step generator, sweep
// with the run-status box, and the displayed results. Each control registers its zones
// while it is painted (tracer/zones.h).
//
// Sections: state texts by run phase; pulse texts; the panels.
#include <string>

#include "frame/app.h"
#include "frame/csv.h"
#include "frame/translate.h"
#include "screen/colours.h"
#include "screen/controls.h"
#include "screen/hot_zones.h"
#include "tracer/panels.h"
#include "tracer/run_file.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"
#include "tracer/zones.h"

namespace zolt::tracer {

using frame::Captions;
using screen::Colour;
using screen::ColourScheme;

// ---- state texts by run phase ----

namespace {

struct StateText {
  std::string Text;
  Colour TextColour = 0;
};

// The capital of a small letter of the Latin, Greek or Cyrillic alphabets (code points
// below U+0800); any other character is its own capital ("ß" included).
char32_t CapitalOf(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // à .. þ, not ÷
  if (c == 0xFF) return 0x178;                               // ÿ
  if (c == 0x131) return U'I';                               // dotless i
  // Latin Extended-A: capital and small alternate, the capital first except in two runs.
  const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  const bool evenCapitals = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  if (evenCapitals && c % 2 == 1) return c - 1;
  if (oddCapitals && c % 2 == 0) return c - 1;
  if (c == 0x3C2) return 0x3A3;                                         // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;                        // α .. ω
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                        // а .. я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;                        // ѐ .. џ
  return c;
}

// A translated caption in capitals, as the state buttons show it. Letters of one and two
// bytes are turned; longer sequences and stray bytes pass unchanged.
std::string InCapitals(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    const auto lead = static_cast<unsigned char>(caption[i]);
    if (lead < 0x80) {
      out += static_cast<char>(CapitalOf(lead));
      continue;
    }
    const auto next = i + 1 < caption.size() ? static_cast<unsigned char>(caption[i + 1]) : 0;
    if (lead < 0xC2 || lead > 0xDF || (next & 0xC0) != 0x80) {
      out += static_cast<char>(lead);
      continue;
    }
    const char32_t capital = CapitalOf(static_cast<char32_t>(((lead & 0x1F) << 6) | (next & 0x3F)));
    if (capital < 0x80) {
      out += static_cast<char>(capital);
    } else {
      out += static_cast<char>(0xC0 | (capital >> 6));
      out += static_cast<char>(0x80 | (capital & 0x3F));
    }
    ++i;
  }
  return out;
}

// The four state buttons and the sample-run control as the run phase shows them.
struct PhaseTexts {
  StateText Connect, HighVoltage, Run, Halt;
  std::string SampleRunText;
  std::string SampleRunKind;
};

PhaseTexts TextsOfPhase(int32_t phase) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  const auto upper = InCapitals;
  // The file browsed to, or that the run on display is in no file.
  const std::string fileName =
      DisplayedRunFile == UnsavedRun ? Captions.NotSaved : frame::MakeCsvFileName(SampleRunNumber);
  const std::string liveData = ".." + Captions.LiveData + "..";
  PhaseTexts t;
  switch (phase) {
    case 0:
      // After a lost link the connect button asks to connect again in red.
      t.Connect = {upper(Captions.Connect) + "?", RunControl.LinkLost == 1 ? c.RedColour : c.CaptionTextColour};
      t.HighVoltage = {upper(Captions.HvEnable), c.InactiveColour};
      t.Run = {upper(Captions.Run), c.InactiveColour};
      t.Halt = {upper(Captions.Stopped), c.InactiveColour};
      t.SampleRunText = fileName;
      t.SampleRunKind = "<>";
      break;
    case 1:
      t.Connect = {upper(Captions.Connected), c.GreenColour};
      t.HighVoltage = {upper(Captions.HvEnable), c.CaptionTextColour};
      t.Run = {upper(Captions.Run), c.InactiveColour};
      t.Halt = {upper(Captions.Stopped), c.InactiveColour};
      t.SampleRunText = fileName;
      t.SampleRunKind = "<>";
      break;
    case 2:
      t.Connect = {upper(Captions.Connected), c.GreenColour};
      t.HighVoltage = {upper(Captions.HvEnabled), c.RedColour};
      t.Run = {upper(Captions.Run), c.CaptionTextColour};
      t.Halt = {upper(Captions.Stopped), c.InactiveColour};
      t.SampleRunText = fileName;
      t.SampleRunKind = "<>";
      break;
    case 3:
    case 4:
    case 5:
    case 6:
      t.Connect = {upper(Captions.Connected), c.GreenColour};
      t.HighVoltage = {upper(Captions.HvEnabled), c.RedColour};
      t.Run = {upper(Captions.Running), c.GreenColour};
      t.Halt = {upper(Captions.Stop), c.CaptionTextColour};
      t.SampleRunText = liveData;
      t.SampleRunKind = "+-";
      break;
    case 7:
    case 8:
    case 9:
      t.Connect = {upper(Captions.Connected), c.GreenColour};
      t.HighVoltage = {upper(Captions.HvEnabled), c.RedColour};
      t.Run = {upper(Captions.Running), c.InactiveColour};
      t.Halt = {upper(Captions.Stopped), c.InactiveColour};
      t.SampleRunText = liveData;
      t.SampleRunKind = "+-";
      break;
    default:
      break;  // any other phase shows no texts
  }
  return t;
}

// ---- pulse texts ----

std::string PulseText(double length) {
  const std::string micro = frame::AppInfo.MicroSign;
  if (length < 72e-6) return Captions.Continuous;
  if (72e-6 < length && length < 88e-6) return Captions.Pulsed + ": 80 " + micro + "s";
  if (270e-6 < length && length < 330e-6) return Captions.Pulsed + ": 300 " + micro + "s";
  return "";
}

// ---- the panels ----

constexpr int32_t HeaderHeight = 16;
constexpr int32_t ButtonHeight = 24;
constexpr int32_t BarHeight = 24;
constexpr int32_t ValueControlHeight = 72;
constexpr int32_t RunStatusHeight = 72;
constexpr int32_t PanelGap = 8;

void Header(int32_t x, int32_t y, int32_t w, int32_t base, const std::string& title, Colour border) {
  screen::DrawPanelHeader(x, y, w, HeaderHeight, base, title, "", ColourScheme.DarkFillColour, border);
}

// Stores the captions of a value control's sub-zones: value band, top-left and
// top-right captions, bottom-left and bottom-right options.
void ValueCaptions(int32_t base, const std::string& value, const std::string& topLeft, const std::string& topRight,
                   const std::string& bottomLeft, const std::string& bottomRight) {
  screen::HotZoneText[base + screen::ZoneValueBand] = value;
  screen::HotZoneText[base + screen::ZoneValueCaptionLeft] = topLeft;
  screen::HotZoneText[base + screen::ZoneValueCaptionRight] = topRight;
  screen::HotZoneText[base + screen::ZoneValueOptionLeft] = bottomLeft;
  screen::HotZoneText[base + screen::ZoneValueOptionRight] = bottomRight;
}

// The device buttons' captions in the language applied. A lookup in the language table
// is slow, so they are translated once each time another language (or column) is
// applied rather than on every pass.
constexpr int DeviceRowCount = 3;
constexpr const char* DeviceCaptions[DeviceRowCount][6] = {
    {"NPN", "PNP", "NFET", "PFET", "DIODE", "MORE"},
    {"N-DEPL", "P-DEPL", "N-ENH", "P-ENH", "N-JFET", "P-JFET"},
    {"SCR", "OPTO", "REG", "-", "-", "-"},
};

struct TranslatedDeviceCaptions {
  bool Valid = false;
  std::string Language;
  int32_t Column = 0;
  std::string Text[DeviceRowCount][6];
};

TranslatedDeviceCaptions deviceCaptions;

const std::string (&DeviceRowCaptions(int row))[6] {
  TranslatedDeviceCaptions& t = deviceCaptions;
  const frame::LanguageStateRecord& language = frame::LanguageState;
  if (!t.Valid || t.Language != language.LanguageApplied || t.Column != language.LanguageColumn) {
    for (int r = 0; r < DeviceRowCount; ++r)
      for (int k = 0; k < 6; ++k) t.Text[r][k] = frame::Translate(DeviceCaptions[r][k]);
    t.Language = language.LanguageApplied;
    t.Column = language.LanguageColumn;
    t.Valid = true;
  }
  return t.Text[row];
}

// A row of six device buttons.
void DeviceRow(int32_t x, int32_t y, int32_t w, int32_t base, int row, int32_t mask) {
  const std::string(&captions)[6] = DeviceRowCaptions(row);
  for (int k = 0; k < 6; ++k) screen::HotZoneText[base + 1 + k] = captions[k];
  screen::DrawBitToggleBar(x, y, w, BarHeight, base, 6, mask, ColourScheme.OrangeColour);
}

// Where the last DrawControlPanels put the run-status box.
struct BoxPlace {
  int32_t X = 0, Y = 0, W = 0, H = 0;
};

BoxPlace statusBox;
bool statusBoxStaysInside = false;  // the box's last painting left nothing of it outside its place
bool statusBoxReachesOut = false;   // the canvas holds texts of the box beyond its place

}  // namespace

namespace {

void PaintRunStatusBox(bool overLast) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  const LiveReadoutRecord& live = LiveReadouts;
  const BoxPlace& b = statusBox;
  platform::StartNotingPaint();
  screen::DrawRunStatusPanel(
      b.X, b.Y, b.W, b.H, ZoneRunStatusBox, RunControl.RunPhaseText, RunControl.LastStopReason, live.VcReadoutText,
      live.VrReadoutText, live.IcReadoutText, live.VbReadoutText, c.CaptionTextColour, c.PanelBackColour,
      c.FrameGreyColour, overLast);
  const platform::PaintedArea painted = platform::StopNotingPaint();
  const bool inside = painted.Empty() || (painted.Left >= b.X && painted.Top >= b.Y &&
                                          painted.Right <= b.X + b.W && painted.Bottom <= b.Y + b.H);
  // A painting over the last that changed only some texts keeps within the box and leaves
  // the others as they were; a whole box painted over the last one leaves what that one
  // put beyond the box.
  const bool whole = !painted.Empty() && painted.Left <= b.X && painted.Top <= b.Y &&
                     painted.Right >= b.X + b.W && painted.Bottom >= b.Y + b.H;
  statusBoxStaysInside = inside && !(overLast && whole && statusBoxReachesOut);
  if (whole) statusBoxReachesOut = !inside;
}

}  // namespace

void DrawRunStatusBox() { PaintRunStatusBox(false); }

void RedrawRunStatusBox() { PaintRunStatusBox(true); }

bool RunStatusBoxStayedInside() { return statusBoxStaysInside; }

void DrawControlPanels(int32_t, int32_t, int32_t w, int32_t, int32_t gap) {
  const screen::ColourSchemeRecord& c = ColourScheme;
  const TestSetupRecord& s = TestSetup;
  const PhaseTexts phase = TextsOfPhase(RunControl.RunPhase);
  const int32_t x = gap;
  const int32_t half = w / 2;
  const bool currentMode = s.SetupBaseGateOutputMode == "I";
  const bool voltageMode = s.SetupBaseGateOutputMode == "V";

  // CONNECT STATUS.
  int32_t y = 8;
  Header(x, y, w, ZoneConnectStatusPanel, Captions.ConnectStatus, c.FrameGreyColour);
  y += HeaderHeight;
  screen::DrawTextButtonLarge(x, y, half, ButtonHeight, ZoneConnectButton, phase.Connect.Text,
                              phase.Connect.TextColour, c.HighlightColour, c.FrameGreyColour);
  screen::DrawTextButtonLarge(x + half, y, half, ButtonHeight, ZoneHighVoltageButton, phase.HighVoltage.Text,
                              phase.HighVoltage.TextColour, c.HighlightColour, c.FrameGreyColour);
  y += ButtonHeight - 1;
  const std::string& comStatus = RunControl.ComStatusText;
  screen::DrawTextButtonSmall(x, y, w, ButtonHeight, ZoneComStatusButton,
                              Captions.ComStatus + ":" + (comStatus.empty() ? "" : " " + comStatus),
                              c.CaptionTextColour, c.PanelBackColour, c.FrameGreyColour);
  y += ButtonHeight + PanelGap;

  // TEST / GRAPH MODE: the device rows, of which the second and third are optional and
  // push everything below them down.
  Header(x, y, w, ZoneTestGraphModePanel, Captions.TestGraphMode, c.OrangeColour);
  y += HeaderHeight;
  DeviceRow(x, y, w, ZoneDeviceRow, 0, s.DeviceRowMask);
  y += BarHeight - 1;
  if (s.FetRowShown == 1) {
    DeviceRow(x, y, w, ZoneFetRow, 1, s.FetRowMask);
    y += BarHeight - 1;
  }
  if (s.MoreRowShown == 1) {
    DeviceRow(x, y, w, ZoneMoreRow, 2, s.MoreRowMask);
    y += BarHeight - 1;
  }
  const GraphSettingsRecord& g = GraphSettings;
  ValueCaptions(ZoneTestConfigControl, g.ConfigText1, g.ConfigText2, "[" + std::to_string(TestConfiguration) + "]",
                g.XTitle, g.YTitle);
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneTestConfigControl, "<>", c.OrangeColour);
  y += ValueControlHeight + PanelGap;

  // COLLECTOR SUPPLY.
  Header(x, y, w, ZoneCollectorSupplyPanel, Captions.CollectorSupply, c.YellowColour);
  y += HeaderHeight;
  ValueCaptions(ZoneMaxVoltageControl, s.MaxVoltageText, Captions.MaximumVoltage, "", "#" + Captions.Polarity,
                "#" + s.ImpedanceText);
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneMaxVoltageControl, "-+", c.YellowColour);
  y += ValueControlHeight - 1;
  ValueCaptions(ZoneMaxCurrentControl, s.MaxCurrentText, Captions.MaximumCurrent, "", " ",
                "#" + PulseText(s.SetupCollectorPulseLength));
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneMaxCurrentControl, "-+", c.YellowColour);
  y += ValueControlHeight + PanelGap;

  // STEP GENERATOR: step size and offset show the current or the voltage of the mode.
  Header(x, y, w, ZoneStepGeneratorPanel, Captions.StepGenerator, c.GreenColour);
  y += HeaderHeight;
  const std::string stepText = currentMode ? s.StepCurrentText : voltageMode ? s.StepVoltageText : "";
  const std::string modeText = currentMode ? "#" + Captions.CurrentMode : voltageMode ? "#" + Captions.VoltageMode : "";
  ValueCaptions(ZoneStepSizeControl, stepText, Captions.StepSize, "", "#" + Captions.Polarity, modeText);
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneStepSizeControl, "-+", c.GreenColour);
  y += ValueControlHeight - 1;
  const std::string offsetText = currentMode ? s.OffsetCurrentText : voltageMode ? s.OffsetVoltageText : "";
  ValueCaptions(ZoneOffsetControl, offsetText, Captions.OffsetLevel, "", "#" + Captions.Polarity,
                "#" + s.OffsetRangeText);
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneOffsetControl, "-+", c.GreenColour);
  y += ValueControlHeight - 1;
  ValueCaptions(ZoneNumberOfStepsControl, std::to_string(s.NumberOfSteps), Captions.Step, " ", s.StepMaxText,
                "#" + PulseText(s.SetupBaseGatePulseLength));
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneNumberOfStepsControl, "-+", c.GreenColour);
  y += ValueControlHeight + PanelGap;

  // SWEEP / LIVE VALUES: this title is the same in every language.
  Header(x, y, w, ZoneSweepLiveValuesPanel, "SWEEP / LIVE VALUES", c.FrameGreyColour);
  y += HeaderHeight;
  screen::DrawTextButtonLarge(x, y, half, ButtonHeight, ZoneRunButton, phase.Run.Text, phase.Run.TextColour,
                              c.HighlightColour, c.FrameGreyColour);
  screen::DrawTextButtonLarge(x + half, y, half, ButtonHeight, ZoneHaltButton, phase.Halt.Text,
                              phase.Halt.TextColour, c.HighlightColour, c.FrameGreyColour);
  y += ButtonHeight - 1;
  statusBox = {x, y, w, RunStatusHeight};
  DrawRunStatusBox();
  y += RunStatusHeight + PanelGap;

  // DISPLAYED RESULTS.
  Header(x, y, w, ZoneDisplayedResultsPanel, Captions.DisplayedResults, c.InactiveColour);
  y += HeaderHeight;
  ValueCaptions(ZoneSampleRunControl, phase.SampleRunText, Captions.FileName, " ", "#" + Captions.GotoFirst,
                "#" + Captions.GotoLast);
  screen::DrawValueControl(x, y, w, ValueControlHeight, ZoneSampleRunControl, phase.SampleRunKind, c.InactiveColour);
}

}  // namespace zolt::tracer
