// The power analyser's sample ring: 100 blocks of 1600 voltage and current samples
// (10 s at 16,000 samples per second), written by the comms thread (or, with no
// instrument connected, by the signal synthesis in the main thread) and analysed by the
// main thread.
//
// Hand-over: the comms thread writes only block PmxWriteBlock, then publishes it in
// PmxPublishedBlock (release); the main thread reads a block only after it has been
// published (acquire) and trails the newest one by a block, so writer and reader never
// share a block. The conversion of the selected ranges is written by the main thread
// and read by the comms thread per frame, hence atomics.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/pmx_wire.h"

namespace zolt::link {

// A block is PmxBlockSamples (1600: 320 frame-times x 5 samples, pmx_wire.h).
constexpr int PmxRingBlocks = 100;
constexpr int PmxRingSamples = PmxBlockSamples * PmxRingBlocks;  // 160,000
constexpr int PmxSampleTableSize = 2000001;  // the tables are longer than the ring

// The sample tables (about 48 MB, zero-initialised, so they take no room in the program
// file and pages are only touched where samples land). Block b occupies b x 1600 ..
// b x 1600 + 1599.
inline double PmxVoltageSamples[PmxSampleTableSize] = {};   // volts
inline double PmxCurrentSamples[PmxSampleTableSize] = {};   // amperes
inline double PmxFilteredSamples[PmxSampleTableSize] = {};  // low-pass output / 4 (main thread)

// One sample of the voltage or current table, read or written by either thread. The ring's
// hand-over keeps the two threads on different blocks; should the comms thread ever come
// round the ring onto a block the main thread still reads (the main thread held up for
// the ring's 10 s), the reader sees a mix of old and new samples, never a torn value.
inline double LoadSample(const double& sample) {
  return std::atomic_ref<const double>(sample).load(std::memory_order_relaxed);
}
inline void StoreSample(double& sample, double value) {
  std::atomic_ref<double>(sample).store(value, std::memory_order_relaxed);
}

// The conversion of a block's samples.
enum PmxConversionKind : uint8_t {
  PmxNoConversion = 0,    // none (synthesised in volts and amperes, or nothing received)
  PmxOneConversion = 1,   // one conversion for the whole block
  PmxMixedConversion = 2  // a range was applied while the block was received (a gap)
};

// Written with each block's samples and published with them, for the analysis: which
// frame-times were received (PmxFrameTimeFlags of pmx_wire.h; frame-time t of block b at
// b x 320 + t; 0, nothing received, where nothing wrote), and the conversion of the
// block's samples, by its kind.
constexpr int PmxRingFrameTimes = PmxFramesPerBlock * PmxRingBlocks;  // 32,000
inline uint8_t PmxFrameTimes[PmxRingFrameTimes] = {};
inline PmxConversion PmxBlockConversions[PmxRingBlocks];
inline uint8_t PmxBlockConversionKinds[PmxRingBlocks] = {};

// One byte of those tables, read or written by either thread (as LoadSample).
inline uint8_t LoadRingByte(const uint8_t& flags) {
  return std::atomic_ref<const uint8_t>(flags).load(std::memory_order_relaxed);
}
inline void StoreRingByte(uint8_t& flags, uint8_t value) {
  std::atomic_ref<uint8_t>(flags).store(value, std::memory_order_relaxed);
}

struct PmxSampleRingRecord {
  int32_t PmxBlockSize = PmxBlockSamples;
  std::atomic<int32_t> PmxWriteBlock{0};      // block being filled, 0..99
  std::atomic<int32_t> PmxPublishedBlock{0};  // last finished block, 0..99
  int32_t PmxProcessBlock = 0;        // main thread's bookkeeping
  int32_t PmxLastProcessedBlock = 0;
  std::atomic<double> PmxVoltageGain{1.0};
  std::atomic<double> PmxVoltageOffset{0.0};
  std::atomic<double> PmxCurrentGain{1.0};
  std::atomic<double> PmxCurrentOffset{0.0};
  // Counts the changes of the four: odd while the main thread changes them. A block that
  // began and ended with the same even count was converted with one conversion.
  std::atomic<uint32_t> PmxConversionGeneration{0};
};

inline PmxSampleRingRecord PmxSampleRing;

}  // namespace zolt::link
