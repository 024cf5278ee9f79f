// Run files loaded as sample runs: every line names its curve and point.
#include "fuzz_input.h"
#include "tracer/run_file.h"
#include "tracer/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::tracer;
  ReadRunCsvText(zolt::fuzz::InputText(data, size));
  for (int32_t total : DisplayedSweeps.TotalEntries)
    if (total < 0 || total >= DisplayedPointsPerCurve) ::abort();
  return 0;
}
