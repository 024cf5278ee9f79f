// The power analyser's sample stream from arbitrary bytes, read as the comms thread reads
// it: frames found again after shifts, blocks of 320 frame-times assembled and completed,
// the side channel collected. The first byte makes every n-th read come back short.
// A complete block must hold only values between the lowest and the highest sample it
// received (0 when it received none), and nothing may be written outside its tables.
// Each complete block is stored in the ring and analysed: a reading that stands is a
// finite number.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <span>

#include "analyser/analysis.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "link/pmx_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::link;
  if (size < 1) return 0;
  const size_t shortEvery = data[0];
  const std::span<const uint8_t> stream(data + 1, size - 1);
  static PmxBlockAssembly block;
  block = {};
  PmxAlignment alignment;
  PmxSideChannel side;
  const PmxConversion conversion{3.5e-5, -0.25, 1.6e-6, 0.002};
  size_t reads = 0;
  int32_t blocks = 0;
  zolt::analyser::RestartPmxAnalysis();
  std::fill(PmxFrameTimes, PmxFrameTimes + 2 * PmxFramesPerBlock, 0);
  for (size_t at = 0; at < stream.size(); ++reads) {
    size_t got = std::min<size_t>(PmxNextReadBytes(alignment), stream.size() - at);
    if (shortEvery > 0 && reads % shortEvery == 0) got = reads % (got + 1);
    TakePmxBlockRead(block, alignment, stream.subspan(at, got), conversion, side);
    at += got == 0 ? 1 : got;
    if (side.WordIndex < 0 || side.WordIndex >= PmxSideChannelWords || side.Mask == 0) std::abort();
    if (!PmxBlockComplete(block)) continue;

    double low = 0.0, high = 0.0;
    bool any = false;
    for (int time = 0; time < PmxFramesPerBlock; ++time) {
      if (!block.Taken[time]) continue;
      for (int i = 0; i < PmxFrameSamples; ++i) {
        const double v = block.Voltage[time * PmxFrameSamples + i];
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
      }
    }
    FillMissingPmxSamples(block);
    for (const double v : block.Voltage) {
      if (!(v >= low && v <= high)) std::abort();
    }
    StorePmxBlock(block, blocks % 2, conversion, PmxOneConversion);
    zolt::analyser::AnalysePmxBlock(blocks++ % 2);
    const zolt::analyser::PmxReadingsRecord& r = zolt::analyser::PmxReadings;
    using zolt::analyser::PmxReadingStatus;
    const std::pair<double, PmxReadingStatus> readings[] = {
        {r.PmxFrequency, r.PmxFrequencyStatus},
        {r.PmxVoltagePeakPositive, r.PmxVoltagePeakPositiveStatus},
        {r.PmxVoltagePeakNegative, r.PmxVoltagePeakNegativeStatus},
        {r.PmxCurrentPeakPositive, r.PmxCurrentPeakPositiveStatus},
        {r.PmxCurrentPeakNegative, r.PmxCurrentPeakNegativeStatus}};
    for (const auto& [value, status] : readings)
      if (status == PmxReadingStatus::Measured && !std::isfinite(value)) std::abort();
    StartNextPmxBlock(block);
    if (PmxNextFrameTime(block) != 0 || block.Bytes < -PmxFrameBytes / 2 ||
        block.Bytes >= PmxFrameBytes / 2) {
      std::abort();
    }
  }
  return 0;
}
