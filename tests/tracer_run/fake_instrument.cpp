// The fake curve tracer on a pseudo-terminal.
#include "fake_instrument.h"

#include <span>

#include "link/wire.h"
#include "support/frame_bytes.h"

namespace zolt::testing {

void FakeInstrument::SendFrame(uint16_t statusWord, int32_t collectorVoltage,
                               int32_t collectorCurrent) {
  link_.Write(FrameBytes(statusWord, 0, collectorVoltage, collectorCurrent));
}

std::vector<ReceivedPacket> FakeInstrument::TakePackets() {
  const std::vector<uint8_t> bytes = link_.ReadWaiting();
  pending_.append(bytes.begin(), bytes.end());
  std::vector<ReceivedPacket> packets;
  size_t at = 0;
  for (; at + link::RegisterPacketBytes <= pending_.size(); at += link::RegisterPacketBytes) {
    const auto* b = reinterpret_cast<const uint8_t*>(pending_.data() + at);
    ReceivedPacket p;
    p.Write = (b[0] & 0x80) != 0;
    p.Address = ((b[0] & 0x7F) << 8) | b[1];
    p.Value = (uint32_t{b[2]} << 24) | (uint32_t{b[3]} << 16) | (uint32_t{b[4]} << 8) | b[5];
    p.ChecksumHolds =
        link::PacketChecksum(std::span<const uint8_t>(b, 6)) == ((b[6] << 8) | b[7]);
    packets.push_back(p);
  }
  pending_.erase(0, at);
  return packets;
}

std::vector<ReceivedPacket> FakeInstrument::TakeWrites() {
  std::vector<ReceivedPacket> writes;
  for (const ReceivedPacket& p : TakePackets())
    if (p.Write) writes.push_back(p);
  return writes;
}

}  // namespace zolt::testing
