// The power analyser's wire format: sample frames, read alignment, side channel.
#include "link/pmx_wire.h"

#include <algorithm>

namespace zolt::link {

namespace {

constexpr int PmxWords = 2 * PmxFrameSamples;
constexpr int CheckWords = 8;

// Byte offset of word n's low byte, which carries its flag in bit 0.
constexpr int FlagByte(int word) { return 3 * word + 2; }

}  // namespace

// ---- sample frames ----

int32_t PmxWordSample(uint8_t high, uint8_t middle, uint8_t low) {
  const int32_t raw = (int32_t{high} << 16) | (int32_t{middle} << 8) | (low & 0xFE);
  return raw >= 0x800000 ? raw - 0x1000000 : raw;
}

bool DecodePmxFrame(std::span<const uint8_t> bytes, PmxFrame& frame) {
  if (bytes.size() < PmxFrameBytes) return false;
  const uint8_t* b = bytes.data();
  uint32_t sum = 0;
  for (int i = 0; i < PmxFrameSamples; ++i) {
    const uint8_t* voltage = b + 6 * i;
    const uint8_t* current = voltage + 3;
    frame.Voltage[i] = PmxWordSample(voltage[0], voltage[1], voltage[2]);
    frame.Current[i] = PmxWordSample(current[0], current[1], current[2]);
    sum += voltage[0] + voltage[1] + (voltage[2] & 0xFEu) + current[0] + current[1] +
           (current[2] & 0xFEu);
  }
  uint32_t check = 0;
  for (int word = 0; word < CheckWords; ++word) check |= (b[FlagByte(word)] & 1u) << word;
  frame.CheckByte = static_cast<uint8_t>(check);
  frame.ByteSum = static_cast<uint8_t>(sum & 0xFF);
  frame.SideData = (b[FlagByte(8)] & 1) != 0;
  frame.SideStart = (b[FlagByte(9)] & 1) != 0;
  return true;
}

PmxFrameBytesArray EncodePmxFrame(const int32_t (&voltage)[PmxFrameSamples],
                                  const int32_t (&current)[PmxFrameSamples], bool sideData,
                                  bool sideStart) {
  PmxFrameBytesArray bytes{};
  uint32_t sum = 0;
  for (int word = 0; word < PmxWords; ++word) {
    const int32_t sample = std::clamp((word % 2 == 0 ? voltage : current)[word / 2],
                                      PmxSampleMin, PmxSampleMax);
    const uint32_t raw = static_cast<uint32_t>(sample) & 0xFFFFFEu;
    for (int k = 0; k < 3; ++k) {
      bytes[3 * word + k] = static_cast<uint8_t>(raw >> (8 * (2 - k)));
      sum += bytes[3 * word + k];
    }
  }
  const uint8_t check = static_cast<uint8_t>(sum & 0xFF);
  for (int word = 0; word < CheckWords; ++word) bytes[FlagByte(word)] |= (check >> word) & 1;
  bytes[FlagByte(8)] |= sideData ? 1 : 0;
  bytes[FlagByte(9)] |= sideStart ? 1 : 0;
  return bytes;
}

// ---- alignment on the stream ----

int PmxNextReadBytes(int32_t readSkip) { return readSkip != 0 ? PmxFrameBytes - 1 : PmxFrameBytes; }

PmxReadOutcome TakePmxRead(std::span<const uint8_t> bytes, int32_t& badInARow,
                           int32_t& readSkip, PmxFrame& frame) {
  if (readSkip != 0) {
    // The bytes of a shift hold no whole frame: they are dropped unread.
    readSkip = 0;
    return PmxReadOutcome::Skipped;
  }
  if (DecodePmxFrame(bytes, frame) && frame.Good()) {
    badInARow = 0;
    return PmxReadOutcome::Good;
  }
  if (++badInARow >= 2) {
    badInARow = 0;
    readSkip = 1;
  }
  return PmxReadOutcome::Bad;
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

}  // namespace zolt::link
