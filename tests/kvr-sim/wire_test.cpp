// Tests of the curve-tracer simulator's wire format: packets against known bytes, the
// packet reader's recovery from damaged input, and the status frame layout.
#include "wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zolt::kvrsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encoded(bool write, uint16_t address, uint32_t value) {
  auto packet = EncodeRegisterPacket({.write = write, .address = address, .value = value});
  return Bytes(packet.begin(), packet.end());
}

TEST(KvrSimPackets, EncodeToTheBytesTheHostSends) {
  EXPECT_EQ(Encoded(false, 0, 0), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55, 0x55}));
  EXPECT_EQ(Encoded(true, 2, 100), (Bytes{0x80, 0x02, 0x00, 0x00, 0x00, 0x64, 0xD5, 0xBB}));
  EXPECT_EQ(Encoded(true, 2, 469), (Bytes{0x80, 0x02, 0x00, 0x00, 0x01, 0xD5, 0xD7, 0x2C}));
  EXPECT_EQ(Encoded(true, 1, 0x10000), (Bytes{0x80, 0x01, 0x00, 0x01, 0x00, 0x00, 0xD5, 0x57}));
  EXPECT_EQ(Encoded(true, 16, 0xFFD4), (Bytes{0x80, 0x10, 0x00, 0x00, 0xFF, 0xD4, 0xD5, 0x39}));
  EXPECT_EQ(Encoded(true, 30, 0xAA55), (Bytes{0x80, 0x1E, 0x00, 0x00, 0xAA, 0x55, 0x7F, 0xC8}));
  EXPECT_EQ(Encoded(true, 12, 4294966295u), (Bytes{0x80, 0x0C, 0xFF, 0xFF, 0xFC, 0x17, 0xD1, 0x77}));
}

// Three writes and a poll, as one stream.
Bytes SampleStream() {
  Bytes stream;
  for (Bytes part : {Encoded(true, 2, 469), Encoded(true, 12, 4294966295u), Encoded(false, 0, 0),
                     Encoded(true, 1, 0x10004)}) {
    stream.insert(stream.end(), part.begin(), part.end());
  }
  return stream;
}

std::vector<RegisterPacket> Feed(PacketReader& reader, const Bytes& bytes) {
  std::vector<RegisterPacket> out;
  FeedPacketBytes(reader, bytes.data(), bytes.size(), out);
  return out;
}

TEST(KvrSimPacketReader, ReadsPacketsSplitAcrossReads) {
  Bytes stream = SampleStream();
  PacketReader reader;
  std::vector<RegisterPacket> packets;
  for (size_t at = 0; at < stream.size(); at += 5) {
    size_t count = std::min<size_t>(5, stream.size() - at);
    FeedPacketBytes(reader, stream.data() + at, count, packets);
  }
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_TRUE(packets[0].write);
  EXPECT_EQ(packets[0].address, 2);
  EXPECT_EQ(packets[0].value, 469u);
  EXPECT_EQ(packets[1].value, 4294966295u);
  EXPECT_FALSE(packets[2].write);
  EXPECT_EQ(packets[2].address, 0);
  EXPECT_EQ(packets[3].value, 0x10004u);
  EXPECT_EQ(reader.badPackets, 0u);
}

TEST(KvrSimPacketReader, DropsAPacketWithABadChecksumAndKeepsTheRest) {
  Bytes stream = SampleStream();
  stream[8 + 5] ^= 0x01;  // second packet's value
  PacketReader reader;
  std::vector<RegisterPacket> packets = Feed(reader, stream);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0].address, 2);
  EXPECT_FALSE(packets[1].write);
  EXPECT_EQ(packets[2].address, 1);
  EXPECT_EQ(reader.badPackets, 1u);
}

TEST(KvrSimPacketReader, RealignsAfterALostByte) {
  Bytes stream = SampleStream();
  stream.erase(stream.begin() + 3);  // inside the first packet
  PacketReader reader;
  std::vector<RegisterPacket> packets = Feed(reader, stream);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0].address, 12);
  EXPECT_EQ(packets[2].value, 0x10004u);
  EXPECT_EQ(reader.badPackets, 1u);
}

TEST(KvrSimPacketReader, SkipsStrayBytesBeforeAPacket) {
  Bytes stream = SampleStream();
  stream.insert(stream.begin(), {0x13, 0x37, 0x00});
  PacketReader reader;
  EXPECT_EQ(Feed(reader, stream).size(), 4u);
  EXPECT_EQ(reader.skippedBytes, 3u);
}

TEST(KvrSimPacketReader, ForgetsAPartialPacketAfterAPause) {
  Bytes stream = SampleStream();
  PacketReader reader;
  Feed(reader, Bytes(stream.begin(), stream.begin() + 5));  // the rest never comes
  DropPartialPacket(reader);
  std::vector<RegisterPacket> packets = Feed(reader, Bytes(stream.begin() + 8, stream.end()));
  EXPECT_EQ(packets.size(), 3u);
  EXPECT_EQ(reader.badPackets, 1u);
}

// The packet log sees every packet in order, a damaged one once however many slides it
// takes, and a partial one dropped after a pause.
TEST(KvrSimPacketReader, RecordsGoodAndBadPacketsForTheLog) {
  Bytes stream = SampleStream();
  stream[8 + 5] ^= 0x01;  // second packet's value
  stream.insert(stream.end(), {0x80, 0x01, 0x00});
  PacketReader reader;
  std::vector<RegisterPacket> packets;
  std::vector<ReceivedPacket> received;
  FeedPacketBytes(reader, stream.data(), stream.size(), packets, &received);
  DropPartialPacket(reader, &received);

  std::vector<std::string> lines;
  for (const ReceivedPacket& r : received) lines.push_back(PacketLogLine(1.5, r));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "1.500 write 2 469 good",
                       "1.500 write 12 4294966294 bad 80 0c ff ff fc 16 d1 77",
                       "1.500 request 0 0 good",
                       "1.500 write 1 65540 good",
                       "1.500 write 1 0 bad 80 01 00",
                   }));
  EXPECT_EQ(packets.size(), 3u);
  EXPECT_EQ(reader.badPackets, 2u);
}

TEST(KvrSimStatusFrame, LaysOutFieldsBigEndianWithTheChecksumLast) {
  StatusFrame frame{.statusWord = 0x8026,
                    .calibrationWord = 0x0D39,
                    .collectorCurrentSum = 0x01020304,
                    .collectorVoltageSum = -2,
                    .resistorVoltageSum = 0,
                    .baseVoltageSum = 0x7FFFFFFF};
  auto bytes = EncodeStatusFrame(frame);
  Bytes expected = {0x80, 0x26, 0x0D, 0x39, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE,
                    0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // 0x5555 + 8026 + 0D39 + 0102 + 0304 + FFFF + FFFE + 7FFF + FFFF, modulo 65536.
  expected.push_back(0x66);
  expected.push_back(0xB5);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);

  StatusFrame back;
  ASSERT_TRUE(DecodeStatusFrame(bytes.data(), back));
  EXPECT_EQ(back.collectorVoltageSum, -2);
  EXPECT_EQ(back.baseVoltageSum, 0x7FFFFFFF);
  bytes[20] = 1;  // an unused byte still counts in the checksum
  EXPECT_FALSE(DecodeStatusFrame(bytes.data(), back));
}

}  // namespace
}  // namespace zolt::kvrsim
