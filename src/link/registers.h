// The register image and how registers reach the instrument: blocks of write packets,
// single registers, request packets and the periodic poll.
//
// RegisterImage is written by the control-block builders in the main thread (the curve
// tracer's under the InstrumentMutex). Blocks are built in LinkState.TxBuffer by the main
// thread, except the last block of a lost curve-tracer link, which its reader builds and
// sends under the same mutex; request packets (the poll, sent by the reader threads) are
// built in a buffer of their own, so a poll never interleaves with a block being built.
#pragma once

#include <cstdint>

namespace zolt::link {

constexpr int RegisterCount = 65537;  // addresses 0..65536
inline int64_t RegisterImage[RegisterCount] = {};

constexpr int PollIntervalMs = 250;
constexpr int MaxPacketsPerBlock = 2048;  // what the transmit buffer holds

// Sends registers as write packets in one transport write. count >= 1: start, start + 1,
// ..., start + count - 1; count <= 0: the |count| addresses from start + |count| - 1 down
// to start. viaSerial 0 writes to the USB device, any other value to serial port 27.
// Nothing is built or sent while not connected; addresses outside the image are skipped
// and at most the first MaxPacketsPerBlock packets of the order go out.
void WriteRegisterBlock(int32_t start, int32_t count, int32_t viaSerial);

// One register over the COM port.
void SendSingleRegister(int32_t address);

// A request packet (write flag 0, value 0) for the address; nothing while not connected.
void SendRequestPacket(int32_t address, int32_t viaSerial);

// Sends the poll request when connected and now >= LastPollTime + intervalMs, setting
// LastPollTime to now first. While not connected nothing happens and LastPollTime keeps
// its value.
void PollInstrumentIfDue(int32_t intervalMs, int32_t viaSerial);
void PollInstrumentIfDue(int32_t intervalMs, int32_t viaSerial, int64_t now);

}  // namespace zolt::link
