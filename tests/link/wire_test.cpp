// The wire format: register packets, the checksum, byte readers and status frames.
#include <gtest/gtest.h>

#include <vector>

#include "link/wire.h"

namespace zolt::link {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Packet(int32_t address, int64_t value, bool write = true) {
  const RegisterPacket p = BuildRegisterPacket(address, value, write);
  return Bytes(p.begin(), p.end());
}

TEST(RegisterPacketTest, WorkedExamples) {
  EXPECT_EQ(Packet(0, 0, false), Bytes({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55, 0x55}));
  EXPECT_EQ(Packet(2, 100), Bytes({0x80, 0x02, 0x00, 0x00, 0x00, 0x64, 0xD5, 0xBB}));
  EXPECT_EQ(Packet(2, 469), Bytes({0x80, 0x02, 0x00, 0x00, 0x01, 0xD5, 0xD7, 0x2C}));
  EXPECT_EQ(Packet(1, 0x10000), Bytes({0x80, 0x01, 0x00, 0x01, 0x00, 0x00, 0xD5, 0x57}));
  EXPECT_EQ(Packet(16, -300), Bytes({0x80, 0x10, 0x00, 0x00, 0xFF, 0xD4, 0xD5, 0x39}));
  EXPECT_EQ(Packet(16, -1), Bytes({0x80, 0x10, 0x00, 0x00, 0x00, 0xFF, 0xD6, 0x64}));
  EXPECT_EQ(Packet(30, 0xAA55), Bytes({0x80, 0x1E, 0x00, 0x00, 0xAA, 0x55, 0x7F, 0xC8}));
  EXPECT_EQ(Packet(12, 4294967295LL - 1000),
            Bytes({0x80, 0x0C, 0xFF, 0xFF, 0xFC, 0x17, 0xD1, 0x77}));
  const Bytes poll(PollRequest.begin(), PollRequest.end());
  EXPECT_EQ(poll, Packet(0, 0, false));
}

TEST(RegisterPacketTest, ValueBytesTakeTheLow32BitsByTruncatingDivision) {
  // One more than 2^32 goes out as 1.
  const Bytes big = Packet(5, 4294967297LL);
  EXPECT_EQ(Bytes(big.begin() + 2, big.begin() + 6), Bytes({0x00, 0x00, 0x00, 0x01}));
  // -70000: the quotients by 1, 256, 65536 and 2^24 are -70000, -273, -1 and 0.
  const Bytes negative = Packet(5, -70000);
  EXPECT_EQ(Bytes(negative.begin() + 2, negative.begin() + 6), Bytes({0x00, 0xFF, 0xEF, 0x90}));
  // The extremes do not overflow.
  const Bytes lowest = Packet(5, INT64_MIN);
  EXPECT_EQ(Bytes(lowest.begin() + 2, lowest.begin() + 6), Bytes({0x00, 0x00, 0x00, 0x00}));
}

TEST(RegisterPacketTest, AddressBit15IsTheWriteFlag) {
  EXPECT_EQ(Packet(0x1234, 0)[0], 0x92);
  EXPECT_EQ(Packet(0x1234, 0, false)[0], 0x12);
  EXPECT_EQ(Packet(0x8001, 0, false)[0], 0x00);  // address bit 15 is not sent
  EXPECT_EQ(Packet(0x8001, 0, false)[1], 0x01);
}

TEST(ChecksumTest, SumsBigEndianWordsPlusSeedModulo65536) {
  EXPECT_EQ(PacketChecksum({}), 0x5555);
  const Bytes words = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01};
  EXPECT_EQ(PacketChecksum(words), static_cast<uint16_t>(0xFFFF + 0xFFFF + 1 + 0x5555));
  const Bytes odd = {0x00, 0x01, 0x7F};  // the odd byte is left out
  EXPECT_EQ(PacketChecksum(odd), 0x5556);
}

TEST(ByteReaderTest, ReadsBigEndianWithinBoundsOnly) {
  const Bytes bytes = {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFE};
  uint16_t word = 7;
  EXPECT_TRUE(ReadU16Be(bytes, 0, word));
  EXPECT_EQ(word, 0x1234);
  EXPECT_TRUE(ReadU16Be(bytes, 4, word));
  EXPECT_EQ(word, 0xFFFE);
  EXPECT_FALSE(ReadU16Be(bytes, 5, word));
  EXPECT_FALSE(ReadU16Be(bytes, SIZE_MAX, word));
  EXPECT_EQ(word, 0xFFFE);  // untouched by a failed read
  int32_t value = 7;
  EXPECT_TRUE(ReadI32Be(bytes, 2, value));
  EXPECT_EQ(value, -2);
  EXPECT_FALSE(ReadI32Be(bytes, 3, value));
  EXPECT_EQ(value, -2);
}

// A status frame with the given fields and a correct checksum.
Bytes Frame(uint16_t status, uint16_t cal, int32_t ic, int32_t vc, int32_t vr, int32_t vb) {
  Bytes b(32, 0);
  auto put16 = [&](int at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
  };
  auto put32 = [&](int at, int32_t v) {
    put16(at, static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16));
    put16(at + 2, static_cast<uint16_t>(v));
  };
  put16(0, status);
  put16(2, cal);
  put32(4, ic);
  put32(8, vc);
  put32(12, vr);
  put32(16, vb);
  b[25] = 0xAB;  // unused bytes still count in the checksum
  put16(30, PacketChecksum(std::span<const uint8_t>(b.data(), 30)));
  return b;
}

TEST(StatusFrameTest, DecodesEveryField) {
  const Bytes bytes = Frame(0x8000 | 0x0100 | (9 << 4) | 0x4 | 2, 0x3132, -5, 123456, -7, 65536);
  ASSERT_TRUE(StatusFrameChecksumHolds(bytes));
  StatusFrame frame;
  ASSERT_TRUE(DecodeStatusFrame(bytes, frame));
  EXPECT_EQ(frame.StatusWord, 0x8196);
  EXPECT_EQ(RunStateBits(frame.StatusWord), 2);
  EXPECT_EQ(StopCodeBits(frame.StatusWord), 9);
  EXPECT_TRUE(frame.StatusWord & HighVoltageOnBit);
  EXPECT_TRUE(frame.StatusWord & CalibrationMarkerBit);
  EXPECT_EQ(frame.CalibrationWord, 0x3132);
  EXPECT_EQ(frame.CollectorCurrent, -5);
  EXPECT_EQ(frame.CollectorVoltage, 123456);
  EXPECT_EQ(frame.ResistorVoltage, -7);
  EXPECT_EQ(frame.BaseGateVoltage, 65536);
}

TEST(StatusFrameTest, ChecksumAndLengthAreChecked) {
  Bytes bytes = Frame(1, 0, 0, 0, 0, 0);
  EXPECT_TRUE(StatusFrameChecksumHolds(bytes));
  bytes[20] ^= 0x01;  // a flipped bit in the unused bytes
  EXPECT_FALSE(StatusFrameChecksumHolds(bytes));
  const Bytes full = Frame(1, 0, 0, 0, 0, 0);
  const Bytes shortFrame(full.begin(), full.begin() + 31);
  EXPECT_FALSE(StatusFrameChecksumHolds(shortFrame));
  StatusFrame frame;
  frame.StatusWord = 77;
  EXPECT_FALSE(DecodeStatusFrame(shortFrame, frame));
  EXPECT_EQ(frame.StatusWord, 77);
  // Extra bytes after the frame are not part of it.
  Bytes longer = Frame(2, 0, 0, 0, 0, 0);
  longer.push_back(0x99);
  EXPECT_TRUE(StatusFrameChecksumHolds(longer));
}

}  // namespace
}  // namespace zolt::link
