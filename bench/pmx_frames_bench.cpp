// Assembling one block of the power analyser's stream: 320 frames, each checked and its
// ten samples converted to volts and amperes, and the block completed, as the comms
// thread does (TakePmxBlockRead, FillMissingPmxSamples).
// Target: at most 20 us per block.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "link/pmx_ring.h"
#include "link/pmx_wire.h"

namespace {

using namespace zolt::link;

std::vector<uint8_t> SineBlock() {
  std::vector<uint8_t> bytes;
  for (int frame = 0; frame < PmxFramesPerBlock; ++frame) {
    int32_t voltage[PmxFrameSamples], current[PmxFrameSamples];
    for (int i = 0; i < PmxFrameSamples; ++i) {
      const double phase = 2.0 * std::numbers::pi * 50.0 * (frame * PmxFrameSamples + i) / 16000.0;
      voltage[i] = static_cast<int32_t>(6.5e6 * std::sin(phase));
      current[i] = static_cast<int32_t>(3.0e6 * std::sin(phase - 0.5));
    }
    const PmxFrameBytesArray encoded = EncodePmxFrame(voltage, current, frame % 3 == 0, frame == 0);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  }
  return bytes;
}

void BM_DecodePmxBlock(benchmark::State& state) {
  const std::vector<uint8_t> block = SineBlock();
  const PmxConversion conversion{5e-5, 0.01, 1.6e-6, -0.002};
  static PmxBlockAssembly assembly;
  for (auto _ : state) {
    PmxAlignment alignment;
    PmxSideChannel side;
    for (int at = 0; !PmxBlockComplete(assembly); at += PmxFrameBytes) {
      TakePmxBlockRead(assembly, alignment, std::span(block).subspan(at, PmxFrameBytes), conversion, side);
    }
    FillMissingPmxSamples(assembly);
    benchmark::DoNotOptimize(assembly.Voltage);
    benchmark::DoNotOptimize(assembly.Current);
    StartNextPmxBlock(assembly);
  }
}
BENCHMARK(BM_DecodePmxBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
