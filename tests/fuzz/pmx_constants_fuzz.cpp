// The power analyser's calibration text to the ranges' constants: every range ends with
// a usable pair (a finite gain other than 0, a finite offset) or with the pair it had, and
// one counted as usable has a usable pair.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"
#include "link/pmx_calibration.h"

ZOLT_FUZZ_IN_SCRATCH_FOLDER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::link;
  for (int range = 0; range < PmxRangeCount; ++range) {
    PmxRangeConstants.Gain[range] = 7.0;
    PmxRangeConstants.Offset[range] = 8.0;
  }
  FitCalibrationText(zolt::fuzz::InputText(data, size));
  for (int range = 0; range < PmxRangeCount; ++range) {
    const double gain = PmxRangeConstants.Gain[range], offset = PmxRangeConstants.Offset[range];
    const bool kept = gain == 7.0 && offset == 8.0;
    const bool usable = std::isfinite(gain) && std::isfinite(offset) && gain != 0.0;
    if ((!kept || PmxRangeConstants.Usable[range]) && !usable) std::abort();
  }
  std::remove("log.txt");  // the unfitted ranges are logged
  return 0;
}
