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

// Lines of one kind of fault: how many, and the first (numbered from 1).
struct FaultyLines {
  int Count = 0;
  size_t First = 0;
  void Add(size_t line) {
    if (Count++ == 0) First = line;
  }
  // "2 line(s) <what>, the first at line 5"
  std::string Text(const std::string& what) const {
    return std::to_string(Count) + " line(s) " + what + ", the first at line " + std::to_string(First);
  }
};

void LogSynth(const std::string& text) { frame::ReportMessage("Log", "synth.csv", text); }

// Components after the first empty slot are never synthesised: reported with the gap.
void ReportGap() {
  const SynthComponentsRecord& s = SynthComponents;
  int gap = 1;
  while (gap < SynthSlots && s.Type[gap] != 0) ++gap;
  int after = 0, first = 0;
  for (int k = gap + 1; k < SynthSlots; ++k) {
    if (s.Type[k] == 0) continue;
    if (after++ == 0) first = k;
  }
  if (after > 0) {
    LogSynth("no component at index " + std::to_string(gap) + ": the list ends there, and " +
             std::to_string(after) + " component(s) after it, the first at index " + std::to_string(first) +
             ", are not synthesised.");
  }
}

}  // namespace

void LoadSynthCsv() {
  SynthComponents = SynthComponentsRecord{};
  std::vector<std::string> lines;
  if (!platform::ReadTextLines(SynthFile, lines)) {
    platform::ShowMessageBox("Error", "Cannot open 'synth.csv' file to extract data", platform::MessageIcon::None);
    return;
  }
  LoadSynthLines(lines);
}

void LoadSynthLines(const std::vector<std::string>& lines) {
  SynthComponentsRecord& s = SynthComponents;
  s = SynthComponentsRecord{};
  FaultyLines outside, notFinite, indexZero;
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string_view rest = lines[n];
    const std::string_view indexField = NextField(rest);
    const int64_t index = frame::ParseInteger(indexField);
    const int32_t type = ReadInteger(NextField(rest));
    const double frequency = frame::ParseReal(NextField(rest));
    const int32_t harmonic = ReadInteger(NextField(rest));
    const double amplitude = frame::ParseReal(NextField(rest));
    const double phase = frame::ParseReal(NextField(rest));
    const double offset = frame::ParseReal(NextField(rest));
    const double noise = frame::ParseReal(rest);
    // An index with no slot must not land anywhere in the table.
    if (index < 0 || index >= SynthSlots) {
      outside.Add(n + 1);
      continue;
    }
    // A value beyond any number (1e400 reads as infinity), or a phase step that is,
    // would put infinity into every sample and the analysis after it.
    const double step = frequency * harmonic / 16000.0 * 360.0;
    bool finite = std::isfinite(step);
    for (const double value : {frequency, amplitude, phase, offset, noise}) finite = finite && std::isfinite(value);
    if (!finite) {
      notFinite.Add(n + 1);
      continue;
    }
    // Slot 0 is never synthesised: a header line lands there unseen, a component is reported.
    if (index == 0 && frame::BeginsWithNumber(indexField)) indexZero.Add(n + 1);
    s.Type[index] = type;
    s.Frequency[index] = frequency;
    s.Harmonic[index] = harmonic;
    s.Amplitude[index] = amplitude;
    s.Phase[index] = phase;
    s.Offset[index] = offset;
    s.Noise[index] = noise;
  }
  if (outside.Count > 0) {
    frame::ReportMessage("Warning", "synth.csv",
                         outside.Text("left out") + ": the index must lie between 0 and 1000.");
  }
  if (notFinite.Count > 0) LogSynth(notFinite.Text("left out") + ": a value is not a finite number.");
  if (indexZero.Count > 0)
    LogSynth(indexZero.Text("with index 0") + ": slot 0 is never synthesised, components start at index 1.");
  ReportGap();
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
  // Every sample of a synthesised block counts as received; none was converted.
  uint8_t* flags = link::PmxFrameTimes + block * link::PmxFramesPerBlock;
  for (int t = 0; t < link::PmxFramesPerBlock; ++t) link::StoreRingByte(flags[t], link::PmxReceivedFrame);
  link::StoreRingByte(link::PmxBlockConversionKinds[block], link::PmxNoConversion);
}

}  // namespace zolt::analyser
