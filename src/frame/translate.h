// Translations and captions.
//
// Every text the program shows is written in English and passes through Translate.
// The language table comes from a CSV file: row 0 holds the language names, column 0
// the English texts, each further column one language. The painted screen's captions
// are translated once per language change into Captions.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::frame {

inline const std::string LanguageFile = "languages/language.csv";
inline const std::string LanguagesFile = "languages/languages.csv";

constexpr int LanguageRows = 32001;
constexpr int LanguageColumns = 101;

struct LanguageStateRecord {
  std::string LanguageApplied;  // empty at start, so the first drawing pass applies Language
  int32_t LanguageColumn = 0;   // column of Language in row 0; 0 (English) when not found
};

inline LanguageStateRecord LanguageState;
// The chosen language is the setting AppSettings.Language.

// The language table: behaves as 32,001 x 101 cells but stores only rows that hold text.
const std::string& LanguageCell(int row, int column);
void SetLanguageCell(int row, int column, const std::string& text);
// Empties the whole table (start-up).
void ClearLanguageTable();
// Counts the table's changes, so that a text translated once can be kept until then.
uint64_t LanguageTableRevision();

// The painted screen's captions, one field per English text.
struct UiCaptions {
  std::string BaseGate, BaseGatePulse, CollectorSupply, CollectorPulse, CollectorZ, ComStatus,
      Connect, Connected, ConnectStatus, Connecting, Continuous, Cursors, CurrentMode,
      DisplayedResults, Disconnected, Disconnecting, FileName, GotoFirst, GotoLast, GraphTitle,
      GraphType, HvEnable, HvEnabled, Image, KeyMeasurements, LastSweepEndedBy, LiveData,
      MaxCurrent, MaximumCurrent, MaxVoltage, MaximumVoltage, NotSaved, OffsetLevel, Polarity,
      Pulsed, RunStatus, Run, Running, SampleRate, SelectedInstrument, StepGenerator, StepSize,
      Step, SweepSettings, Sync, Slope, Stopped, Stop, Stopping, TestGraphMode, VoltageMode, XA,
      XB, YA, YB, Zero;

  bool operator==(const UiCaptions&) const = default;
};

inline UiCaptions Captions;

// Loads a language file into the table; cells outside the file's block keep their text.
void LoadLanguageTable(const std::string& path);
// The same for a language file's bytes already in memory.
void LoadLanguageText(std::string_view text);
// The first column 0..100 whose row-0 cell equals the name exactly; 0 when none.
int32_t FindLanguageColumn(const std::string& name);
// The text in the current language; the text itself when no row matches.
std::string Translate(const std::string& text);
std::string TranslateToColumn(const std::string& text, int32_t column);
// Fills Captions in the current language.
void LoadUiTexts();
// Sets the Language setting from a language button's id (43..88); others change nothing.
// When the chosen language differs from the one applied, it is shown through
// ShowChosenLanguage.
void SelectLanguageById(int32_t id);
// Shows a newly chosen language in the language page's current-language field; set by
// the settings window while its language page is open (nullptr: nothing is shown).
inline void (*ShowChosenLanguage)(const std::string& language) = nullptr;
// The English language name of a language button, empty for an id that selects nothing.
std::string LanguageNameOfButton(int32_t id);

}  // namespace zolt::frame
