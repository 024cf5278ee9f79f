// The displayed results page: the folder and switch of the second copy of every run
// file, and a folder and switch for images, which are stored and shown only.
#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

// One row of the page: a folder with its field, change button and enable box.
struct SaveRow {
  int Row;
  const char* Label;
  int32_t Field, Button, Box;
  const char* BoxCaption;
  const char* ChooserTitle;
  std::string frame::AppSettingsRecord::*Folder;
  std::string frame::AppSettingsRecord::*Enabled;
  const char* FolderKey;
  const char* EnabledKey;
};

const SaveRow SaveRows[] = {
    {48, "CSV Save Location", CsvFolderField, CsvFolderButton, CsvEnableBox, "Enable CSV Save?",
     "Choose file location for CSV file", &frame::AppSettingsRecord::SaveCSVFileLocation,
     &frame::AppSettingsRecord::SaveCSVFileEnabled, "KVR_SaveCSVFileLocation", "KVR_SaveCSVFileEnabled"},
    {72, "PNG Save Location", PngFolderField, PngFolderButton, PngEnableBox, "Enable PNG Save?",
     "Choose file location for PNG file", &frame::AppSettingsRecord::SavePNGFileLocation,
     &frame::AppSettingsRecord::SavePNGFileEnabled, "KVR_SavePNGFileLocation", "KVR_SavePNGFileEnabled"},
};

void Setup() {
  const int w = SettingsWindowNumber;
  frame::AppSettingsRecord& s = frame::AppSettings;
  AddHeading(24, frame::Translate("Location of *.CSV results"), 1224);
  for (const SaveRow& r : SaveRows) {
    AddLabel(r.Row, frame::Translate(r.Label) + " --->", 144);
    platform::StringGadget(r.Field, w, 168, r.Row, 768, RowHeight, s.*r.Folder, platform::GadgetReadOnly);
    platform::ButtonGadget(r.Button, w, 960, r.Row, 120, RowHeight, "Change Location");
    platform::CheckBoxGadget(r.Box, w, 1104, r.Row, 120, RowHeight, r.BoxCaption);
    platform::SetGadgetState(r.Box, frame::ToLower(s.*r.Enabled) == "yes");
  }
}

// The chooser starts at the folder as the run saver reads it ("results\" is the folder
// "results" in the working folder). A folder typed into the chooser that does not exist yet
// is made before it is stored, so that the copies have a place to go; one that cannot be
// made is refused with a message and the old folder stays.
void ChooseFolder(const SaveRow& r) {
  std::string& folder = frame::AppSettings.*r.Folder;
  const std::string chosen = platform::ChooseFolder(r.ChooserTitle, frame::SettingFolderPath(folder));
  if (chosen.empty()) {
    platform::ShowMessageBox("Information", "The requester was canceled.", platform::MessageIcon::None);
    return;
  }
  if (!platform::MakeFolder(chosen)) {
    frame::ReportMessage("Warning", frame::Translate(r.Label),
                         frame::Translate("This folder cannot be made; the save location stays as it was:") +
                             " " + chosen);
    return;
  }
  folder = chosen;
  platform::SetGadgetText(r.Field, folder);
  frame::WriteKeyValue(frame::SettingsPath, r.FolderKey, folder);
}

void SwitchSaving(const SaveRow& r) {
  std::string& enabled = frame::AppSettings.*r.Enabled;
  enabled = platform::GetGadgetState(r.Box) != 0 ? "Yes" : "No";
  frame::WriteKeyValue(frame::SettingsPath, r.EnabledKey, enabled);
}

}  // namespace

void SettingsPageDisplayedResults(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup: Setup(); break;
    case PageMode::EventGadget:
      for (const SaveRow& r : SaveRows) {
        if (control == r.Button) ChooseFolder(r);
        if (control == r.Box) SwitchSaving(r);
      }
      break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
