// Curve-tracer simulator, wire format: checksum, register packets, status frames.
#include "wire.h"

#include <algorithm>
#include <cstdio>

namespace zolt::kvrsim {

namespace {

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

uint32_t GetU32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

// ---- checksum ----

uint16_t LinkChecksum(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0x5555;
  for (size_t i = 0; i + 1 < count; i += 2) sum += GetU16(bytes + i);
  return static_cast<uint16_t>(sum);
}

// ---- register packets ----

std::array<uint8_t, PacketBytes> EncodeRegisterPacket(const RegisterPacket& packet) {
  std::array<uint8_t, PacketBytes> bytes{};
  PutU16(bytes.data(), packet.address & 0x7FFF);
  if (packet.write) bytes[0] |= WriteFlag;
  PutU32(bytes.data() + 2, packet.value);
  PutU16(bytes.data() + 6, LinkChecksum(bytes.data(), 6));
  return bytes;
}

namespace {

bool HeldPacketIsGood(const PacketReader& reader) {
  return LinkChecksum(reader.held.data(), 6) == GetU16(reader.held.data() + 6);
}

// The held bytes read as a packet; missing bytes of a partial packet read as 0.
RegisterPacket HeldPacket(const PacketReader& reader) {
  std::array<uint8_t, PacketBytes> bytes{};
  std::copy_n(reader.held.begin(), reader.heldCount, bytes.begin());
  RegisterPacket packet;
  packet.write = (bytes[0] & WriteFlag) != 0;
  packet.address = static_cast<uint16_t>(GetU16(bytes.data()) & 0x7FFF);
  packet.value = GetU32(bytes.data() + 2);
  return packet;
}

void Record(const PacketReader& reader, bool good, std::vector<ReceivedPacket>* received) {
  if (received == nullptr) return;
  ReceivedPacket entry{.packet = HeldPacket(reader), .good = good};
  entry.byteCount = reader.heldCount;
  std::copy_n(reader.held.begin(), reader.heldCount, entry.bytes.begin());
  received->push_back(entry);
}

}  // namespace

void FeedPacketBytes(PacketReader& reader, const uint8_t* bytes, size_t count,
                     std::vector<RegisterPacket>& out, std::vector<ReceivedPacket>* received) {
  for (size_t i = 0; i < count; ++i) {
    reader.held[reader.heldCount++] = bytes[i];
    if (reader.heldCount < PacketBytes) continue;
    if (HeldPacketIsGood(reader)) {
      out.push_back(HeldPacket(reader));
      Record(reader, true, received);
      reader.heldCount = 0;
      reader.slipping = false;
      ++reader.goodPackets;
      continue;
    }
    if (!reader.slipping) {
      ++reader.badPackets;
      Record(reader, false, received);
    }
    reader.slipping = true;
    std::copy(reader.held.begin() + 1, reader.held.end(), reader.held.begin());
    reader.heldCount = PacketBytes - 1;
    ++reader.skippedBytes;
  }
}

void DropPartialPacket(PacketReader& reader, std::vector<ReceivedPacket>* received) {
  if (reader.heldCount == 0) return;
  if (!reader.slipping) {
    ++reader.badPackets;
    Record(reader, false, received);
  }
  reader.skippedBytes += reader.heldCount;
  reader.heldCount = 0;
  reader.slipping = false;
}

// ---- the packet log line ----

std::string PacketLogLine(double seconds, const ReceivedPacket& received) {
  char line[128];
  std::snprintf(line, sizeof line, "%.3f %s %u %lu %s", seconds,
                received.packet.write ? "write" : "request", unsigned{received.packet.address},
                static_cast<unsigned long>(received.packet.value), received.good ? "good" : "bad");
  std::string text = line;
  if (!received.good) {
    for (size_t i = 0; i < received.byteCount; ++i) {
      std::snprintf(line, sizeof line, " %02x", unsigned{received.bytes[i]});
      text += line;
    }
  }
  return text;
}

// ---- status frames ----

std::array<uint8_t, FrameBytes> EncodeStatusFrame(const StatusFrame& frame) {
  std::array<uint8_t, FrameBytes> bytes{};
  PutU16(bytes.data() + 0, frame.statusWord);
  PutU16(bytes.data() + 2, frame.calibrationWord);
  PutU32(bytes.data() + 4, static_cast<uint32_t>(frame.collectorCurrentSum));
  PutU32(bytes.data() + 8, static_cast<uint32_t>(frame.collectorVoltageSum));
  PutU32(bytes.data() + 12, static_cast<uint32_t>(frame.resistorVoltageSum));
  PutU32(bytes.data() + 16, static_cast<uint32_t>(frame.baseVoltageSum));
  PutU16(bytes.data() + 30, LinkChecksum(bytes.data(), 30));
  return bytes;
}

bool DecodeStatusFrame(const uint8_t* bytes, StatusFrame& frame) {
  if (LinkChecksum(bytes, 30) != GetU16(bytes + 30)) return false;
  frame.statusWord = GetU16(bytes + 0);
  frame.calibrationWord = GetU16(bytes + 2);
  frame.collectorCurrentSum = static_cast<int32_t>(GetU32(bytes + 4));
  frame.collectorVoltageSum = static_cast<int32_t>(GetU32(bytes + 8));
  frame.resistorVoltageSum = static_cast<int32_t>(GetU32(bytes + 12));
  frame.baseVoltageSum = static_cast<int32_t>(GetU32(bytes + 16));
  return true;
}

}  // namespace zolt::kvrsim
