// Register blocks, single registers, request packets and the poll.
#include "link/registers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "link/link_state.h"
#include "link/usb_device.h"
#include "link/wire.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

// One write on the chosen transport; its result is not acted on.
void SendBytes(const uint8_t* bytes, int count, int32_t viaSerial) {
  if (count <= 0) return;
  if (viaSerial == 0) {
    UsbWrite(bytes, static_cast<uint32_t>(count));
  } else {
    platform::WriteSerialPort(InstrumentSerialPort, bytes, count);
  }
}

}  // namespace

void WriteRegisterBlock(int32_t start, int32_t count, int32_t viaSerial) {
  if (LinkState.Connected != 1) return;
  const int64_t span = std::llabs(int64_t{count});
  const int64_t packets = std::min<int64_t>(span, MaxPacketsPerBlock);
  int position = 0;
  for (int64_t i = 0; i < packets; ++i) {
    const int64_t address = count >= 1 ? int64_t{start} + i : int64_t{start} + span - 1 - i;
    if (address < 0 || address >= RegisterCount) continue;
    const RegisterPacket packet =
        BuildRegisterPacket(static_cast<int32_t>(address), RegisterImage[address], true);
    std::memcpy(LinkState.TxBuffer + position, packet.data(), packet.size());
    position += RegisterPacketBytes;
  }
  SendBytes(LinkState.TxBuffer, position, viaSerial);
}

void SendSingleRegister(int32_t address) { WriteRegisterBlock(address, 1, 1); }

void SendRequestPacket(int32_t address, int32_t viaSerial) {
  if (LinkState.Connected != 1) return;
  const RegisterPacket packet = BuildRegisterPacket(address, 0, false);
  SendBytes(packet.data(), RegisterPacketBytes, viaSerial);
}

void PollInstrumentIfDue(int32_t intervalMs, int32_t viaSerial) {
  PollInstrumentIfDue(intervalMs, viaSerial, platform::ElapsedMilliseconds());
}

void PollInstrumentIfDue(int32_t intervalMs, int32_t viaSerial, int64_t now) {
  if (LinkState.Connected != 1) return;
  if (now < LinkState.LastPollTime + intervalMs) return;
  LinkState.LastPollTime = now;
  SendRequestPacket(0, viaSerial);
}

}  // namespace zolt::link
