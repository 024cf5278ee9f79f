// The curve tracer's wire format: byte readers, checksum, packets and status frames.
#include "link/wire.h"

namespace zolt::link {

// ---- byte readers ----

bool ReadU16Be(std::span<const uint8_t> bytes, size_t offset, uint16_t& value) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return false;
  value = static_cast<uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
  return true;
}

bool ReadI32Be(std::span<const uint8_t> bytes, size_t offset, int32_t& value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return false;
  const uint32_t raw = (uint32_t{bytes[offset]} << 24) | (uint32_t{bytes[offset + 1]} << 16) |
                       (uint32_t{bytes[offset + 2]} << 8) | uint32_t{bytes[offset + 3]};
  value = static_cast<int32_t>(raw);
  return true;
}

// ---- checksum ----

uint16_t PacketChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = ChecksumSeed;
  uint16_t word = 0;
  for (size_t offset = 0; ReadU16Be(bytes, offset, word); offset += 2) sum += word;
  return static_cast<uint16_t>(sum & 0xFFFF);
}

// ---- register packets ----

RegisterPacket BuildRegisterPacket(int32_t address, int64_t value, bool write) {
  RegisterPacket packet{};
  packet[0] = static_cast<uint8_t>(((address >> 8) & 0x7F) | (write ? 0x80 : 0x00));
  packet[1] = static_cast<uint8_t>(address & 0xFF);
  for (int k = 3; k >= 0; --k) {
    // Integer division truncates toward zero, which is what the instrument is sent.
    const int64_t quotient = value / (int64_t{1} << (8 * k));
    packet[2 + (3 - k)] = static_cast<uint8_t>(static_cast<uint64_t>(quotient) & 0xFF);
  }
  const uint16_t checksum = PacketChecksum(std::span<const uint8_t>(packet.data(), 6));
  packet[6] = static_cast<uint8_t>(checksum >> 8);
  packet[7] = static_cast<uint8_t>(checksum & 0xFF);
  return packet;
}

// ---- status frames ----

const char* RunStateText(int runStateBits) {
  switch (runStateBits & 0x3) {
    case 0: return "Idling";
    case 1: return "Pre-ramp";
    case 2: return "Ramping";
    default: return "Stopping";
  }
}

bool DecodeStatusFrame(std::span<const uint8_t> bytes, StatusFrame& frame) {
  if (bytes.size() < StatusFrameBytes) return false;
  StatusFrame decoded;
  const bool ok = ReadU16Be(bytes, 0, decoded.StatusWord) &&
                  ReadU16Be(bytes, 2, decoded.CalibrationWord) &&
                  ReadI32Be(bytes, 4, decoded.CollectorCurrent) &&
                  ReadI32Be(bytes, 8, decoded.CollectorVoltage) &&
                  ReadI32Be(bytes, 12, decoded.ResistorVoltage) &&
                  ReadI32Be(bytes, 16, decoded.BaseGateVoltage) &&
                  ReadU16Be(bytes, 30, decoded.Checksum);
  if (ok) frame = decoded;
  return ok;
}

bool StatusFrameChecksumHolds(std::span<const uint8_t> bytes) {
  uint16_t sent = 0;
  if (bytes.size() < StatusFrameBytes || !ReadU16Be(bytes, 30, sent)) return false;
  return PacketChecksum(bytes.first(30)) == sent;
}

size_t NextStatusFrame(std::span<const uint8_t> bytes, size_t from) {
  for (size_t at = from; at + StatusFrameBytes <= bytes.size(); ++at) {
    if (StatusFrameChecksumHolds(bytes.subspan(at))) return at;
  }
  return bytes.size() >= from + StatusFrameBytes ? bytes.size() - (StatusFrameBytes - 1) : from;
}

}  // namespace zolt::link
