// The power analyser's wire format: sample frames, read alignment, side channel.
#include "link/pmx_wire.h"

#include <algorithm>
#include <cstring>

namespace zolt::link {

namespace {

constexpr int CheckWords = 8;

// Byte offset of word n's low byte, which carries its flag in bit 0.
constexpr int FlagByte(int word) { return 3 * word + 2; }

}  // namespace

// ---- sample frames ----

int32_t PmxWordSample(uint8_t high, uint8_t middle, uint8_t low) {
  const int32_t raw = (int32_t{high} << 16) | (int32_t{middle} << 8) | (low & 0xFE);
  return raw >= 0x800000 ? raw - 0x1000000 : raw;
}

namespace {

// The decoding of one frame's 30 bytes, inlined where frames are taken so that the path
// of a good frame makes no call.
[[gnu::always_inline]] inline void DecodeFrameBytes(const uint8_t* b, PmxFrame& frame) {
  // One pass over the ten words: samples, the flag-free byte sum, and the flags (bit n
  // from word n).
  uint32_t sum = 0, flags = 0;
#pragma GCC unroll 5
  for (int i = 0; i < PmxFrameSamples; ++i) {
    const uint8_t* voltage = b + 6 * i;
    const uint8_t* current = voltage + 3;
    frame.Voltage[i] = PmxWordSample(voltage[0], voltage[1], voltage[2]);
    frame.Current[i] = PmxWordSample(current[0], current[1], current[2]);
    sum += voltage[0] + voltage[1] + (voltage[2] & 0xFEu) + current[0] + current[1] +
           (current[2] & 0xFEu);
    flags |= ((voltage[2] & 1u) | ((current[2] & 1u) << 1)) << (2 * i);
  }
  frame.CheckByte = static_cast<uint8_t>(flags & 0xFF);
  frame.ByteSum = static_cast<uint8_t>(sum & 0xFF);
  frame.SideData = (flags >> 8 & 1) != 0;
  frame.SideStart = (flags >> 9 & 1) != 0;
}

}  // namespace

bool DecodePmxFrame(std::span<const uint8_t> bytes, PmxFrame& frame) {
  if (bytes.size() < PmxFrameBytes) return false;
  DecodeFrameBytes(bytes.data(), frame);
  return true;
}

PmxFrameBytesArray EncodePmxFrame(const int32_t (&voltage)[PmxFrameSamples],
                                  const int32_t (&current)[PmxFrameSamples], bool sideData,
                                  bool sideStart) {
  PmxFrameBytesArray bytes{};
  uint32_t sum = 0;
  // Word 2i is voltage sample i, word 2i + 1 current sample i.
  for (int i = 0; i < PmxFrameSamples; ++i) {
    const int32_t samples[2] = {voltage[i], current[i]};
    for (int channel = 0; channel < 2; ++channel) {
      const int word = 2 * i + channel;
      const int32_t sample = std::clamp(samples[channel], PmxSampleMin, PmxSampleMax);
      const uint32_t raw = static_cast<uint32_t>(sample) & 0xFFFFFEu;
      for (int k = 0; k < 3; ++k) {
        bytes[3 * word + k] = static_cast<uint8_t>(raw >> (8 * (2 - k)));
        sum += bytes[3 * word + k];
      }
    }
  }
  const uint8_t check = static_cast<uint8_t>(sum & 0xFF);
  for (int word = 0; word < CheckWords; ++word) bytes[FlagByte(word)] |= (check >> word) & 1;
  bytes[FlagByte(8)] |= sideData ? 1 : 0;
  bytes[FlagByte(9)] |= sideStart ? 1 : 0;
  return bytes;
}

// ---- alignment on the stream ----

namespace {

// Keeps the bytes of a bad read as the newest of the bad reads in a row (the oldest
// dropped beyond PmxRecentBytes); the first of a row starts them afresh.
void RememberBadRead(PmxAlignment& a, std::span<const uint8_t> bytes) {
  const int count = static_cast<int>(std::min<size_t>(bytes.size(), PmxFrameBytes));
  const int kept = a.BadInARow == 0 ? 0 : std::min(a.RecentEnd, PmxRecentBytes - count);
  std::memmove(a.Recent, a.Recent + a.RecentEnd - kept, static_cast<size_t>(kept));
  std::memcpy(a.Recent + kept, bytes.data(), static_cast<size_t>(count));
  a.RecentEnd = kept + count;
}

// The bytes the next read must drop to stand on the frames of the stream, when the bad
// reads in a row hold two good frames in a row 1 to 29 bytes beyond where the reads
// stand (the second ending 1 to 29 bytes before the next read); 0 when they hold none.
int FramesAhead(const PmxAlignment& a) {
  const uint8_t* const end = a.Recent + a.RecentEnd;
  for (int skip = 1; skip < PmxFrameBytes; ++skip) {
    const int back = PmxRecentBytes - skip;  // from the first frame's start to the end
    if (back > a.RecentEnd) continue;
    PmxFrame first, second;
    DecodePmxFrame(std::span(end - back, PmxFrameBytes), first);
    DecodePmxFrame(std::span(end - back + PmxFrameBytes, PmxFrameBytes), second);
    if (first.Good() && second.Good()) return skip;
  }
  return 0;
}

// A bad read: kept with the bad reads in a row, and from the third of them on, a shift
// when they show the frames further on. Out of line, so that the path of good frames
// stays as short as it was.
[[gnu::noinline]] PmxReadOutcome TakeBadRead(PmxAlignment& a, std::span<const uint8_t> bytes) {
  RememberBadRead(a, bytes);
  if (!a.InStep()) a.GoodInARow = 0;  // the run back into step starts again
  if (++a.BadInARow < 3) return PmxReadOutcome::Bad;
  const int skip = FramesAhead(a);
  if (skip == 0) return PmxReadOutcome::Bad;
  a.BadInARow = 0;
  a.ReadSkip = skip;
  a.GoodInARow = 0;
  return PmxReadOutcome::Bad;
}

}  // namespace

int PmxNextReadBytes(const PmxAlignment& alignment) {
  return alignment.ReadSkip != 0 ? alignment.ReadSkip : PmxFrameBytes;
}

PmxReadOutcome TakePmxRead(std::span<const uint8_t> bytes, PmxAlignment& alignment,
                           PmxFrame& frame) {
  PmxAlignment& a = alignment;
  if (a.ReadSkip != 0) {
    // The bytes of a shift hold no whole frame: they are dropped unread.
    a.ReadSkip = 0;
    return PmxReadOutcome::Skipped;
  }
  if (bytes.size() >= PmxFrameBytes && (DecodeFrameBytes(bytes.data(), frame), frame.Good())) {
    a.BadInARow = 0;
    if (a.GoodInARow < PmxInStepFrames) ++a.GoodInARow;
    return a.InStep() ? PmxReadOutcome::Good : PmxReadOutcome::OutOfStep;
  }
  return TakeBadRead(a, bytes);
}

// ---- side channel ----

void CollectSideChannelBit(PmxSideChannel& channel, bool start, bool data) {
  if (channel.Complete) return;
  if (start) {
    channel.WordIndex = 0;
    channel.Mask = 1;
    channel.Collecting = true;
  }
  if (!channel.Collecting) return;
  uint16_t& word = channel.Words[channel.WordIndex];
  word = static_cast<uint16_t>(data ? (word | channel.Mask) : (word & ~channel.Mask));
  if (channel.Mask != 0x8000) {
    channel.Mask = static_cast<uint16_t>(channel.Mask << 1);
    return;
  }
  channel.Mask = 1;
  if (++channel.WordIndex == PmxSideChannelWords) {
    channel.WordIndex = 0;
    channel.Collecting = false;
    channel.Complete = true;
  }
}

// ---- blocks of frame-times ----

PmxReadOutcome TakePmxBlockRead(PmxBlockAssembly& block, PmxAlignment& alignment,
                                std::span<const uint8_t> bytes, const PmxConversion& conversion,
                                PmxSideChannel& side) {
  const int time = PmxNextFrameTime(block);
  block.Bytes += static_cast<int32_t>(std::min<size_t>(bytes.size(), PmxFrameBytes));
  const bool afterBad = alignment.BadInARow > 0;
  PmxFrame frame;
  const PmxReadOutcome outcome = TakePmxRead(bytes, alignment, frame);
  if (outcome != PmxReadOutcome::Good || time >= PmxFramesPerBlock) {
    if (outcome == PmxReadOutcome::Skipped) {
      // The reads stand on a frame of the stream again: the bytes taken are put on the
      // nearest frame's start, so that the bytes the slip lost (or the stray ones it
      // brought) count as the time they took, and the frame-times they held as a gap.
      // The frames read while the slip was not yet seen count for nothing.
      const int32_t past = ((block.Bytes % PmxFrameBytes) + PmxFrameBytes) % PmxFrameBytes;
      block.Bytes += past < PmxFrameBytes / 2 ? -past : PmxFrameBytes - past;
      if (block.Unsure >= 0) block.Taken[block.Unsure] = false;
      block.Unsure = block.Held = -1;
    } else if (block.Held >= 0 && ++block.HeldReads >= PmxHeldReads) {
      block.Held = -1;
    }
    if (outcome == PmxReadOutcome::Bad && block.Previous >= 0) block.Unsure = block.Previous;
    block.Previous = -1;
    return outcome;
  }
  if (block.Held >= 0) {
    // Another frame passed soon after the one held: the reads are in step.
    block.Taken[block.Held] = true;
    CollectSideChannelBit(side, block.HeldSide & 1, block.HeldSide & 2);
    block.Held = block.Unsure = -1;
  }
  // Taken into locals: the stores below could otherwise alias the conversion's fields.
  const PmxConversion c = conversion;
  double* voltage = block.Voltage + time * PmxFrameSamples;
  double* current = block.Current + time * PmxFrameSamples;
#pragma GCC unroll 5
  for (int i = 0; i < PmxFrameSamples; ++i) {
    voltage[i] = frame.Voltage[i] * c.VoltageGain + c.VoltageOffset;
    current[i] = frame.Current[i] * c.CurrentGain + c.CurrentOffset;
  }
  if (afterBad && !PmxBlockComplete(block)) {
    block.Held = time;
    block.HeldReads = 0;
    block.HeldSide = static_cast<uint8_t>((frame.SideStart ? 1 : 0) | (frame.SideData ? 2 : 0));
    block.Previous = -1;
    return outcome;
  }
  CollectSideChannelBit(side, frame.SideStart, frame.SideData);
  block.Taken[time] = true;
  block.Previous = time;
  return outcome;
}

namespace {

// Positions first .. end - 1 of one channel, between the taken samples at first - 1 and
// end (either may be outside the block: then the other is held; with neither, 0).
void FillGap(double* samples, int first, int end) {
  const bool before = first > 0, after = end < PmxBlockSamples;
  const double left = before ? samples[first - 1] : (after ? samples[end] : 0.0);
  const double right = after ? samples[end] : left;
  const double span = end - first + 1;
  for (int p = first; p < end; ++p) {
    samples[p] = before && after ? left + (right - left) * ((p - first + 1) / span) : left;
  }
}

}  // namespace

void FillMissingPmxSamples(PmxBlockAssembly& block) {
  const bool* const taken = block.Taken;
  const bool* const end = taken + PmxFramesPerBlock;
  for (const bool* gap = std::find(taken, end, false); gap != end;) {
    const bool* const next = std::find(gap, end, true);
    const int first = static_cast<int>(gap - taken) * PmxFrameSamples;
    const int last = static_cast<int>(next - taken) * PmxFrameSamples;
    FillGap(block.Voltage, first, last);
    FillGap(block.Current, first, last);
    gap = std::find(next, end, false);
  }
}

void StartNextPmxBlock(PmxBlockAssembly& block) {
  block.Bytes -= PmxBlockBytes;
  std::fill(std::begin(block.Taken), std::end(block.Taken), false);
  block.Held = block.Unsure = block.Previous = -1;  // the block's frames are handed over
}

}  // namespace zolt::link
