// The collector supply page: the sample rate of the sweeps, chosen from a list of rates
// and held within 10 to 100 Hz. The auto-off box is shown but has no effect.
#include <iterator>

#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

struct RateEntry {
  int32_t Rate;
  const char* Text;
};

constexpr RateEntry Rates[] = {{10, "10 Hz"}, {20, "20 Hz"}, {30, "30 Hz"}, {40, "40 Hz"},
                               {50, "50 Hz (default)"}, {60, "60 Hz"}, {80, "80 Hz"}, {100, "100 Hz"}};

constexpr int32_t LowestRate = 10, HighestRate = 100;

void Setup() {
  AddHeading(24, frame::Translate("Collector Supply"));
  AddLabel(48, frame::Translate("HV Supply Auto-Off") + " ---> ");
  platform::CheckBoxGadget(AutoOffBox, SettingsWindowNumber, ControlColumn, 48, 96, RowHeight,
                           frame::Translate("Auto-Off"));
  AddHeading(96, frame::Translate("Sample Rate"));
  AddLabel(120, frame::Translate("Sample Rate ---> "));
  platform::ComboBoxGadget(SampleRateList, SettingsWindowNumber, ControlColumn, 120, 96, RowHeight);
  for (const RateEntry& entry : Rates) platform::AddGadgetItem(SampleRateList, entry.Text);
  // A rate not in the list (70, say, written by hand) leaves the list without a choice.
  const int64_t rate = frame::RoundHalfEven(frame::AppSettings.SampleRate);
  for (int k = 0; k < static_cast<int>(std::size(Rates)); ++k)
    if (Rates[k].Rate == rate) platform::SetGadgetState(SampleRateList, k);
}

void ChooseRate() {
  int64_t rate = frame::ParseInteger(platform::GetGadgetText(SampleRateList));
  rate = rate < LowestRate ? LowestRate : rate > HighestRate ? HighestRate : rate;
  frame::AppSettings.SampleRate = static_cast<double>(rate);
  frame::WriteKeyValue(frame::SettingsPath, "KVR_SampleRate", std::to_string(rate));
}

}  // namespace

void SettingsPageCollectorSupply(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup: Setup(); break;
    case PageMode::EventGadget:
      if (control == SampleRateList) ChooseRate();
      break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
