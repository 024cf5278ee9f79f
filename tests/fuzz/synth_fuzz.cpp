// "synth.csv": the component table built from any lines holds only finite values, and a
// block synthesised from a short list of components is analysed.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analyser/analysis.h"
#include "analyser/synthesis.h"
#include "fuzz_input.h"
#include "platform/gui_headless.h"
#include "platform/system.h"

ZOLT_FUZZ_IN_SCRATCH_FOLDER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::analyser;
  std::vector<std::string> lines;
  zolt::platform::SplitTextLines(zolt::fuzz::InputText(data, size), lines);
  LoadSynthLines(lines);
  const SynthComponentsRecord& s = SynthComponents;
  int listed = 0;
  for (int k = 0; k < SynthSlots; ++k) {
    for (const double value : {s.Frequency[k], s.Amplitude[k], s.Phase[k], s.Offset[k], s.Noise[k]})
      if (!std::isfinite(value)) std::abort();
    if (k > 0 && s.Type[k] != 0 && listed == k - 1) listed = k;
  }
  // Each component costs 1600 sines a block: a long list is only loaded.
  if (listed <= 16) {
    RestartPmxAnalysis();
    SynthesisePmxBlock(0);
    AnalysePmxBlock(0);
  }
  std::remove("log.txt");  // what the loader reports
  // The message boxes shown are dropped within the input that showed them, so that no
  // input seems to keep memory (which would set off a leak search over the 48 MB ring).
  if (!zolt::platform::headless::MessagesShown().empty()) zolt::platform::headless::Reset();
  return 0;
}
