// Decoding one block of the power analyser's stream: 320 frames, each checked and its
// ten samples converted to volts and amperes, as the comms thread does.
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
  std::vector<double> volts(PmxBlockSamples), amps(PmxBlockSamples);
  const double voltageGain = 5e-5, voltageOffset = 0.01, currentGain = 1.6e-6, currentOffset = -0.002;
  for (auto _ : state) {
    int32_t badInARow = 0, readSkip = 0;
    int offset = 0;
    PmxSideChannel side;
    for (int at = 0; at < PmxFramesPerBlock * PmxFrameBytes; at += PmxFrameBytes) {
      PmxFrame frame;
      if (TakePmxRead(std::span(block).subspan(at, PmxFrameBytes), badInARow, readSkip, frame) !=
          PmxReadOutcome::Good) {
        continue;
      }
      CollectSideChannelBit(side, frame.SideStart, frame.SideData);
      for (int i = 0; i < PmxFrameSamples; ++i) {
        volts[offset + i] = frame.Voltage[i] * voltageGain + voltageOffset;
        amps[offset + i] = frame.Current[i] * currentGain + currentOffset;
      }
      offset += PmxFrameSamples;
    }
    benchmark::DoNotOptimize(volts.data());
    benchmark::DoNotOptimize(amps.data());
    benchmark::DoNotOptimize(offset);
  }
}
BENCHMARK(BM_DecodePmxBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
