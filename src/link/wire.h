// The curve tracer's wire format, as pure functions over bytes: bounds-checked big-endian
// readers, the packet checksum, register and request packets, and status frames.
// Nothing here does I/O or touches a global record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zolt::link {

// ---- byte readers: false (and the value untouched) when the field lies past the end ----

bool ReadU16Be(std::span<const uint8_t> bytes, size_t offset, uint16_t& value);
bool ReadI32Be(std::span<const uint8_t> bytes, size_t offset, int32_t& value);

// ---- checksum ----

constexpr uint16_t ChecksumSeed = 0x5555;

// 0x5555 plus the big-endian 16-bit words of the bytes (an odd last byte is left out),
// modulo 65536.
uint16_t PacketChecksum(std::span<const uint8_t> bytes);

// ---- register packets (host to instrument) ----

constexpr int RegisterPacketBytes = 8;
using RegisterPacket = std::array<uint8_t, RegisterPacketBytes>;

// Address bits 15..8 with bit 7 replaced by the write flag, address bits 7..0, four value
// bytes, checksum. Value byte k is the value divided by 2^(8k) truncating toward zero,
// modulo 256: a negative value is not sent in two's complement (-300 is 00 00 FF D4).
RegisterPacket BuildRegisterPacket(int32_t address, int64_t value, bool write);

// The poll request: a request packet for register 0.
constexpr RegisterPacket PollRequest = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55, 0x55};

// ---- status frames (instrument to host) ----

constexpr int StatusFrameBytes = 32;

struct StatusFrame {
  uint16_t StatusWord = 0;       // bits 0-1 run state, 2 high voltage, 4-7 stop code, 15 marker
  uint16_t CalibrationWord = 0;  // two bytes of the calibration image
  int32_t CollectorCurrent = 0;  // sums of samples over the read windows
  int32_t CollectorVoltage = 0;
  int32_t ResistorVoltage = 0;
  int32_t BaseGateVoltage = 0;
  uint16_t Checksum = 0;         // as sent (bytes 30-31)
};

constexpr uint16_t HighVoltageOnBit = 1u << 2;
constexpr uint16_t CalibrationMarkerBit = 1u << 15;

inline int RunStateBits(uint16_t statusWord) { return statusWord & 0x3; }
inline int StopCodeBits(uint16_t statusWord) { return (statusWord >> 4) & 0xF; }

// "Idling", "Pre-ramp", "Ramping", "Stopping" for run-state bits 0..3.
const char* RunStateText(int runStateBits);

// Decodes the fields of the first 32 bytes; false when fewer than 32 bytes are given.
bool DecodeStatusFrame(std::span<const uint8_t> bytes, StatusFrame& frame);

// True when bytes 30-31 hold the checksum of bytes 0-29 (false for a short frame).
bool StatusFrameChecksumHolds(std::span<const uint8_t> bytes);

// Where the next status frame starts in a stream: the first offset from `from` on whose
// 32 bytes pass the checksum. When none does, the first offset at which a frame may yet
// complete as more bytes arrive (the last 31 bytes are kept).
size_t NextStatusFrame(std::span<const uint8_t> bytes, size_t from);

}  // namespace zolt::link
