// Power-analyser simulator, the instrument: converter, calibration, registers, stream.
#include "instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "link/pmx_wire.h"

namespace zolt::pmxsim {

// ---- converter and calibration ----

const double VoltageRanges[RangeCount] = {300.0, 150.0, 80.0, 40.0, 20.0, 10.0};
const double CurrentRanges[RangeCount] = {10.0, 5.0, 2.0, 1.0, 0.5, 0.25};

namespace {

int ClampRange(int range) { return std::clamp(range, 0, RangeCount - 1); }

int32_t Reading(double fraction, double gain, double offsetCounts) {
  const double counts = fraction * CountsAtFullScale * gain + offsetCounts;
  const double even = 2.0 * std::nearbyint(counts / 2.0);
  return static_cast<int32_t>(std::clamp(even, double{link::PmxSampleMin}, double{link::PmxSampleMax}));
}

std::string FormatPoint(double value, const char* unit, int32_t reading) {
  char key[32];
  std::snprintf(key, sizeof key, "%g%s", value, unit);
  char line[96];
  std::snprintf(line, sizeof line, "%s=%.3f%s,%d\r\n", key, value, unit, reading);
  return line;
}

}  // namespace

int32_t VoltageReading(double volts, int range) {
  range = ClampRange(range);
  return Reading(volts / VoltageRanges[range], 1.0 + 0.0005 * (range + 1), 250.0 * (range + 1));
}

int32_t CurrentReading(double amperes, int range) {
  range = ClampRange(range);
  return Reading(amperes / CurrentRanges[range], 1.0 - 0.0004 * (range + 1), -180.0 * (range + 1));
}

std::string DefaultCalibrationFile() {
  std::string file = "01/01/2025 12:00:00\r\n";
  for (int range = 0; range < RangeCount; ++range) {
    const double full = VoltageRanges[range];
    file += FormatPoint(full, "V", VoltageReading(full, range));
    file += FormatPoint(-full, "V", VoltageReading(-full, range));
  }
  for (int range = 0; range < RangeCount; ++range) {
    const double full = CurrentRanges[range];
    file += FormatPoint(full, "A", CurrentReading(full, range));
    file += FormatPoint(-full, "A", CurrentReading(-full, range));
  }
  return file;
}

uint16_t SideChannelWord(int index) {
  return static_cast<uint16_t>((static_cast<uint32_t>(index) * 40503u + 0x2545u) & 0xFFFFu);
}

// ---- registers and packets ----

void TakeHostBytes(Registers& registers, const uint8_t* bytes, size_t count) {
  std::vector<uint8_t>& pending = registers.pending;
  pending.insert(pending.end(), bytes, bytes + count);
  size_t at = 0;
  auto word = [&pending](size_t i) { return (uint32_t{pending[i]} << 8) | pending[i + 1]; };
  while (pending.size() - at >= 8) {
    const uint32_t sum = (0x5555u + word(at) + word(at + 2) + word(at + 4)) & 0xFFFFu;
    if (sum != word(at + 6)) {
      ++registers.badPackets;
      ++at;  // slide on until packets line up again
      continue;
    }
    const uint32_t address = ((pending[at] & 0x7Fu) << 8) | pending[at + 1];
    const uint32_t value = (word(at + 2) << 16) | word(at + 4);
    if ((pending[at] & 0x80) != 0) {
      if (address < RegisterCount) registers.value[address] = value;
      ++registers.writes;
    } else if (address == 0) {
      ++registers.polls;
    }
    at += 8;
  }
  pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
}

bool StreamEnabled(const Registers& registers) { return (registers.value[1] & (1u << 16)) != 0; }
int VoltageRangeIndex(const Registers& registers) {
  return ClampRange(static_cast<int>((registers.value[2] >> 3) & 7));
}
int CurrentRangeIndex(const Registers& registers) {
  return ClampRange(static_cast<int>(registers.value[2] & 7));
}

// ---- the stream ----

std::vector<uint8_t> FrameBytes(uint64_t index, const Options& options, int voltageRange,
                                int currentRange) {
  int32_t voltage[link::PmxFrameSamples];
  int32_t current[link::PmxFrameSamples];
  const double omega = 2.0 * std::numbers::pi * options.frequencyHz;
  const double lag = options.phaseDegrees * std::numbers::pi / 180.0;
  for (int i = 0; i < link::PmxFrameSamples; ++i) {
    const double t = static_cast<double>(index * link::PmxFrameSamples + i) / SamplesPerSecond;
    voltage[i] = VoltageReading(options.voltageOffset + options.voltagePeak * std::sin(omega * t), voltageRange);
    current[i] = CurrentReading(options.currentPeak * std::sin(omega * t - lag), currentRange);
  }
  const int bit = static_cast<int>(index % (link::PmxSideChannelWords * 16));
  const bool data = ((SideChannelWord(bit / 16) >> (bit % 16)) & 1) != 0;
  const link::PmxFrameBytesArray frame = link::EncodePmxFrame(voltage, current, data, bit == 0);
  return std::vector<uint8_t>(frame.begin(), frame.end());
}

void FollowStreamEnable(Stream& stream, const Registers& registers, int64_t nowUs) {
  const bool enabled = StreamEnabled(registers);
  if (enabled && !stream.running) {
    stream.running = true;
    stream.startUs = nowUs;
    stream.framesMade = 0;
  } else if (!enabled) {
    stream.running = false;  // frames already made stay queued
  }
}

size_t QueuedBytes(const Stream& stream) { return stream.queue.size() - stream.head; }

void MakeDueFrames(Stream& stream, const Registers& registers, const Options& options,
                   int64_t nowUs) {
  if (!stream.running) return;
  int64_t elapsedUs = nowUs - stream.startUs;
  if (options.silentAfterMs >= 0) elapsedUs = std::min(elapsedUs, options.silentAfterMs * 1000);
  const uint64_t due = static_cast<uint64_t>(std::max<int64_t>(elapsedUs, 0)) * FramesPerSecond / 1000000;
  if (due <= stream.framesMade) return;
  // A host that falls behind loses the frames that no longer fit, whole.
  const uint64_t room = (QueueLimitBytes - std::min(QueueLimitBytes, QueuedBytes(stream))) /
                        link::PmxFrameBytes;
  if (due - stream.framesMade > room) stream.framesMade = due - room;
  const int voltageRange = VoltageRangeIndex(registers);
  const int currentRange = CurrentRangeIndex(registers);
  for (; stream.framesMade < due; ++stream.framesMade) {
    const uint64_t index = stream.framesMade;
    std::vector<uint8_t> frame = FrameBytes(index, options, voltageRange, currentRange);
    if (options.badEvery > 0 && (index + 1) % static_cast<uint64_t>(options.badEvery) == 0) {
      frame[2] ^= 1;  // the check byte's bit 0 no longer matches the sum
    }
    const uint64_t burstEvery = static_cast<uint64_t>(options.burstEvery);
    if (burstEvery > 0 && index % burstEvery >= burstEvery - static_cast<uint64_t>(options.burstBad)) {
      frame[2] ^= 1;  // a burst: the last burstBad frames of every burstEvery
    }
    const uint64_t dropEvery = static_cast<uint64_t>(options.dropByteEvery);
    if ((options.dropByteAt >= 0 && index == static_cast<uint64_t>(options.dropByteAt)) ||
        (dropEvery > 0 && (index + 1) % dropEvery == 0)) {
      frame.erase(frame.begin() + 7);
    }
    stream.queue.insert(stream.queue.end(), frame.begin(), frame.end());
  }
}

size_t TakeQueuedBytes(Stream& stream, uint8_t* out, size_t count) {
  const size_t taken = std::min(count, QueuedBytes(stream));
  std::copy_n(stream.queue.begin() + static_cast<std::ptrdiff_t>(stream.head), taken, out);
  stream.head += taken;
  if (stream.head == stream.queue.size()) {
    stream.queue.clear();
    stream.head = 0;
  } else if (stream.head > QueueLimitBytes) {
    stream.queue.erase(stream.queue.begin(), stream.queue.begin() + static_cast<std::ptrdiff_t>(stream.head));
    stream.head = 0;
  }
  return taken;
}

}  // namespace zolt::pmxsim
