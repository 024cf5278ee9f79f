// CSV tables and numbered CSV files.
//
// The tables (language table, test configurations) are read into and written from one
// shared grid, CsvGrid, of 32,001 rows by 101 columns (only rows that hold text take
// memory). A caller copies what it needs out of the grid before the next CSV operation.
// Run files, which may be far longer, are written line by line with AppendCsvLine and
// split line by line with SplitCsvLine, by the same rules. All routines are silent: a
// missing file reads as an empty table, a file that cannot be written is not written
// (WriteCsvFile tells its caller, who reports it where that matters).
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zolt::frame {

constexpr int CsvRows = 32001;
constexpr int CsvColumns = 101;
constexpr int CsvFieldCount = 101;

// The grid's cells; reading outside the grid gives the empty text, writing outside it
// does nothing.
const std::string& CsvCell(int row, int column);
void SetCsvCell(int row, int column, const std::string& text);

inline int32_t CsvRowCount = 0;     // lines taken by the last read
inline int32_t CsvColumnCount = 0;  // columns found by the last read

// The fields of the last line given to SplitCsvLine (entries 0..100).
inline std::string CsvFields[CsvFieldCount];

void ReadCsvFile(const std::string& path, char separator);
// The same for a table already in memory (the bytes of a file).
void ReadCsvText(std::string_view text, char separator);
// Writes rows 0..rows-1, cells 0..columns-1; the file is replaced in one step. A cell
// holding a comma, or beginning with a double quote, is written between double quotes
// with its own quotes doubled, so that it reads back as it was. Returns false when the
// file could not be written (the old file, if any, is then unchanged).
bool WriteCsvFile(const std::string& path, char separator, int rows, int columns);
// Appends one line of cells as WriteCsvFile writes it, CR LF included: for tables
// written without the grid, such as a run file, which may be longer than the grid.
void AppendCsvLine(std::string& out, char separator, const std::string* cells, int count);
// Empties rows 0..rows and columns 0..columns (bounds included); 0 means the whole extent.
void ClearStringGrid(int rows, int columns);
void SplitCsvLine(std::string_view line);
constexpr int32_t LastCsvNumber = 9999;
// The largest run number (1..9999) among the folder's CSV file names, at least 1. A name
// counts by the digits before its first other character once every ".csv" (in any
// case) is taken out; one whose number lies outside 1..9999 is no run number.
int32_t FindHighestCsvNumber(const std::string& folder);
// The run numbers the folder's CSV file names give, by the same rule: entry n (1..9999)
// is true when a name gives n.
std::vector<bool> FindCsvNumbersInUse(const std::string& folder);
// "0001.csv" .. "9999.csv" (the number clamped to 1..9999).
std::string MakeCsvFileName(int32_t number);
// Rewrites one cell of a file, chosen by its column heading and row (1 = first data line;
// blank lines are not counted); every other byte of the file stays as it was. The value
// is quoted (its quotes doubled) when it holds a comma or a double quote. NoCell: the
// file holds no such row, heading or field. Failed: the file could not be read, is
// write-protected (it is never rewritten then) or could not be written;
// platform::LastFileError tells why. Either leaves the file unchanged.
enum class CellUpdate { Written, NoCell, Failed };
CellUpdate UpdateCsvCell(const std::string& path, const std::string& heading, int32_t row,
                         const std::string& value);
// The same rewrite on a file's bytes in memory; false when nothing was changed.
bool UpdateCsvCellText(std::string& bytes, const std::string& heading, int32_t row,
                       const std::string& value);

}  // namespace zolt::frame
