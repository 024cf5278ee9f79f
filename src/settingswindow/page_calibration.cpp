// The calibration page: one button that exports the calibration listing.
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/calibration_export.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

void SettingsPageCalibration(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup:
      AddHeading(24, frame::Translate("Export calibration file in human readable format"));
      AddLabel(48, frame::Translate("Create Human Readable Calibration File") + " ---> ");
      platform::ButtonGadget(ExportButton, SettingsWindowNumber, ControlColumn, 48, 216, RowHeight,
                             frame::Translate("Create") + " HUMAN.TXT");
      break;
    case PageMode::EventGadget:
      if (control == ExportButton) ExportCalibration();
      break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
