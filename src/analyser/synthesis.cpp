// Signal synthesis.
//
// Sections: loading "synth.csv"; synthesising a block.
#include "analyser/synthesis.h"

#include <cmath>
#include <random>
#include <string_view>
#include <vector>

#include "frame/log.h"
#include "frame/numbers.h"
#include "link/pmx_ring.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::analyser {

// ---- loading "synth.csv" ----

namespace {

// Takes the next field off the front of `rest`: the text up to the first comma (read
// by the caller up to that comma), the rest after it. With no comma left the field is
// empty (reads 0) and `rest` stays as it is.
std::string_view NextField(std::string_view& rest) {
  const size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return {};
  const std::string_view field = rest.substr(0, comma + 1);
  rest.remove_prefix(comma + 1);
  return field;
}

int32_t ReadInteger(std::string_view field) { return static_cast<int32_t>(frame::ParseInteger(field)); }

}  // namespace

void LoadSynthCsv() {
  SynthComponentsRecord& s = SynthComponents;
  s = SynthComponentsRecord{};
  std::vector<std::string> lines;
  if (!platform::ReadTextLines(SynthFile, lines)) {
    platform::ShowMessageBox("Error", "Cannot open 'synth.csv' file to extract data", platform::MessageIcon::None);
    return;
  }
  int rejected = 0;
  size_t firstRejected = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string_view rest = lines[n];
    const int64_t index = frame::ParseInteger(NextField(rest));
    const int32_t type = ReadInteger(NextField(rest));
    const double frequency = frame::ParseReal(NextField(rest));
    const int32_t harmonic = ReadInteger(NextField(rest));
    const double amplitude = frame::ParseReal(NextField(rest));
    const double phase = frame::ParseReal(NextField(rest));
    const double offset = frame::ParseReal(NextField(rest));
    const double noise = frame::ParseReal(rest);
    // An index with no slot must not land anywhere in the table.
    if (index < 0 || index >= SynthSlots) {
      if (rejected++ == 0) firstRejected = n + 1;
      continue;
    }
    s.Type[index] = type;
    s.Frequency[index] = frequency;
    s.Harmonic[index] = harmonic;
    s.Amplitude[index] = amplitude;
    s.Phase[index] = phase;
    s.Offset[index] = offset;
    s.Noise[index] = noise;
  }
  if (rejected > 0) {
    frame::ReportMessage("Warning", "synth.csv",
                         std::to_string(rejected) + " line(s) left out, the first at line " +
                             std::to_string(firstRejected) + ": the index must lie between 0 and 1000.");
  }
}

// ---- synthesising a block ----

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SampleRate = 16000.0;  // per second and channel

// The noise source: a uniform integer 0..1,000,000 per component and sample.
std::mt19937 NoiseEngine{20250};
std::uniform_int_distribution<int32_t> NoiseDraw{0, 1000000};

}  // namespace

void SynthesisePmxBlock(int32_t block) {
  if (block < 0 || block >= link::PmxRingBlocks) return;
  SynthComponentsRecord& s = SynthComponents;
  const int32_t first = block * link::PmxBlockSamples;
  for (int32_t n = 0; n < link::PmxBlockSamples; ++n) {
    double channel[3] = {0.0, 0.0, 0.0};  // by type: [1] voltage, [2] current
    for (int k = 1; k < SynthSlots && s.Type[k] != 0; ++k) {
      const int32_t type = s.Type[k];
      if (type != 1 && type != 2) continue;
      double& value = channel[type];
      const double r = NoiseDraw(NoiseEngine) / 1000000.0 - 0.5;
      value += r * s.Noise[k];
      value += s.Offset[k];
      // The phase advances before the sine is taken; one step of 360 or more is
      // reduced only once.
      double p = s.Frequency[k] * s.Harmonic[k] / SampleRate * 360.0 + s.Phase[k];
      if (p >= 360.0) p -= 360.0;
      s.Phase[k] = p;
      value += std::sin(p * Pi / 180.0) * s.Amplitude[k];
    }
    link::StoreSample(link::PmxVoltageSamples[first + n], channel[1]);
    link::StoreSample(link::PmxCurrentSamples[first + n], channel[2]);
  }
}

}  // namespace zolt::analyser
