// The model table and the small services of the program frame: the window title, the
// manual and the front end of each model name, the developer-mode marker and the help
// page on selecting an instrument.
//
// Sections: the model table; small services.
#include "frame/app.h"

#include "frame/numbers.h"
#include "frame/settings.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::frame {

// ---- the model table ----

namespace {

constexpr ModelRow ModelTable[] = {
    {"PMX40", " (alpha) by Brevaxo - PMX40 Power Analyser", "help/PMX40_MANUAL.chm", true},
    {"PMX400", " (alpha) by Brevaxo - PMX400 Power Analyser", "help/PMX400_MANUAL.chm", true},
    {"KVR820", " by Brevaxo - KVR820 Curve Tracer", "help/KVR820_MANUAL.chm", false},
    {"TXZ310", " (alpha) by Brevaxo - TXZ310 Thermocouple Interface", "help/TXZ310_MANUAL.chm",
     false},
    {"HOV300", " (alpha) by Brevaxo - HOV300 Potentiostat", "help/HOV300_MANUAL.chm", false},
    {"DRL300", " (alpha) by Brevaxo - DRL300 Source-Picoammeter", "help/DRL300_MANUAL.chm", false},
    {"DRL320", " (alpha) by Brevaxo - DRL320 Dual Source-Picoammeter", "help/DRL320_MANUAL.chm",
     false},
    {"DRL600", " (alpha) by Brevaxo - DRL600 Dual Source-Picoammeter", "help/DRL600_MANUAL.chm",
     false},
    {"DRL710", " (alpha) by Brevaxo - DRL710 HV Source-Picoammeter", "help/DRL710_MANUAL.chm",
     false},
};

constexpr const char* DefaultModel = "KVR820";

}  // namespace

const ModelRow* FindModel(const std::string& name) {
  const std::string upper = ToUpper(name);
  for (const ModelRow& row : ModelTable)
    if (upper == row.Model) return &row;
  return nullptr;
}

void ApplyModelTable() {
  std::string& name = AppSettings.ActiveInstrument;
  if (name.empty()) name = DefaultModel;
  const ModelRow* row = FindModel(name);
  if (row == nullptr) {
    // Only memory changes: the settings file keeps the unlisted name.
    name = DefaultModel;
    row = FindModel(name);
  }
  AppInfo.WorkText = "ZOLT " + FixedDecimals(AppInfo.ProgramVersion, 3) + row->TitleTail;
  AppInfo.ManualPath = row->Manual;
}

// ---- small services ----

void CheckDeveloperMode() {
  // Only the marker's presence matters; its content is never read.
  AppInfo.DeveloperMode = platform::FileExists("developermode.txt") ? 1 : 0;
}

void ShowSelectingInstrumentHelp() {
  platform::OpenHelp("help/KVR_MANUAL.chm", "SelectingInstrument.htm");
}

}  // namespace zolt::frame
