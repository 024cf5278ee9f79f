// A table of text cells with a fixed number of rows and columns that stores only the
// text it holds: a row grows to its last non-empty cell when a text is written into it.
// The CSV grid and the language table are built on it. Reading outside the table gives
// the empty text; writing outside it does nothing.
#pragma once

#include <string>
#include <vector>

namespace zolt::frame {

struct TextTable {
  int Rows = 0;
  int Columns = 0;
  std::vector<std::vector<std::string>> RowCells;  // Rows entries, each up to its last text
  int UsedRows = 0;  // rows from here on hold nothing, so that clearing skips them
};

// Sizes the table and empties it.
void ResetTextTable(TextTable& table, int rows, int columns);
const std::string& TextTableCell(const TextTable& table, int row, int column);
void SetTextTableCell(TextTable& table, int row, int column, const std::string& text);
// Empties rows 0..lastRow and columns 0..lastColumn (bounds included, clamped to
// the table); a row emptied across its whole width gives its memory back.
void ClearTextTable(TextTable& table, int lastRow, int lastColumn);

}  // namespace zolt::frame
