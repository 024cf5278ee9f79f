// CSV tables: the reader into the shared grid, the line splitter and the one-cell rewrite,
// each on the input held in memory.
#include "frame/csv.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  std::string text = zolt::fuzz::InputText(data, size);
  ReadCsvText(text, ',');
  if (CsvRowCount > CsvRows || CsvColumnCount > CsvColumns) ::abort();
  SplitCsvLine(text);
  UpdateCsvCellText(text, "GraphTitle", 1, "a \"title\", with a comma");
  return 0;
}
