// The settings window's pages and what they share.
//
// A page is one procedure (mode, control). It compares the lower-cased mode with three
// texts and ignores any other: "setup" builds its controls on the tab just added and
// shows the current settings; "mainlogic" is its periodic work, called on every pass of
// the window's loop whichever tab is shown; "eventgadget" offers it a control event,
// which every page receives and acts on only for its own control numbers.
//
// Control numbers that a page acts on are fixed and unique across the window; headings
// and labels take numbers from 3000 up, handed out afresh at every opening.
//
// Sections: page protocol; control numbers; layout; the pages.
#pragma once

#include <cstdint>
#include <string>

namespace zolt::settingswindow {

// ---- page protocol ----

enum class PageMode { Setup, MainLogic, EventGadget, Ignored };

// The mode of a page call, compared in lower case.
PageMode ModeOf(const std::string& mode);

using SettingsPage = void (*)(const std::string& mode, int32_t control);

// ---- control numbers ----

constexpr int32_t CurrentLanguageField = 41;   // the language buttons are 43..88
constexpr int32_t ModelList = 89;
constexpr int32_t ComCurrentField = 277;
constexpr int32_t ComScanButton = 278;
constexpr int32_t ComScanStatusField = 279;
constexpr int32_t ComScanPortField = 280;
constexpr int32_t ComFoundList = 281;
constexpr int32_t ComFoundSaveButton = 282;
constexpr int32_t ComManualCurrentField = 283;
constexpr int32_t ComAllList = 284;
constexpr int32_t ComManualSaveButton = 285;
constexpr int32_t AutoOffBox = 286;
constexpr int32_t SampleRateList = 287;
constexpr int32_t ClampOnIdleBox = 289;
constexpr int32_t ExportButton = 290;
constexpr int32_t CsvFolderField = 291;
constexpr int32_t CsvEnableBox = 292;
constexpr int32_t CsvFolderButton = 293;
constexpr int32_t PngFolderField = 294;
constexpr int32_t PngEnableBox = 295;
constexpr int32_t PngFolderButton = 296;
constexpr int32_t UpdateCheckBox = 297;

// ---- layout ----
//
// Rows advance by 24 pixels from 0 at the page's top left. A heading is a centred
// static text at (24, row + 3) on the heading colour; a label a left-aligned static
// text at (24, row + 3); the label's control stands at (312, row). All are 20 high.

constexpr int ControlColumn = 312;
constexpr int RowHeight = 20;

// Resets the numbers of headings and labels (at each opening).
void ResetFreeNumbers();
void AddHeading(int row, const std::string& text, int width = 600);
void AddLabel(int row, const std::string& text, int width = 288);

// ---- the pages, in tab order ----

void SettingsPageLanguage(const std::string& mode, int32_t control);
void SettingsPageInstrument(const std::string& mode, int32_t control);
void SettingsPageComms(const std::string& mode, int32_t control);
void SettingsPageTestGraphMode(const std::string& mode, int32_t control);
void SettingsPageCollectorSupply(const std::string& mode, int32_t control);
void SettingsPageStepGenerator(const std::string& mode, int32_t control);
void SettingsPageSweepLiveValues(const std::string& mode, int32_t control);
void SettingsPageDisplayedResults(const std::string& mode, int32_t control);
void SettingsPageGraph(const std::string& mode, int32_t control);
void SettingsPageCursors(const std::string& mode, int32_t control);
void SettingsPageKeyMeasurement(const std::string& mode, int32_t control);
void SettingsPageSweepSettings(const std::string& mode, int32_t control);
void SettingsPageCalibration(const std::string& mode, int32_t control);

}  // namespace zolt::settingswindow
