// Translations and captions: the language table, the lookup of a text in the current
// language, the painted screen's captions and the language page's button table.
//
// Sections: the table; lookups; captions; language buttons.
#include "frame/translate.h"

#include <unordered_map>

#include "frame/csv.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "frame/text_table.h"
#include "platform/system.h"

namespace zolt::frame {

// ---- the table ----

namespace {

TextTable& Table() {
  static TextTable table = [] {
    TextTable t;
    ResetTextTable(t, LanguageRows, LanguageColumns);
    return t;
  }();
  return table;
}

// The first row of each English text, for the lookups: the painted screen translates on
// every pass, and scanning the whole table each time is slow. Rebuilt after the English
// column changes.
struct EnglishRowIndex {
  bool Valid = false;
  std::unordered_map<std::string, int> FirstRow;
};

EnglishRowIndex& Index() {
  static EnglishRowIndex index;
  return index;
}

uint64_t tableRevision = 0;

int FirstRowOf(const std::string& text) {
  EnglishRowIndex& index = Index();
  if (!index.Valid) {
    index.FirstRow.clear();
    const TextTable& table = Table();
    for (int row = 0; row < table.UsedRows; ++row) index.FirstRow.try_emplace(TextTableCell(table, row, 0), row);
    // The rows after the last that holds text are empty: the first of them answers the
    // empty text when no row above it does.
    if (table.UsedRows < LanguageRows) index.FirstRow.try_emplace(std::string(), table.UsedRows);
    index.Valid = true;
  }
  const auto found = index.FirstRow.find(text);
  return found == index.FirstRow.end() ? -1 : found->second;
}

}  // namespace

const std::string& LanguageCell(int row, int column) { return TextTableCell(Table(), row, column); }

void SetLanguageCell(int row, int column, const std::string& text) {
  SetTextTableCell(Table(), row, column, text);
  if (column == 0) Index().Valid = false;
  ++tableRevision;
}

void ClearLanguageTable() {
  ClearTextTable(Table(), LanguageRows - 1, LanguageColumns - 1);
  Index().Valid = false;
  ++tableRevision;
}

uint64_t LanguageTableRevision() { return tableRevision; }

void LoadLanguageTable(const std::string& path) {
  // A missing file reads as an empty table, which changes nothing.
  std::string bytes;
  if (platform::FileExists(path) && !platform::ReadFileBytes(path, bytes)) {
    ReportMessage("Error", "Language", "'" + path + "' cannot be read. The texts stay as they are.");
    return;
  }
  LoadLanguageText(bytes);
}

void LoadLanguageText(std::string_view text) {
  ReadCsvText(text, ',');
  // Only the file's own block is copied; cells outside it keep an earlier load's text.
  for (int row = 0; row < CsvRowCount; ++row)
    for (int column = 0; column < CsvColumnCount; ++column)
      SetLanguageCell(row, column, CsvCell(row, column));
}

// ---- lookups ----

int32_t FindLanguageColumn(const std::string& name) {
  for (int column = 0; column < LanguageColumns; ++column)
    if (LanguageCell(0, column) == name) return column;
  return 0;
}

std::string TranslateToColumn(const std::string& text, int32_t column) {
  // The first row whose English text matches wins, even when its cell is empty.
  const int row = FirstRowOf(text);
  return row < 0 ? text : LanguageCell(row, column);
}

std::string Translate(const std::string& text) {
  return TranslateToColumn(text, LanguageState.LanguageColumn);
}

// ---- captions ----

void LoadUiTexts() {
  UiCaptions& c = Captions;
  c.BaseGate = Translate("Base/Gate");
  c.BaseGatePulse = Translate("Base/Gate Pulse");
  c.CollectorSupply = Translate("COLLECTOR SUPPLY");
  c.CollectorPulse = Translate("Collector Pulse");
  c.CollectorZ = Translate("Collector Z");
  c.ComStatus = Translate("Com Status");
  c.Connect = Translate("Connect");
  c.Connected = Translate("Connected");
  c.ConnectStatus = Translate("CONNECT STATUS");
  c.Connecting = Translate("Connecting");
  c.Continuous = Translate("Continuous");
  c.Cursors = Translate("CURSORS");
  c.CurrentMode = Translate("Current Mode");
  c.DisplayedResults = Translate("DISPLAYED RESULTS");
  c.Disconnected = Translate("Disconnected");
  c.Disconnecting = Translate("Disconnecting");
  c.FileName = Translate("File Name");
  c.GotoFirst = Translate("Goto First");
  c.GotoLast = Translate("Goto Last");
  c.GraphTitle = Translate("GRAPH TITLE");
  c.GraphType = Translate("Graph Type");
  c.HvEnable = Translate("HV ENABLE");
  c.HvEnabled = Translate("HV ENABLED");
  c.Image = Translate("Image");
  c.KeyMeasurements = Translate("KEY / MEASUREMENTS");
  c.LastSweepEndedBy = Translate("Last Sweep Ended By");
  c.LiveData = Translate("live Data");
  c.MaxCurrent = Translate("Max. Current");
  c.MaximumCurrent = Translate("Maximum Current");
  c.MaxVoltage = Translate("Max. Voltage");
  c.MaximumVoltage = Translate("Maximum Voltage");
  c.NotSaved = Translate("not saved");
  c.OffsetLevel = Translate("Offset Level");
  c.Polarity = Translate("Polarity");
  c.Pulsed = Translate("Pulsed");
  c.RunStatus = Translate("Run Status");
  c.Run = Translate("RUN");
  c.Running = Translate("RUNNING");
  c.SampleRate = Translate("Sample Rate");
  c.SelectedInstrument = Translate("Selected instrument");
  c.StepGenerator = Translate("STEP GENERATOR");
  c.StepSize = Translate("Step Size");
  c.Step = Translate("Step");
  c.SweepSettings = Translate("SWEEP SETTINGS");
  c.Sync = Translate("SYNC");
  c.Slope = Translate("SLOPE");
  c.Stopped = Translate("STOPPED");
  c.Stop = Translate("STOP");
  c.Stopping = Translate("STOPPING");
  c.TestGraphMode = Translate("TEST / GRAPH MODE");
  c.VoltageMode = Translate("Voltage Mode");
  // The cursor names are the same in every language.
  c.XA = "XA";
  c.XB = "XB";
  c.YA = "YA";
  c.YB = "YB";
  c.Zero = Translate("ZERO");
}

// ---- language buttons ----

namespace {

struct LanguageButton {
  int32_t Id;
  const char* Name;
};

// Ids 62 and 80 select nothing.
constexpr LanguageButton LanguageButtons[] = {
    {43, "Arabic"},    {44, "Bengali"},   {45, "Bulgarian"}, {46, "Chinese"},
    {47, "Croatian"},  {48, "Czech"},     {49, "Danish"},    {50, "Dutch"},
    {51, "English"},   {52, "Farsi"},     {53, "Finnish"},   {54, "French"},
    {55, "German"},    {56, "Greek"},     {57, "Hebrew"},    {58, "Han"},
    {59, "Hindi"},     {60, "Hungarian"}, {61, "Icelandic"}, {63, "Italian"},
    {64, "Japanese"},  {65, "Kanji"},     {66, "Kannada"},   {67, "Korean"},
    {68, "Kurdish"},   {69, "Malay"},     {70, "Malayalam"}, {71, "Maltese"},
    {72, "Norwegian"}, {73, "Portuguese"}, {74, "Polish"},   {75, "Romanian"},
    {76, "Russian"},   {77, "Serbian"},   {78, "Slovak"},    {79, "Spanish"},
    {81, "Tagalog"},   {82, "Tamil"},     {83, "Telugu"},    {84, "Thai"},
    {85, "Turkish"},   {86, "Ukrainian"}, {87, "Urdu"},      {88, "Vietnamese"},
};

}  // namespace

std::string LanguageNameOfButton(int32_t id) {
  for (const LanguageButton& button : LanguageButtons)
    if (button.Id == id) return button.Name;
  return {};
}

void SelectLanguageById(int32_t id) {
  const std::string name = LanguageNameOfButton(id);
  if (name.empty()) return;
  AppSettings.Language = name;
  if (AppSettings.Language != LanguageState.LanguageApplied && ShowChosenLanguage != nullptr)
    ShowChosenLanguage(AppSettings.Language);
}

}  // namespace zolt::frame
