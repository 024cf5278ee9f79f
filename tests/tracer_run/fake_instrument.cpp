// The fake curve tracer on a pseudo-terminal.
#include "fake_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <span>

#include "link/wire.h"
#include "support/temp_folder.h"

namespace zolt::testing {

FakeInstrument::FakeInstrument(int comPort) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    return;
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  MakeFolder("ports");
  const std::string link = "ports/COM" + std::to_string(comPort);
  ::unlink(link.c_str());
  if (::symlink(::ptsname(master_), link.c_str()) != 0) {
    ::close(master_);
    master_ = -1;
  }
}

FakeInstrument::~FakeInstrument() {
  if (master_ >= 0) ::close(master_);
}

void FakeInstrument::SendFrame(uint16_t statusWord, int32_t collectorVoltage,
                               int32_t collectorCurrent) {
  std::array<uint8_t, link::StatusFrameBytes> frame{};
  auto put16 = [&](size_t at, uint16_t v) {
    frame[at] = static_cast<uint8_t>(v >> 8);
    frame[at + 1] = static_cast<uint8_t>(v);
  };
  auto put32 = [&](size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    put16(at, static_cast<uint16_t>(u >> 16));
    put16(at + 2, static_cast<uint16_t>(u));
  };
  put16(0, statusWord);
  put32(4, collectorCurrent);
  put32(8, collectorVoltage);
  put16(30, link::PacketChecksum(std::span<const uint8_t>(frame.data(), 30)));
  size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = ::write(master_, frame.data() + done, frame.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    if (n < 0) {
      pollfd ready{master_, POLLOUT, 0};
      if (::poll(&ready, 1, 100) <= 0) return;
    }
  }
}

std::vector<ReceivedPacket> FakeInstrument::TakePackets() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    pending_.append(buffer, static_cast<size_t>(n));
  }
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
