// The instrument page: the model the program drives from its next start, and the daily
// update check. The model is only written into the settings file; the model in force
// stays until the program starts again.
#include <iterator>

#include "frame/app.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

// The first model is always offered; the others only in developer mode.
constexpr const char* Models[] = {"KVR820", "BTQ300", "BTQ301A", "BTQ600", "BTQ640", "BTQ680",
                                  "PMX40",  "PMX400", "KVR864",  "DRL300", "DRL320"};

void Setup() {
  const frame::AppSettingsRecord& s = frame::AppSettings;
  AddHeading(24, frame::Translate("Change currently selected instrument"));
  AddLabel(48, frame::Translate("Selected Instrument") + " --->", 144);
  platform::ComboBoxGadget(ModelList, SettingsWindowNumber, ControlColumn, 48, 96, RowHeight);
  const int offered = frame::AppInfo.DeveloperMode == 1 ? static_cast<int>(std::size(Models)) : 1;
  for (int k = 0; k < offered; ++k) platform::AddGadgetItem(ModelList, Models[k]);
  AddLabel(72, "*** " + frame::Translate("any change will only take effect next time ZOLT is opened") +
                   " ***",
           600);
  // The list chooses the entry of that name, letter case aside; none for an unlisted model.
  platform::SetGadgetText(ModelList, s.ActiveInstrument);
  AddLabel(120, frame::Translate("Perform daily update check (default ENABLED)") + " ---> ");
  platform::CheckBoxGadget(UpdateCheckBox, SettingsWindowNumber, ControlColumn, 120, 96, RowHeight,
                           frame::Translate("Update Check"));
  platform::SetGadgetState(UpdateCheckBox, frame::ToLower(s.CheckWebsiteForUpdate) == "yes");
}

void Event(int32_t control) {
  frame::AppSettingsRecord& s = frame::AppSettings;
  if (control == ModelList) {
    frame::WriteKeyValue(frame::SettingsPath, "activeInstrument", platform::GetGadgetText(ModelList));
  } else if (control == UpdateCheckBox) {
    s.CheckWebsiteForUpdate = platform::GetGadgetState(UpdateCheckBox) != 0 ? "Yes" : "No";
    frame::WriteKeyValue(frame::SettingsPath, "CheckWebsiteForUpdate", s.CheckWebsiteForUpdate);
  }
}

}  // namespace

void SettingsPageInstrument(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup: Setup(); break;
    case PageMode::EventGadget: Event(control); break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
