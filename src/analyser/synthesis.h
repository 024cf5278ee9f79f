// Signal synthesis: without an instrument, the power analyser runs on a demonstration
// signal built from the components listed in "synth.csv" (sines with harmonics, offsets
// and noise, on the voltage or the current channel), written into the sample ring as
// the comms thread would write received blocks.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::analyser {

constexpr int SynthSlots = 1001;  // component slots 0..1000; slot 0 is never synthesised

inline const std::string SynthFile = "synth.csv";

// The component table, rebuilt (all zero) at every load. Type 0 ends the list, 1 is a
// voltage component, 2 a current component; Phase is the running phase in degrees.
struct SynthComponentsRecord {
  std::array<int32_t, SynthSlots> Type{};
  std::array<double, SynthSlots> Frequency{};  // Hz
  std::array<int32_t, SynthSlots> Harmonic{};
  std::array<double, SynthSlots> Amplitude{};  // peak
  std::array<double, SynthSlots> Phase{};      // degrees
  std::array<double, SynthSlots> Offset{};
  std::array<double, SynthSlots> Noise{};      // peak to peak
};

inline SynthComponentsRecord SynthComponents;

// Rebuilds SynthComponents from "synth.csv": one component per line, eight fields
// (index, type, frequency, harmonic, amplitude, phase, offset, noise). A line whose
// index has no slot is left out and reported; one with a value that is not a finite
// number is left out and logged; a component at index 0, or after a gap in the indexes
// (both never synthesised), is logged.
void LoadSynthCsv();
// The same over the file's lines.
void LoadSynthLines(const std::vector<std::string>& lines);

// Fills block 0..99 of the ring with 1600 synthesised voltage and current samples and
// advances the phases of the components used.
void SynthesisePmxBlock(int32_t block);

}  // namespace zolt::analyser
