// The power analyser's wire format, as pure functions over bytes: the 30-byte sample
// frame (decoder and encoder), the alignment of reads on the frame stream, the
// side-channel collector, and the assembly of a block of 320 frame-times. Nothing here
// does I/O or touches a global record.
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
// Each read normally takes one frame. A bad frame costs only itself, and so does a burst
// of them: the reads leave their place only on evidence that the stream has slipped (a
// byte lost on the link, or a stray one). From the third bad frame in a row on, the last
// three bad reads are searched for two good frames in a row that begin 1 to 29 bytes
// later than the reads do; when there are such, the next read takes the bytes up to the
// next of those frames and drops them, so that the reads go on in step with them. A
// burst of bad frames in step shows no such frames and moves nothing; a byte lost is so
// recovered after three reads and a shift.
//
// After a shift the stream is out of step: a frame that passes its check then may be a
// misaligned read that passed by chance (one in 256 does), so it gives nothing. The
// stream is back in step after PmxInStepFrames good frames in a row, the last of which is
// the first to count again. A single bad frame does not take the stream out of step.

enum class PmxReadOutcome {
  Good,       // a good frame in step: its samples count
  OutOfStep,  // passed its check, but the stream is not yet back in step
  Bad,
  Skipped     // the bytes of a shift
};

constexpr int PmxInStepFrames = 2;
constexpr int PmxRecentBytes = 3 * PmxFrameBytes;  // the bytes of the last three bad reads

struct PmxAlignment {
  int32_t BadInARow = 0;                  // bad frames in a row
  int32_t ReadSkip = 0;                   // bytes the next read takes and drops (0: a frame)
  int32_t GoodInARow = PmxInStepFrames;   // good frames in a row since the last shift
  uint8_t Recent[PmxRecentBytes] = {};    // the bad reads in a row, oldest first, up to RecentEnd
  int32_t RecentEnd = 0;
  bool InStep() const { return GoodInARow >= PmxInStepFrames; }
};

// Bytes the next read takes: 30, or those of a shift.
int PmxNextReadBytes(const PmxAlignment& alignment);

// Takes the bytes of one read (PmxNextReadBytes long) and updates the alignment. A short
// read counts as a bad frame. `frame` holds the decoded frame when the outcome is Good or
// OutOfStep; otherwise its contents are not to be used.
PmxReadOutcome TakePmxRead(std::span<const uint8_t> bytes, PmxAlignment& alignment,
                           PmxFrame& frame);

// ---- side channel ----
//
// One bit per good frame in step, least significant first: a frame with the start bit begins a
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

// ---- blocks of frame-times ----
//
// A block spans 320 frame-times of the stream, 9,600 bytes, whatever came in them, so that
// its 1,600 sample positions are always 1,600 sample-times. A read stands at the
// frame-time its first byte falls in, rounded to the nearest; after a shift, which puts
// the reads on a frame of the stream again, the bytes taken are put on the nearest
// frame's start, so the bytes a slip lost or brought move no frame, however many slips
// there are. The block is complete once the next read would stand at frame-time 320;
// bytes a read took beyond that belong to the next block. Frames in step place their
// samples at their frame-time; every other frame-time's five positions are filled from
// the block's own samples when it is complete. Which frame-times were received goes on
// with the block (PmxFrameTimeFlags).

constexpr int PmxFramesPerBlock = 320;
constexpr int PmxBlockSamples = PmxFramesPerBlock * PmxFrameSamples;  // 1,600
constexpr int PmxBlockBytes = PmxFramesPerBlock * PmxFrameBytes;      // 9,600

// Readings to volts and amperes: reading x gain + offset.
struct PmxConversion {
  double VoltageGain = 1.0, VoltageOffset = 0.0;
  double CurrentGain = 1.0, CurrentOffset = 0.0;
};

// What a frame-time holds beyond its samples: PmxReceivedFrame when its five samples
// were received, 0 when they were filled in.
constexpr uint8_t PmxReceivedFrame = 1;
// A reading this close to PmxSampleMin or PmxSampleMax is at the largest a frame can
// carry: the converter clips there.
constexpr int32_t PmxLimitCounts = 2;

// A read that a slip not yet seen has put out of step may pass its check by chance (one
// in 256 does). So a frame that passes right after a bad read is held, and counts only
// when another passes within the PmxHeldReads reads after it (two such reads passing so
// is one chance in 30,000); and a frame whose next read is bad counts no more when a
// shift follows before another frame has passed, as the slip may lie in it. A block's
// last frame counts as it comes.
constexpr int PmxHeldReads = 2;

struct PmxBlockAssembly {
  int32_t Bytes = 0;  // stream bytes taken since the block began
  bool Taken[PmxFramesPerBlock] = {};  // frame-times whose samples are in
  int32_t Previous = -1;  // frame-time taken by the last read; -1: none
  int32_t Unsure = -1;    // frame-time taken whose next read was bad; -1: none
  int32_t Held = -1;      // frame-time of the frame held; -1: none
  int32_t HeldReads = 0;  // reads since, none of which passed
  uint8_t HeldSide = 0;   // its side-channel start (bit 0) and data (bit 1) bits
  double Voltage[PmxBlockSamples] = {};
  double Current[PmxBlockSamples] = {};
};

// The frame-time (0..320) the next read stands at. Bytes carried into a block lie within
// half a frame of its start, so it is never below 0; held within bounds all the same.
inline int PmxNextFrameTime(const PmxBlockAssembly& block) {
  const int time = (block.Bytes + PmxFrameBytes / 2) / PmxFrameBytes;
  return time < 0 ? 0 : (time > PmxFramesPerBlock ? PmxFramesPerBlock : time);
}
inline bool PmxBlockComplete(const PmxBlockAssembly& block) {
  return PmxNextFrameTime(block) >= PmxFramesPerBlock;
}

// Takes one read into an incomplete block: aligns it (TakePmxRead), counts its bytes and,
// for a good frame in step, places its converted samples and hands its side-channel bit on
// (for one held, once it counts).
PmxReadOutcome TakePmxBlockRead(PmxBlockAssembly& block, PmxAlignment& alignment,
                                std::span<const uint8_t> bytes, const PmxConversion& conversion,
                                PmxSideChannel& side);

// Fills the five positions of every frame-time not taken from the block's own samples: a
// gap between taken frame-times by the straight line between the samples on either side,
// a gap at either end by the nearest sample, a block with none by 0. So a filled sample
// never lies outside the samples received, and never comes from another block.
void FillMissingPmxSamples(PmxBlockAssembly& block);

// The flags of frame-time 0..319 of a complete block.
inline uint8_t PmxFrameTimeFlags(const PmxBlockAssembly& block, int time) {
  return block.Taken[time] ? PmxReceivedFrame : 0;
}

// Begins the next block after a complete one, with the bytes taken beyond its end.
void StartNextPmxBlock(PmxBlockAssembly& block);

}  // namespace zolt::link
