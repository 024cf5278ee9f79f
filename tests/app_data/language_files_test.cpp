// The language tables installed beside the program: their form, their first row, and
// that they hold every text the program translates, complete in every language.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app_data/source_texts.h"
#include "frame/csv.h"
#include "frame/translate.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

const std::string AppFolder = ZOLT_APP_DIR;
const std::string SourceFolder = ZOLT_SOURCE_DIR;
const std::string MainFile = AppFolder + "/languages/language.csv";
const std::string WindowsFile = AppFolder + "/languages/languages.csv";
constexpr int LanguageCount = 44;
// The languages every text must be translated into.
const char* const TranslatedLanguages[] = {"German", "French", "Spanish", "Dutch"};

// Every text the program shows through Translate, by where it appears. The source scan
// finds the literal calls; this list also holds the texts that reach Translate from
// tables or variables (run phases, stop reasons, device buttons, tabs, labels), which a
// scan cannot see.
const char* const ProgramTexts[] = {
    // painted screen captions
    "Base/Gate", "Base/Gate Pulse", "COLLECTOR SUPPLY", "Collector Pulse", "Collector Z",
    "Com Status", "Connect", "Connected", "CONNECT STATUS", "Connecting", "Continuous",
    "CURSORS", "Current Mode", "DISPLAYED RESULTS", "Disconnected", "Disconnecting",
    "File Name", "Goto First", "Goto Last", "GRAPH TITLE", "Graph Type", "HV ENABLE",
    "HV ENABLED", "Image", "KEY / MEASUREMENTS", "Last Sweep Ended By", "live Data",
    "Max. Current", "Maximum Current", "Max. Voltage", "Maximum Voltage", "Offset Level",
    "Polarity", "Pulsed", "Run Status", "RUN", "RUNNING", "Sample Rate",
    "Selected instrument", "STEP GENERATOR", "Step Size", "Step", "SWEEP SETTINGS", "SYNC",
    "SLOPE", "STOPPED", "STOP", "STOPPING", "TEST / GRAPH MODE", "Voltage Mode", "ZERO",
    // run phases and the reasons a sweep or run ended
    "Idling, HV is OFF", "Idling, HV is ON", "Run requested", "Start sweep",
    "Sweep stop code found", "Test complete", "REMOTE HALT", "REMOTE/MANUAL REQUEST",
    "MAX RUN LENGTH EXCEEDED", "RAMP -V EXCEEDED", "RAMP +V EXCEEDED", "RAMP -I EXCEEDED",
    "RAMP +I EXCEEDED", "NON-PULSE COLLECTOR -I EXCEEDED", "NON-PULSE COLLECTOR +I EXCEEDED",
    "CODE#09", "CODE#10", "CODE#11", "CODE#12", "CODE#13", "USB VOLTAGE (min) EXCEEDED",
    "MANUAL HALT REQUEST",
    // device buttons
    "NPN", "PNP", "NFET", "PFET", "DIODE", "MORE", "N-DEPL", "P-DEPL", "N-ENH", "P-ENH",
    "N-JFET", "P-JFET", "SCR", "OPTO", "REG",
    // direct-entry and graph-title windows
    "Direct Entry", "Direct Entry for COLLECTOR SUPPLY", "Direct Entry for STEP GENERATOR",
    "Use Direct", "Graph Title", "Modify Graph Title and options",
    "Note: This will modify the 'GraphTitle' field in the CSV file in the '/sampleruns_KVR' "
    "folder only.",
    "Update", "Cancel",
    // settings window: title, tabs, empty pages
    "Settings", "Language", "Instrument", "Comms", "Test/Graph Mode", "Collector Supply",
    "Step Generator", "Sweep/Live Values", "Displayed Results", "Graph", "Cursors",
    "Key/Measurement", "Sweep Settings", "Calibration", "Page Deliberately Empty",
    // language and instrument pages
    "Currently selected language", "Language currently selected", "Select new language",
    "Change currently selected instrument", "Selected Instrument",
    "any change will only take effect next time ZOLT is opened",
    "Perform daily update check (default ENABLED)", "Update Check",
    // COM port page
    "Scan for available COM ports, select from drop-down menu and update (Method 1)",
    "COM port is currently set to", "1. Press button to scan for available COM ports", "Scan",
    "2. Available COM ports found (drop-down)",
    "3. Select COM port from list above, then press", "Update + Save",
    "...or manually select COM port and update (Method 2)", "1. COM ports (drop-down)",
    "2. Select COM port from list above, then press", "nothing selected - scan first",
    // collector supply, step generator, displayed results and calibration pages
    "HV Supply Auto-Off", "Auto-Off", "Sample Rate ---> ", "Clamp On Idle (default ENABLED)",
    "ClampOnIdle", "Location of *.CSV results", "CSV Save Location", "PNG Save Location",
    "Export calibration file in human readable format",
    "Create Human Readable Calibration File", "Create",
};

// One language table as the program reads it.
struct Table {
  std::vector<std::vector<std::string>> Rows;  // cells 0..LanguageCount-1 of each row
  int Width = 0;                               // CsvColumnCount of the read
};

Table ReadTable(const std::string& path) {
  ReadCsvFile(path, ',');
  Table table;
  table.Width = CsvColumnCount;
  for (int row = 0; row < CsvRowCount; ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < LanguageCount; ++column) cells.push_back(CsvCell(row, column));
    table.Rows.push_back(cells);
  }
  return table;
}

int ColumnOf(const Table& table, const std::string& language) {
  for (int column = 0; column < LanguageCount; ++column)
    if (table.Rows[0][column] == language) return column;
  return -1;
}

std::string CsvCellText(const std::string& text) {
  return text.find(',') == std::string::npos ? text : "\"" + text + "\"";
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    int more = 0;
    unsigned int code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, code = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= bytes.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const unsigned char d = static_cast<unsigned char>(bytes[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

// The number (from 1) of the first line where two texts differ; 0 when they are equal.
size_t FirstDifferentLine(const std::string& a, const std::string& b) {
  if (a == b) return 0;
  size_t line = 1;
  for (size_t i = 0; i < std::min(a.size(), b.size()) && a[i] == b[i]; ++i) line += a[i] == '\n';
  return line;
}

class LanguageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { table_ = ReadTable(MainFile); }
  Table table_;
};

TEST_F(LanguageFilesTest, BothFilesAreTheSame) {
  // The main window reads one name, the other windows the other: they must agree.
  const size_t line = FirstDifferentLine(testing::ReadFile(MainFile), testing::ReadFile(WindowsFile));
  EXPECT_EQ(line, 0u) << "app/languages/language.csv and app/languages/languages.csv differ from "
                      << "line " << line << " on; make them the same";
}

TEST_F(LanguageFilesTest, AreUtf8TextThatReadsBackUnchanged) {
  const std::string bytes = testing::ReadFile(MainFile);
  ASSERT_FALSE(bytes.empty());
  EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "the file starts with a byte-order mark";
  EXPECT_TRUE(IsUtf8(bytes)) << "the file is not well-formed UTF-8";
  // Written again from what the reader took, the file must come out byte for byte: this
  // catches lines not ended by CR LF, empty lines, cells holding a comma without quotes
  // and double quotes inside cells (which end a quoted cell early).
  testing::TempFolder folder;
  ASSERT_TRUE(WriteCsvFile("again.csv", ',', static_cast<int>(table_.Rows.size()), LanguageCount));
  const size_t line = FirstDifferentLine(bytes, testing::ReadFile("again.csv"));
  EXPECT_EQ(line, 0u) << "line " << line << " does not read back as written: every line ends "
                      << "in CR LF and holds 44 cells, a cell with a comma is in double quotes, "
                      << "and no cell holds a double quote";
}

TEST_F(LanguageFilesTest, FirstRowNamesTheLanguageButtonsWithEnglishFirst) {
  std::set<std::string> buttons;
  for (int id = 43; id <= 88; ++id)
    if (!LanguageNameOfButton(id).empty()) buttons.insert(LanguageNameOfButton(id));
  ASSERT_EQ(buttons.size(), static_cast<size_t>(LanguageCount));
  ASSERT_FALSE(table_.Rows.empty());
  EXPECT_EQ(table_.Rows[0][0], "English");
  std::set<std::string> names(table_.Rows[0].begin(), table_.Rows[0].end());
  EXPECT_EQ(names, buttons);
  EXPECT_LE(table_.Width, LanguageCount + 1) << "cells beyond the 44 language columns";
  for (int column = LanguageCount; column < CsvColumns; ++column)
    EXPECT_EQ(CsvCell(0, column), "") << "row 0, column " << column;
}

TEST_F(LanguageFilesTest, EveryRowIsCompleteAndEachTextAppearsOnce) {
  // An empty cell would show an empty text, not the English one.
  std::set<std::string> seen;
  for (size_t row = 1; row < table_.Rows.size(); ++row) {
    const std::vector<std::string>& cells = table_.Rows[row];
    EXPECT_TRUE(seen.insert(cells[0]).second)
        << "\"" << cells[0] << "\" is in column 0 twice (only the upper row is ever used)";
    for (const char* language : TranslatedLanguages)
      EXPECT_NE(cells[ColumnOf(table_, language)], "")
          << "no " << language << " text for \"" << cells[0] << "\" (line " << row + 1 << ")";
    for (int column = 0; column < LanguageCount; ++column)
      EXPECT_NE(cells[column], "") << "line " << row + 1 << ", column " << column << " ("
                                   << table_.Rows[0][column] << ") is empty";
  }
}

TEST_F(LanguageFilesTest, EachLanguageHasItsOwnNameForTheLanguagePage) {
  // The language page shows "German / " followed by the German column of the row "German".
  LoadLanguageTable(MainFile);
  for (const std::string& name : table_.Rows[0]) {
    if (name == "English") continue;
    bool found = false;
    for (size_t row = 1; row < table_.Rows.size(); ++row) found |= table_.Rows[row][0] == name;
    EXPECT_TRUE(found) << "no row for the language name \"" << name << "\"";
    EXPECT_NE(TranslateToColumn(name, FindLanguageColumn(name)), "") << name;
  }
}

TEST_F(LanguageFilesTest, HoldEveryTextTheProgramTranslates) {
  std::vector<testing::SourceText> wanted = testing::FindTranslatedTexts(SourceFolder);
  // The scan must see the captions, or it is not reading the sources at all.
  std::set<std::string> scanned;
  for (const testing::SourceText& text : wanted) scanned.insert(text.Text);
  ASSERT_TRUE(scanned.count("Base/Gate") && scanned.count("Run Status"))
      << "the scan of " << SourceFolder << " found no Translate calls";
  for (const char* text : ProgramTexts) wanted.push_back({text, "", 0});

  std::set<std::string> english;
  for (size_t row = 1; row < table_.Rows.size(); ++row) english.insert(table_.Rows[row][0]);
  std::set<std::string> missing;
  std::string where;
  for (const testing::SourceText& text : wanted) {
    // The empty text is looked up on purpose, to give an empty reason; it needs no row.
    if (text.Text.empty() || english.count(text.Text) || missing.count(text.Text)) continue;
    missing.insert(text.Text);
    where += "  \"" + text.Text + "\"" +
             (text.File.empty() ? std::string(" (a text of the program's screens)")
                                : " (src/" + text.File + ":" + std::to_string(text.Line) + ")") +
             "\n";
  }
  if (missing.empty()) return;
  std::string columns;
  for (const char* language : TranslatedLanguages)
    columns += std::string(columns.empty() ? "" : ", ") + language + " (column " +
               std::to_string(ColumnOf(table_, language)) + ")";
  std::string lines;
  for (const std::string& text : missing) {
    for (int column = 0; column < LanguageCount; ++column)
      lines += (column ? "," : "") + CsvCellText(text);
    lines += "\n";
  }
  ADD_FAILURE() << missing.size() << " text(s) passed to Translate are missing from column 0 of "
                << "app/languages/language.csv:\n"
                << where
                << "Add one line per text to the end of both app/languages/language.csv and "
                   "app/languages/languages.csv (the two files stay identical, UTF-8, lines "
                   "ended by CR LF): the English text in column 0, its translation in the "
                << columns
                << " cells (columns counted from 0), and the English text in every other cell (an empty cell shows an "
                   "empty text, not English). A cell holding a comma goes in double quotes; a "
                   "text cannot hold a double quote. Lines to start from, English in every cell:\n"
                << lines;
}

TEST_F(LanguageFilesTest, EveryLanguageNameHasAnInstalledFontThatDrawsIt) {
  // The language page shows each language's own name: some installed font must hold
  // every character of it, or the button shows empty boxes.
  ASSERT_TRUE(FcInit());
  FcObjectSet* family = FcObjectSetBuild(FC_FAMILY, nullptr);
  for (int column = 0; column < LanguageCount; ++column) {
    const std::string& language = table_.Rows[0][column];
    const auto row = std::find_if(table_.Rows.begin(), table_.Rows.end(),
                                  [&](const auto& cells) { return cells[0] == language; });
    ASSERT_NE(row, table_.Rows.end()) << "no row for " << language;
    const std::string& name = (*row)[column];
    FcCharSet* characters = FcCharSetCreate();
    for (size_t at = 0; at < name.size();) {
      FcChar32 character = 0;
      const int length = FcUtf8ToUcs4(reinterpret_cast<const FcChar8*>(name.data() + at), &character,
                                      static_cast<int>(name.size() - at));
      ASSERT_GT(length, 0) << language;
      if (character != ' ') FcCharSetAddChar(characters, character);
      at += static_cast<size_t>(length);
    }
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddCharSet(pattern, FC_CHARSET, characters);
    FcFontSet* fonts = FcFontList(nullptr, pattern, family);
    EXPECT_GT(fonts != nullptr ? fonts->nfont : 0, 0)
        << "no installed font draws \"" << name << "\" (" << language << "): scripts/setup installs one";
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(characters);
  }
  FcObjectSetDestroy(family);
}

}  // namespace
}  // namespace zolt::frame
