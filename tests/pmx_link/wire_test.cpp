// The power analyser's sample frames: words and flags, the check byte, the side channel,
// and how reads find the frames again after bad frames and a lost byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/pmx_wire.h"

namespace zolt::link {
namespace {

// Bytes 0-2 80 00 01 (flag 1), 3-5 7F FF FF (flag 1), 7 = 07, 26 = 01 (side data): the
// flag-free bytes sum to 0x303, so the check bits of words 0 and 1 are the ones set.
std::vector<uint8_t> HandBuiltFrame() {
  std::vector<uint8_t> bytes(PmxFrameBytes, 0);
  bytes[0] = 0x80, bytes[2] = 0x01;
  bytes[3] = 0x7F, bytes[4] = 0xFF, bytes[5] = 0xFF;
  bytes[7] = 0x07;
  bytes[26] = 0x01;
  return bytes;
}

TEST(PmxFrameTest, WordsFlagsAndCheckByte) {
  PmxFrame frame;
  ASSERT_TRUE(DecodePmxFrame(HandBuiltFrame(), frame));
  EXPECT_TRUE(frame.Good());
  EXPECT_EQ(frame.Voltage[0], -8388608);
  EXPECT_EQ(frame.Current[0], 8388606);
  EXPECT_EQ(frame.Voltage[1], 0x700);
  EXPECT_TRUE(frame.SideData);
  EXPECT_FALSE(frame.SideStart);

  const int32_t voltage[5] = {-8388608, 0x700, 0, 0, 0};
  const int32_t current[5] = {8388606, 0, 0, 0, 0};
  const PmxFrameBytesArray encoded = EncodePmxFrame(voltage, current, true, false);
  EXPECT_EQ(std::vector<uint8_t>(encoded.begin(), encoded.end()), HandBuiltFrame());

  // The check covers the data bytes and the eight check flags, not the side channel.
  const struct { int byte; uint8_t flip; bool good; } damage[] = {
      {2, 0x01, false}, {23, 0x01, false}, {4, 0x10, false}, {29, 0x80, false},
      {26, 0x01, true}, {29, 0x01, true}};
  for (const auto& d : damage) {
    std::vector<uint8_t> bytes = HandBuiltFrame();
    bytes[d.byte] ^= d.flip;
    ASSERT_TRUE(DecodePmxFrame(bytes, frame));
    EXPECT_EQ(frame.Good(), d.good) << "byte " << d.byte;
  }
  const std::vector<uint8_t> bytes = HandBuiltFrame();
  EXPECT_FALSE(DecodePmxFrame(std::span(bytes).first(29), frame));
}

// A stream of numbered frames (voltage sample 0 = 2 x number), with faults.
std::vector<uint8_t> Stream(int frames, int badEvery, int dropAt) {
  std::vector<uint8_t> stream;
  for (int k = 0; k < frames; ++k) {
    const int32_t voltage[5] = {2 * k, 0, 0, 0, 0};
    const int32_t current[5] = {};
    PmxFrameBytesArray frame = EncodePmxFrame(voltage, current, false, false);
    if (badEvery > 0 && (k + 1) % badEvery == 0) frame[2] ^= 1;
    stream.insert(stream.end(), frame.begin(), frame.end());
    if (k == dropAt) stream.erase(stream.end() - 20);
  }
  return stream;
}

// The numbers of the frames that come through, read as the comms thread reads.
std::vector<int> Received(const std::vector<uint8_t>& stream) {
  std::vector<int> numbers;
  PmxAlignment alignment;
  for (size_t at = 0;;) {
    const size_t want = static_cast<size_t>(PmxNextReadBytes(alignment));
    if (at + want > stream.size()) break;
    PmxFrame frame;
    if (TakePmxRead(std::span(stream).subspan(at, want), alignment, frame) ==
        PmxReadOutcome::Good) {
      numbers.push_back(frame.Voltage[0] / 2);
    }
    at += want;
  }
  return numbers;
}

TEST(PmxFrameTest, BadFramesCostOnlyThemselvesAndALostByteIsFoundAgain) {
  const struct { int badEvery, dropAt, lost; } cases[] = {
      {50, -1, 20},  // 1000 frames, every 50th bad: only those 20 are lost
      {2, -1, 500},  // every other frame bad: never two in a row, no shift
      {0, 100, 5},   // a byte lost in frame 100: 101 and 102 show it, 103 is dropped, 104 brings it in step
      {7, 300, 142 + 4},  // the byte lost in bad frame 300 costs 301 to 304 as well
  };
  for (const auto& c : cases) {
    const std::vector<int> numbers = Received(Stream(1000, c.badEvery, c.dropAt));
    EXPECT_EQ(static_cast<int>(numbers.size()), 1000 - c.lost) << c.badEvery << "/" << c.dropAt;
    for (size_t i = 1; i < numbers.size(); ++i) EXPECT_GT(numbers[i], numbers[i - 1]);
    if (c.dropAt >= 0) {
      EXPECT_EQ(numbers.back(), c.badEvery > 0 && 1000 % c.badEvery == 0 ? 998 : 999);
    }
  }
}

// Blocks assembled from a stream whose voltage runs up two counts a sample-time: each
// block holds 1,600 sample-times whichever frames were bad or lost to a shift, however
// many bytes were lost (one in every dropEvery-th frame; with every 44th, reads out of
// step pass their check by chance), a gap inside a block is filled on the ramp, and a gap
// at either end of a block holds that block's nearest sample (block 1 below begins and
// ends with a bad frame). A block with no good frame reads 0.
TEST(PmxFrameTest, ABlockAlwaysSpans320FrameTimes) {
  const struct {
    int badEvery;
    std::vector<int> bad;
    int dropEvery;
  } cases[] = {{7, {}, 0}, {0, {}, 100}, {0, {318, 320, 639}, 0}, {0, {}, 44}};
  static PmxBlockAssembly block;  // static: it is large
  for (const auto& c : cases) {
    std::vector<uint8_t> stream;
    for (int k = 0; k < 3 * PmxFramesPerBlock; ++k) {
      int32_t voltage[5], current[5] = {};
      for (int i = 0; i < 5; ++i) voltage[i] = 2 * (5 * k + i);
      PmxFrameBytesArray frame = EncodePmxFrame(voltage, current, false, false);
      const bool bad = (c.badEvery > 0 && (k + 1) % c.badEvery == 0) ||
                       std::find(c.bad.begin(), c.bad.end(), k) != c.bad.end();
      if (bad) frame[2] ^= 1;
      stream.insert(stream.end(), frame.begin(), frame.end());
      if (c.dropEvery > 0 && (k + 1) % c.dropEvery == 0) stream.erase(stream.end() - 20);
    }
    block = {};
    PmxAlignment alignment;
    PmxSideChannel side;
    int complete = 0;
    for (size_t at = 0; at + PmxNextReadBytes(alignment) <= stream.size();) {
      const size_t want = static_cast<size_t>(PmxNextReadBytes(alignment));
      TakePmxBlockRead(block, alignment, std::span(stream).subspan(at, want), {}, side);
      at += want;
      if (!PmxBlockComplete(block)) continue;
      FillMissingPmxSamples(block);
      const int first = std::count(c.bad.begin(), c.bad.end(), 320 * complete) ? 5 : 0;
      const int last = std::count(c.bad.begin(), c.bad.end(), 320 * complete + 319) ? 1594 : 1599;
      for (int p = 0; p < PmxBlockSamples; ++p) {
        const double ramp = 2.0 * (PmxBlockSamples * complete + std::clamp(p, first, last));
        ASSERT_EQ(block.Voltage[p], ramp) << c.badEvery << "/" << c.dropEvery << " block " << complete << " @" << p;
      }
      StartNextPmxBlock(block);
      ++complete;
    }
    EXPECT_EQ(complete, 3);
  }
  block = {};
  block.Voltage[7] = 5.0;  // left from an earlier block
  FillMissingPmxSamples(block);
  EXPECT_EQ(block.Voltage[7], 0.0);
}

TEST(PmxFrameTest, SideChannelKeepsTheFirstWholeBlock) {
  std::vector<uint16_t> words(PmxSideChannelWords);
  for (int i = 0; i < PmxSideChannelWords; ++i) words[i] = static_cast<uint16_t>(i * 0x0101 + 7);
  PmxSideChannel channel;
  CollectSideChannelBit(channel, false, true);  // before any start: ignored
  CollectSideChannelBit(channel, true, true);   // a start cut short by another
  CollectSideChannelBit(channel, false, false);
  for (int bit = 0; bit < PmxSideChannelWords * 16; ++bit) {
    CollectSideChannelBit(channel, bit == 0, ((words[bit / 16] >> (bit % 16)) & 1) != 0);
  }
  ASSERT_TRUE(channel.Complete);
  EXPECT_EQ(std::vector<uint16_t>(channel.Words, channel.Words + PmxSideChannelWords), words);
  CollectSideChannelBit(channel, true, false);  // a later block changes nothing
  EXPECT_EQ(channel.Words[0], words[0]);
}

}  // namespace
}  // namespace zolt::link
