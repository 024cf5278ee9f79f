// CSV tables and numbered CSV files: the shared grid, the field rule of the reader and
// the line splitter, the writer, the numbered run-file names and the rewrite of one
// cell of a file.
//
// Sections: the grid; the field rule; reading and writing; numbered names; one cell.
#include "frame/csv.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
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

// Where a field stands in its line: from its first character (the opening quote of a
// quoted field) to the character after its last (the closing quote), the separator
// after it left out.
struct FieldSpan {
  size_t Begin = 0;
  size_t End = 0;
};

// Splits one line into fields and hands each to `store` (column, text, span); returns the
// highest column reached by an advance. A quoted field runs to the next double quote
// that is not doubled (a doubled quote inside it stands for one quote) and always
// advances the column, even at the end of the line; an unquoted last field is stored
// without advancing. A quote that never closes ends the line, its rest becoming the
// field. Fields beyond `maxFields` are dropped.
template <typename Store>
int ApplyFieldRule(std::string_view line, char separator, int maxFields, Store store) {
  size_t at = 0;
  int column = 0;
  int highest = 0;
  while (at < line.size() && column < maxFields) {
    const size_t begin = at;
    if (line[at] == '"') {
      std::string field;
      ++at;
      for (;;) {
        const size_t quote = line.find('"', at);
        if (quote == std::string_view::npos) {
          field.append(line.substr(at));
          at = line.size();
          break;
        }
        field.append(line.substr(at, quote - at));
        at = quote + 1;
        if (at < line.size() && line[at] == '"') {
          field += '"';
          ++at;
          continue;
        }
        break;
      }
      store(column, std::string_view(field), FieldSpan{begin, at});
      if (at < line.size() && line[at] == ',') ++at;
    } else {
      const size_t end = line.find(separator, at);
      if (end == std::string_view::npos) {
        store(column, line.substr(at), FieldSpan{begin, line.size()});
        break;
      }
      store(column, line.substr(at, end - at), FieldSpan{begin, end});
      at = end + 1;
    }
    ++column;
    highest = std::max(highest, column);
  }
  return highest;
}

// Appends a cell as the reader takes it back: between double quotes with each of its
// own quotes doubled when `quoted`, as it stands otherwise. A line end inside a cell (a
// title pasted from several lines) would split its row, quoted or not, so each CR, LF
// or NUL is written as a blank.
void AppendCell(std::string& out, std::string_view cell, bool quoted) {
  if (quoted) out += '"';
  for (char c : cell) {
    if (c == '"' && quoted) out += '"';
    out += c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
  }
  if (quoted) out += '"';
}

}  // namespace

void SplitCsvLine(std::string_view line) {
  for (std::string& field : CsvFields) field.clear();
  ApplyFieldRule(line, ',', CsvFieldCount, [](int column, std::string_view text, FieldSpan) {
    CsvFields[column].assign(text);
  });
}

// ---- reading and writing ----

void ReadCsvFile(const std::string& path, char separator) {
  std::string bytes;
  platform::ReadFileBytes(path, bytes);
  ReadCsvText(bytes, separator);
}

void ReadCsvText(std::string_view text, char separator) {
  std::vector<std::string_view> lines = platform::SplitTextLines(text);
  // Lines beyond the grid are dropped.
  if (lines.size() > static_cast<size_t>(CsvRows)) lines.resize(CsvRows);
  CsvRowCount = static_cast<int32_t>(lines.size());
  CsvColumnCount = 0;
  ClearStringGrid(0, 0);
  for (int row = 0; row < CsvRowCount; ++row) {
    const int highest = ApplyFieldRule(
        lines[static_cast<size_t>(row)], separator, CsvColumns,
        [row](int column, std::string_view text, FieldSpan) {
          SetCsvCell(row, column, std::string(text));
        });
    CsvColumnCount = std::max(CsvColumnCount, highest);
  }
  CsvColumnCount = std::min(CsvColumnCount + 1, CsvColumns);
}

void AppendCsvLine(std::string& out, char separator, const std::string* cells, int count) {
  for (int column = 0; column < count; ++column) {
    if (column > 0) out += separator;
    // Quotes only where the reader needs them, so that other cells are written as they
    // stand.
    const std::string& cell = cells[column];
    AppendCell(out, cell, cell.find(',') != std::string::npos || cell.starts_with('"'));
  }
  out += "\r\n";
}

bool WriteCsvFile(const std::string& path, char separator, int rows, int columns) {
  rows = std::clamp(rows, 0, CsvRows);
  columns = std::clamp(columns, 0, CsvColumns);
  std::string content;
  std::vector<std::string> cells(static_cast<size_t>(columns));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column)
      cells[static_cast<size_t>(column)] = CsvCell(row, column);
    AppendCsvLine(content, separator, cells.data(), columns);
  }
  return platform::WriteFileReplacing(path, content);
}

// ---- numbered names ----

std::vector<bool> FindCsvNumbersInUse(const std::string& folder) {
  std::vector<bool> used(LastCsvNumber + 1, false);
  for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
    std::string name = entry.IsFolder ? "0000.csv" : ToLower(entry.Name);
    if (name.find(".csv") == std::string::npos) continue;
    for (size_t at; (at = name.find(".csv")) != std::string::npos;) name.erase(at, 4);
    const int64_t number = ParseInteger(name);
    if (number >= 1 && number <= LastCsvNumber) used[static_cast<size_t>(number)] = true;
  }
  return used;
}

int32_t FindHighestCsvNumber(const std::string& folder) {
  const std::vector<bool> used = FindCsvNumbersInUse(folder);
  for (int32_t number = LastCsvNumber; number > 1; --number)
    if (used[static_cast<size_t>(number)]) return number;
  return 1;
}

std::string MakeCsvFileName(int32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.csv", std::clamp<int32_t>(number, 1, 9999));
  return name;
}

// ---- one cell ----
//
// The rewrite changes the bytes of that one cell and no others: the file keeps its line
// ends, and the other cells of the line keep their quoting.

namespace {

// The column of the first heading equal to `heading` (headings split at every comma,
// without quote handling); -1 when there is none.
int HeadingColumn(std::string_view headings, const std::string& heading) {
  for (int index = 0;; ++index) {
    const size_t comma = headings.find(',');
    if (headings.substr(0, comma) == heading) return index;
    if (comma == std::string_view::npos) return -1;
    headings.remove_prefix(comma + 1);
  }
}

// Where field `column` of a line stands, as the reader splits it; a line that ends in a
// separator has an empty last field at its end.
std::optional<FieldSpan> FieldAt(std::string_view line, int column) {
  std::optional<FieldSpan> found;
  int count = 0;
  size_t lastEnd = 0;
  ApplyFieldRule(line, ',', std::numeric_limits<int>::max(),
                 [&](int at, std::string_view, FieldSpan span) {
                   if (at == column) found = span;
                   count = at + 1;
                   lastEnd = span.End;
                 });
  if (!found && column == count && lastEnd < line.size() && line.back() == ',')
    found = FieldSpan{line.size(), line.size()};
  return found;
}

}  // namespace

CellUpdate UpdateCsvCell(const std::string& path, const std::string& heading, int32_t row,
                         const std::string& value) {
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) return CellUpdate::Failed;
  if (!UpdateCsvCellText(bytes, heading, row, value)) return CellUpdate::NoCell;
  return platform::RewriteFile(path, bytes) ? CellUpdate::Written : CellUpdate::Failed;
}

bool UpdateCsvCellText(std::string& bytes, const std::string& heading, int32_t row,
                       const std::string& value) {
  if (row < 0) return false;
  // Blank lines (a CR LF at the end, CRs doubled by an editor) are no lines of the table,
  // as a run file's reader passes them over.
  std::vector<std::string_view> lines = platform::SplitTextLines(bytes);
  std::erase_if(lines, IsBlankLine);
  // The heading line and the row itself must be there.
  if (lines.size() < static_cast<size_t>(row) + 1) return false;

  const int column = HeadingColumn(lines[0], heading);
  if (column < 0) return false;

  const std::string_view line = lines[static_cast<size_t>(row)];
  const std::optional<FieldSpan> field = FieldAt(line, column);
  if (!field) return false;

  std::string cell;
  AppendCell(cell, value, value.find_first_of(",\"") != std::string::npos);
  const size_t lineBegin = static_cast<size_t>(line.data() - bytes.data());
  bytes.replace(lineBegin + field->Begin, field->End - field->Begin, cell);
  return true;
}

}  // namespace zolt::frame
