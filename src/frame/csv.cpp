// CSV tables and numbered CSV files: the shared grid, the field rule of the reader and
// the line splitter, the writer, the numbered run-file names and the rewrite of one
// cell of a file.
//
// Sections: the grid; the field rule; reading and writing; numbered names; one cell.
#include "frame/csv.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "frame/numbers.h"
#include "frame/text_table.h"
#include "platform/system.h"

namespace zolt::frame {

// ---- the grid ----

namespace {

TextTable& Grid() {
  static TextTable grid = [] {
    TextTable table;
    ResetTextTable(table, CsvRows, CsvColumns);
    return table;
  }();
  return grid;
}

}  // namespace

const std::string& CsvCell(int row, int column) { return TextTableCell(Grid(), row, column); }

void SetCsvCell(int row, int column, const std::string& text) {
  SetTextTableCell(Grid(), row, column, text);
}

void ClearStringGrid(int rows, int columns) {
  if (rows == 0) rows = CsvRows - 1;
  if (columns == 0) columns = CsvColumns - 1;
  ClearTextTable(Grid(), rows, columns);
}

// ---- the field rule ----

namespace {

// Splits one line into fields and hands each to `store` (column, text); returns the
// highest column reached by an advance. A quoted field runs to the next double quote
// (there is no escape) and always advances the column, even at the end of the line; an
// unquoted last field is stored without advancing. A quote that never closes ends the
// line, its rest becoming the field. Fields beyond `maxFields` are dropped.
template <typename Store>
int ApplyFieldRule(std::string_view rest, char separator, int maxFields, Store store) {
  int column = 0;
  int highest = 0;
  while (!rest.empty() && column < maxFields) {
    std::string_view field;
    if (rest.front() == '"') {
      const size_t close = rest.find('"', 1);
      if (close == std::string_view::npos) {
        field = rest.substr(1);
        rest = {};
      } else {
        field = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest.front() == ',') rest.remove_prefix(1);
      }
    } else {
      const size_t at = rest.find(separator);
      if (at == std::string_view::npos) {
        store(column, rest);
        break;
      }
      field = rest.substr(0, at);
      rest = rest.substr(at + 1);
    }
    store(column, field);
    ++column;
    highest = std::max(highest, column);
  }
  return highest;
}

}  // namespace

void SplitCsvLine(const std::string& line) {
  for (std::string& field : CsvFields) field.clear();
  ApplyFieldRule(line, ',', CsvFieldCount,
                 [](int column, std::string_view text) { CsvFields[column] = std::string(text); });
}

// ---- reading and writing ----

void ReadCsvFile(const std::string& path, char separator) {
  std::vector<std::string> lines;
  platform::ReadTextLines(path, lines);
  // Lines beyond the grid are dropped.
  if (lines.size() > static_cast<size_t>(CsvRows)) lines.resize(CsvRows);
  CsvRowCount = static_cast<int32_t>(lines.size());
  CsvColumnCount = 0;
  ClearStringGrid(0, 0);
  for (int row = 0; row < CsvRowCount; ++row) {
    const int highest = ApplyFieldRule(
        lines[static_cast<size_t>(row)], separator, CsvColumns,
        [row](int column, std::string_view text) { SetCsvCell(row, column, std::string(text)); });
    CsvColumnCount = std::max(CsvColumnCount, highest);
  }
  CsvColumnCount = std::min(CsvColumnCount + 1, CsvColumns);
}

bool WriteCsvFile(const std::string& path, char separator, int rows, int columns) {
  rows = std::clamp(rows, 0, CsvRows);
  columns = std::clamp(columns, 0, CsvColumns);
  std::string content;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (column > 0) content += separator;
      const std::string& cell = CsvCell(row, column);
      if (cell.find(',') != std::string::npos) {
        content += '"';
        content += cell;
        content += '"';
      } else {
        content += cell;
      }
    }
    content += "\r\n";
  }
  return platform::WriteFileReplacing(path, content);
}

// ---- numbered names ----

int32_t FindHighestCsvNumber(const std::string& folder) {
  int64_t best = 1;
  for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
    std::string name = entry.IsFolder ? "0000.csv" : ToLower(entry.Name);
    if (name.find(".csv") == std::string::npos) continue;
    for (size_t at; (at = name.find(".csv")) != std::string::npos;) name.erase(at, 4);
    best = std::max(best, ParseInteger(name));
  }
  return static_cast<int32_t>(std::min<int64_t>(best, std::numeric_limits<int32_t>::max()));
}

std::string MakeCsvFileName(int32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.csv", std::clamp<int32_t>(number, 1, 9999));
  return name;
}

// ---- one cell ----

namespace {

// Splits a line at commas outside double quotes; a doubled quote inside quotes stands
// for one quote. The text after the last comma is the last field.
std::vector<std::string> SplitQuoted(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string JoinQuoted(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& field = fields[i];
    if (field.find_first_of(",\"") == std::string::npos) {
      line += field;
      continue;
    }
    line += '"';
    for (char c : field) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  return line;
}

}  // namespace

void UpdateCsvCell(const std::string& path, const std::string& heading, int32_t row,
                   const std::string& value) {
  std::vector<std::string> lines;
  if (!platform::ReadTextLines(path, lines)) return;
  if (row < 0 || static_cast<int64_t>(lines.size()) < static_cast<int64_t>(row) + 2) return;

  // The heading line is split at every comma, without quote handling.
  int column = -1;
  std::string_view headings = lines[0];
  for (int index = 0;; ++index) {
    const size_t comma = headings.find(',');
    if (headings.substr(0, comma) == heading) {
      column = index;
      break;
    }
    if (comma == std::string_view::npos) break;
    headings.remove_prefix(comma + 1);
  }
  if (column < 0) return;

  std::vector<std::string> fields = SplitQuoted(lines[static_cast<size_t>(row)]);
  if (static_cast<size_t>(column) >= fields.size()) return;
  fields[static_cast<size_t>(column)] = value;
  lines[static_cast<size_t>(row)] = JoinQuoted(fields);

  std::string content;
  for (const std::string& line : lines) content += line + "\r\n";
  platform::WriteFileReplacing(path, content);
}

}  // namespace zolt::frame
