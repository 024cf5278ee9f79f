// The step generator page: whether the base/gate output is clamped while idle.
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

void SettingsPageStepGenerator(const std::string& mode, int32_t control) {
  frame::AppSettingsRecord& s = frame::AppSettings;
  switch (ModeOf(mode)) {
    case PageMode::Setup:
      AddHeading(24, frame::Translate("Step Generator"));
      AddLabel(48, frame::Translate("Clamp On Idle (default ENABLED)") + " ---> ");
      platform::CheckBoxGadget(ClampOnIdleBox, SettingsWindowNumber, ControlColumn, 48, 96, RowHeight,
                               frame::Translate("ClampOnIdle"));
      // Any value other than the two modes leaves the box clear.
      platform::SetGadgetState(ClampOnIdleBox, frame::ToLower(s.ClampModeSetting) == "clamponidle");
      break;
    case PageMode::EventGadget:
      if (control != ClampOnIdleBox) break;
      s.ClampModeSetting = platform::GetGadgetState(ClampOnIdleBox) != 0 ? "ClampOnIdle" : "ClampOff";
      frame::WriteKeyValue(frame::SettingsPath, "KVR_BaseGateClampMode", s.ClampModeSetting);
      break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
