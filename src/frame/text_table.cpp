// Sparse text table: a row grows to its last written cell; empty rows hold nothing.
#include "frame/text_table.h"

#include <algorithm>

namespace zolt::frame {

namespace {
const std::string EmptyText;

bool Inside(const TextTable& table, int row, int column) {
  return row >= 0 && row < table.Rows && column >= 0 && column < table.Columns;
}
}  // namespace

void ResetTextTable(TextTable& table, int rows, int columns) {
  table.Rows = std::max(rows, 0);
  table.Columns = std::max(columns, 0);
  table.RowCells.clear();
  table.RowCells.shrink_to_fit();
  table.RowCells.resize(static_cast<size_t>(table.Rows));
  table.UsedRows = 0;
}

const std::string& TextTableCell(const TextTable& table, int row, int column) {
  if (!Inside(table, row, column)) return EmptyText;
  const auto& cells = table.RowCells[static_cast<size_t>(row)];
  return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)] : EmptyText;
}

void SetTextTableCell(TextTable& table, int row, int column, const std::string& text) {
  if (!Inside(table, row, column)) return;
  auto& cells = table.RowCells[static_cast<size_t>(row)];
  const auto index = static_cast<size_t>(column);
  if (index >= cells.size()) {
    if (text.empty()) return;
    cells.resize(index + 1);
    table.UsedRows = std::max(table.UsedRows, row + 1);
  }
  cells[index] = text;
}

void ClearTextTable(TextTable& table, int lastRow, int lastColumn) {
  lastRow = std::min(lastRow, table.UsedRows - 1);
  lastColumn = std::min(lastColumn, table.Columns - 1);
  if (lastColumn < 0) return;
  for (int row = 0; row <= lastRow; ++row) {
    auto& cells = table.RowCells[static_cast<size_t>(row)];
    if (static_cast<size_t>(lastColumn) + 1 >= cells.size()) {
      std::vector<std::string>().swap(cells);
    } else {
      for (int column = 0; column <= lastColumn; ++column) cells[static_cast<size_t>(column)].clear();
    }
  }
  while (table.UsedRows > 0 && table.RowCells[static_cast<size_t>(table.UsedRows) - 1].empty())
    --table.UsedRows;
}

}  // namespace zolt::frame
