// The language page: the language in force and 44 buttons, one per language, each
// captioned with the language's English name and its own name for itself. A button
// chooses the language at once; the main loop applies it after the window has closed.
#include "frame/settings.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

// Button numbers by row and column; 0: no button. Each number selects its language
// through the frame's button table.
constexpr int32_t LanguageButtons[8][6] = {
    {51, 50, 67, 54, 55, 63}, {46, 43, 44, 45, 47, 48}, {49, 52, 53, 56, 57, 58},
    {59, 60, 61, 64, 65, 66}, {68, 69, 70, 71, 72, 73}, {74, 75, 76, 77, 78, 79},
    {81, 82, 83, 84, 85, 86}, {87, 88, 0, 0, 0, 0},
};

constexpr int ButtonWidth = 204, ButtonHeight = 40, ButtonRowStep = 48, ButtonsTop = 120;

void Setup() {
  frame::LoadLanguageTable(frame::LanguagesFile);
  AddHeading(24, frame::Translate("Currently selected language"));
  AddLabel(48, frame::Translate("Language currently selected") + " --->", 264);
  platform::StringGadget(CurrentLanguageField, SettingsWindowNumber, ControlColumn, 48, 216,
                         RowHeight, "--");
  AddHeading(96, frame::Translate("Select new language"), 1224);
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 6; ++column) {
      const int32_t id = LanguageButtons[row][column];
      if (id == 0) continue;
      const std::string name = frame::LanguageNameOfButton(id);
      const std::string own = frame::TranslateToColumn(name, frame::FindLanguageColumn(name));
      platform::ButtonGadget(id, SettingsWindowNumber, 24 + ButtonWidth * column,
                             ButtonsTop + ButtonRowStep * row, ButtonWidth, ButtonHeight,
                             name + " / " + own);
    }
  }
  platform::SetGadgetText(CurrentLanguageField, frame::AppSettings.Language);
}

}  // namespace

void SettingsPageLanguage(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup: Setup(); break;
    case PageMode::EventGadget: frame::SelectLanguageById(control); break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
