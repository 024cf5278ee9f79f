// CSV tables: the reader into the shared grid, the line splitter and the one-cell rewrite.
#include "frame/csv.h"
#include "fuzz_input.h"

ZOLT_FUZZ_IN_SCRATCH_FOLDER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  zolt::fuzz::WriteInput("table.csv", data, size);
  ReadCsvFile("table.csv", ',');
  SplitCsvLine(zolt::fuzz::InputText(data, size));
  UpdateCsvCell("table.csv", "GraphTitle", 1, "a \"title\", with a comma");
  return 0;
}
