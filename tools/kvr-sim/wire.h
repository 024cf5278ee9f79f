// Curve-tracer simulator, wire format: everything that crosses the serial link as bytes.
//
// Sections: the checksum shared by packets and frames; register packets (host to
// instrument) and the reader that cuts them out of a byte stream, resynchronising after
// bad or missing bytes; the packet log line; status frames (instrument to host).
// Pure functions over bytes: no I/O, no clocks, no globals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::kvrsim {

// ---- checksum ----

// 0x5555 plus the big-endian 16-bit words of `bytes` (an even count), modulo 65536.
uint16_t LinkChecksum(const uint8_t* bytes, size_t count);

// ---- register packets ----

constexpr size_t PacketBytes = 8;
constexpr uint8_t WriteFlag = 0x80;  // bit 7 of byte 0: set in a write, clear in a request

struct RegisterPacket {
  bool write = false;    // write packet (true) or request packet (false)
  uint16_t address = 0;  // 0..32767
  uint32_t value = 0;    // big-endian bytes 2..5
};

std::array<uint8_t, PacketBytes> EncodeRegisterPacket(const RegisterPacket& packet);

// Cuts packets out of the incoming byte stream. Bytes are held until eight are there;
// a group whose checksum fails loses its first byte and the rest is tried again one
// byte later, so a byte lost or added on the way realigns within one packet. A run of
// such slides counts as one bad packet.
struct PacketReader {
  std::array<uint8_t, PacketBytes> held{};
  size_t heldCount = 0;
  bool slipping = false;  // sliding byte by byte since the last bad group
  uint64_t goodPackets = 0;
  uint64_t badPackets = 0;
  uint64_t skippedBytes = 0;  // bytes thrown away while realigning
};

// What the reader made of one packet: a good packet, or the bytes of a bad one (the
// first group of a run of slides, or a partial packet dropped), read as if good.
struct ReceivedPacket {
  RegisterPacket packet;
  bool good = true;
  std::array<uint8_t, PacketBytes> bytes{};
  size_t byteCount = PacketBytes;
};

// Appends every complete good packet in `bytes` to `out`, and when `received` is given,
// every good and bad packet to it in the order they came.
void FeedPacketBytes(PacketReader& reader, const uint8_t* bytes, size_t count,
                     std::vector<RegisterPacket>& out,
                     std::vector<ReceivedPacket>* received = nullptr);
// Forgets a partial packet, for a pause on the line: the host writes whole packets in
// one go, so bytes left waiting after a pause belong to a damaged packet.
void DropPartialPacket(PacketReader& reader, std::vector<ReceivedPacket>* received = nullptr);

// ---- the packet log line ----

// "<seconds> write|request <address> <value> good", and for a bad packet "bad" followed
// by its bytes in hex: "12.345 write 1 65540 bad 80 01 00 01 00 04 d5 ff".
std::string PacketLogLine(double seconds, const ReceivedPacket& received);

// ---- status frames ----

constexpr size_t FrameBytes = 32;

// Status word bits.
constexpr uint16_t RunStateMask = 0x0003;     // bits 0-1
constexpr uint16_t HighVoltageOnBit = 0x0004; // bit 2
constexpr int StopCodeShift = 4;              // bits 4-7
constexpr uint16_t CalibrationMarkerBit = 0x8000;

struct StatusFrame {
  uint16_t statusWord = 0;
  uint16_t calibrationWord = 0;
  int32_t collectorCurrentSum = 0;
  int32_t collectorVoltageSum = 0;
  int32_t resistorVoltageSum = 0;
  int32_t baseVoltageSum = 0;
};

// Bytes 0-1 status word, 2-3 calibration word, 4-19 the four sums, 20-29 zero, 30-31
// checksum; every field big-endian.
std::array<uint8_t, FrameBytes> EncodeStatusFrame(const StatusFrame& frame);
// Reads a frame back; false when its checksum fails. Used by the tests and the probe.
bool DecodeStatusFrame(const uint8_t* bytes, StatusFrame& frame);

}  // namespace zolt::kvrsim
