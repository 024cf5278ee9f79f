// The power analyser's wire format, as pure functions over bytes: the 30-byte sample
// frame (decoder and encoder), the alignment of reads on the frame stream, and the
// side-channel collector. Nothing here does I/O or touches a global record.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zolt::link {

// ---- sample frames (instrument to host) ----
//
// Ten 24-bit words, most significant byte first: word n (0..9) in bytes 3n .. 3n + 2.
// Even words are voltage samples 0..4, odd words current samples 0..4. Bit 0 of each word
// is a flag, not data:
//   words 0..7  the CheckByte, word 0 = bit 0: the sum of all 30 bytes with the ten flag
//               bits cleared, modulo 256;
//   word 8      the side channel's data bit;
//   word 9      the side channel's start bit.
// A sample is the word with bit 0 cleared, read as 24-bit two's complement, so it is
// always even: 80 00 01 is -8,388,608 and 7F FF FF is 8,388,606.

constexpr int PmxFrameBytes = 30;
constexpr int PmxFrameSamples = 5;  // per channel
constexpr int32_t PmxSampleMin = -8388608;
constexpr int32_t PmxSampleMax = 8388606;

using PmxFrameBytesArray = std::array<uint8_t, PmxFrameBytes>;

struct PmxFrame {
  int32_t Voltage[PmxFrameSamples] = {};
  int32_t Current[PmxFrameSamples] = {};
  uint8_t CheckByte = 0;  // flag bits of words 0..7 as sent
  uint8_t ByteSum = 0;    // sum of the bytes with the flags cleared, modulo 256
  bool SideData = false;
  bool SideStart = false;
  bool Good() const { return CheckByte == ByteSum; }
};

// The sample of one word's three bytes.
int32_t PmxWordSample(uint8_t high, uint8_t middle, uint8_t low);

// Decodes the first 30 bytes; false (frame untouched) when fewer are given.
bool DecodePmxFrame(std::span<const uint8_t> bytes, PmxFrame& frame);

// Builds a good frame. Samples are clamped to PmxSampleMin..PmxSampleMax and bit 0 is
// dropped (they are sent even).
PmxFrameBytesArray EncodePmxFrame(const int32_t (&voltage)[PmxFrameSamples],
                                  const int32_t (&current)[PmxFrameSamples], bool sideData,
                                  bool sideStart);

// ---- alignment on the stream ----
//
// Each read normally takes one frame. A bad frame on an aligned stream costs only itself;
// two bad frames in a row mean the reads have slipped off the frame boundaries, so the
// next read takes 29 bytes and drops them, moving the following reads one byte earlier.
// A good frame ends the row. A byte lost on the link is so recovered after three reads.

enum class PmxReadOutcome { Good, Bad, Skipped };

// Bytes the next read takes: 30, or 29 when a shift is due.
int PmxNextReadBytes(int32_t readSkip);

// Takes the bytes of one read (PmxNextReadBytes long) and updates the row of bad frames
// and the shift. A short read counts as a bad frame. `frame` holds the decoded frame when
// the outcome is Good; otherwise its contents are not to be used.
PmxReadOutcome TakePmxRead(std::span<const uint8_t> bytes, int32_t& badInARow,
                           int32_t& readSkip, PmxFrame& frame);

// ---- side channel ----
//
// One bit per good frame, least significant first: a frame with the start bit begins a
// block of 512 sixteen-bit words, its data bit being bit 0 of word 0. The first complete
// block is kept; nothing is collected after it.

constexpr int PmxSideChannelWords = 512;

struct PmxSideChannel {
  uint16_t Words[PmxSideChannelWords] = {};
  int32_t WordIndex = 0;
  uint16_t Mask = 1;
  bool Collecting = false;
  bool Complete = false;
};

void CollectSideChannelBit(PmxSideChannel& channel, bool start, bool data);

}  // namespace zolt::link
