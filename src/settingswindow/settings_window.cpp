// The settings window: its tab table, and the opening, which serves the pages in the
// program's modal loop until the window closes.
//
// Sections: the tab table; opening.
#include "settingswindow/settings_window.h"

#include <string>

#include "frame/app.h"
#include "frame/log.h"
#include "frame/modal_window.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/pages.h"

namespace zolt::settingswindow {

// ---- the tab table ----

namespace {

struct TabRow {
  const char* Caption;  // translated when the tab is added (tab 0 is built apart)
  SettingsPage Page;
  int32_t Zone;  // the settings mark that opens the window on this tab; 0: none
};

// Tab index = row index. The zones are the settings marks of the main window's panels.
constexpr TabRow SettingsTabTable[TabCount] = {
    {"Language", SettingsPageLanguage, 0},
    {"Instrument", SettingsPageInstrument, 0},
    {"Comms", SettingsPageComms, 334},                         // connect status
    {"Test/Graph Mode", SettingsPageTestGraphMode, 322},       // test / graph mode
    {"Collector Supply", SettingsPageCollectorSupply, 346},    // collector supply
    {"Step Generator", SettingsPageStepGenerator, 358},        // step generator
    {"Sweep/Live Values", SettingsPageSweepLiveValues, 382},   // sweep / live values
    {"Displayed Results", SettingsPageDisplayedResults, 370},  // displayed results
    {"Graph", SettingsPageGraph, 310},                         // graph title
    {"Cursors", SettingsPageCursors, 298},                     // cursors
    {"Key/Measurement", SettingsPageKeyMeasurement, 394},      // key measurement
    {"Sweep Settings", SettingsPageSweepSettings, 406},        // sweep settings
    {"Calibration", SettingsPageCalibration, 0},
};

void OfferToEveryPage(const char* mode, int32_t control) {
  const std::string text = mode;
  for (const TabRow& tab : SettingsTabTable) tab.Page(text, control);
}

void PagesMainLogic() { OfferToEveryPage("mainlogic", 0); }
void PagesEventGadget(int32_t control) { OfferToEveryPage("eventgadget", control); }

void ShowChosenLanguage(const std::string& language) {
  platform::SetGadgetText(CurrentLanguageField, language);
}

}  // namespace

int32_t TabOfZone(int32_t zone) {
  if (zone == 0) return 0;
  for (int32_t tab = 0; tab < TabCount; ++tab)
    if (SettingsTabTable[tab].Zone == zone) return tab;
  return 0;
}

// ---- opening ----

void OpenSettingsWindow(int32_t zone) {
  const int flags = platform::WindowTitleBar | platform::WindowSystemMenu | platform::WindowCentred;
  if (!platform::OpenWindow(SettingsWindowNumber, 0, 0, SettingsWindowWidth, SettingsWindowHeight,
                            frame::Translate("Settings"), flags)) {
    frame::ReportMessage("Error", "", "KVR_SettingsWindow won't start");
    return;
  }
  platform::PanelGadget(TabControl, SettingsWindowNumber, 5, 5, SettingsWindowWidth - 10,
                        SettingsWindowHeight - 10);
  ResetFreeNumbers();
  for (int32_t tab = 0; tab < TabCount; ++tab) {
    // The language tab reads "Language/" in every language, so it can always be found.
    const std::string caption = tab == 0 ? "Language/" + frame::Translate("Language")
                                         : frame::Translate(SettingsTabTable[tab].Caption);
    platform::AddGadgetItem(TabControl, caption);
    SettingsTabTable[tab].Page("setup", 0);
  }
  platform::SetGadgetState(TabControl, TabOfZone(zone));

  frame::ShowChosenLanguage = ShowChosenLanguage;
  frame::RunModalWindow(
      SettingsWindowNumber,
      [](const platform::WindowEvent& event) {
        PagesEventGadget(event.Gadget);
        return false;
      },
      PagesMainLogic);
  frame::CloseModalWindow(SettingsWindowNumber);
  frame::ShowChosenLanguage = nullptr;
}

}  // namespace zolt::settingswindow
