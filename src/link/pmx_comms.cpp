// The power analyser's comms thread: polls the instrument, watches the link, and
// receives the sample frames into the ring, one block of 320 good frames at a time.
//
// Sections: the thread's loop; the watchdog; receiving a block.
//
// The thread is the only reader of the device and the only writer of the ring's block
// PmxWriteBlock; every device call goes through usb_device.h, so the main thread may
// send control registers (or close the device, once it has stopped this thread) at any
// time.
#include <span>

#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "link/registers.h"
#include "link/usb_device.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

bool LinkSilent(int64_t now) { return now > LinkState.LastGoodFrameTime + PmxReplyTimeoutMs; }

// The instrument sends 3,200 frames a second, 3.2 a millisecond.
constexpr int FramesPerTenMs = 32;
// The longest sleep while frames are missing: about 1.9 KB arrive meanwhile, far less
// than the device buffers.
constexpr int LongestWaitMs = 20;

// How long to sleep while `missing` frames of the block have yet to arrive: until about
// a millisecond before the last of them can be there, so the block is still handed over
// within two milliseconds of its last frame, and at least a millisecond.
int WaitForFramesMs(int missing) {
  const int untilLast = missing * 10 / FramesPerTenMs;
  return untilLast - 1 < 1 ? 1 : (untilLast - 1 > LongestWaitMs ? LongestWaitMs : untilLast - 1);
}

// The five sample pairs of a good frame, converted with the selected ranges, at `position`.
void StoreFrameSamples(const PmxFrame& frame, int position) {
  const double voltageGain = PmxSampleRing.PmxVoltageGain;
  const double voltageOffset = PmxSampleRing.PmxVoltageOffset;
  const double currentGain = PmxSampleRing.PmxCurrentGain;
  const double currentOffset = PmxSampleRing.PmxCurrentOffset;
  for (int i = 0; i < PmxFrameSamples; ++i) {
    StoreSample(PmxVoltageSamples[position + i], frame.Voltage[i] * voltageGain + voltageOffset);
    StoreSample(PmxCurrentSamples[position + i], frame.Current[i] * currentGain + currentOffset);
  }
}

}  // namespace

// ---- the thread's loop ----

int PowerAnalyserCommsThread(void*) {
  // A new pass reads in step with the stream: no shift or bad-frame row is carried over
  // from the last pass, which may have ended on bad frames.
  LinkState.PmxReadSkip = 0;
  LinkState.BadFrameCount = 0;
  while (LinkState.StopThreads == 0) {
    platform::Delay(1);
    PollInstrumentIfDue(PollIntervalMs, 0);
    CheckReceiveTimeout();
    ReceivePowerAnalyserFrames();
  }
  return 0;
}

// ---- the watchdog ----

void CheckReceiveTimeout() {
  if (LinkState.Connected == 1 && LinkSilent(platform::ElapsedMilliseconds())) {
    StopCommsOnTimeout();
  }
}

void StopCommsOnTimeout() {
  CloseUsbDevice();
  LinkState.StopThreads = 1;
  platform::Delay(100);
  platform::CloseSerialPort(InstrumentSerialPort);
  LinkState.Connected = 0;
}

// ---- receiving a block ----

void ReceivePowerAnalyserFrames() {
  if (LinkState.Connected != 1) return;
  const int32_t block = PmxSampleRing.PmxWriteBlock;
  const int base = block * PmxBlockSamples;
  // Only good frames fill the block, so a published block holds nothing older than
  // this pass.
  int offset = 0;
  while (offset < PmxBlockSamples) {
    if (LinkState.Connected != 1 || LinkState.StopThreads != 0) return;
    const int64_t now = platform::ElapsedMilliseconds();
    if (LinkSilent(now)) return;  // the watchdog stops the link on the next pass
    uint32_t waiting = UsbBytesWaiting();
    uint32_t wanted = static_cast<uint32_t>(PmxNextReadBytes(LinkState.PmxReadSkip));
    // Until the block's frames are all there the thread sleeps (the device keeps them),
    // waking for the poll and the watchdog; it does not wake for every frame.
    const int missing = (PmxBlockSamples - offset) / PmxFrameSamples - static_cast<int>(waiting / PmxFrameBytes);
    if (missing > 0) {
      PollInstrumentIfDue(PollIntervalMs, 0, now);
      platform::Delay(WaitForFramesMs(missing));
      continue;
    }
    // Every frame already waiting is taken before the device is asked again.
    while (waiting >= wanted && offset < PmxBlockSamples) {
      const uint32_t got = UsbRead(LinkState.RxBuffer, wanted);
      waiting -= wanted;
      PmxFrame frame;
      const PmxReadOutcome outcome =
          TakePmxRead(std::span<const uint8_t>(LinkState.RxBuffer, got), LinkState.BadFrameCount,
                      LinkState.PmxReadSkip, frame);
      if (outcome == PmxReadOutcome::Good) {
        LinkState.LastGoodFrameTime = platform::ElapsedMilliseconds();
        CollectSideChannelBit(PmxSideChannelBlock, frame.SideStart, frame.SideData);
        StoreFrameSamples(frame, base + offset);
        offset += PmxFrameSamples;
      }
      if (got < wanted) {
        platform::Delay(1);  // the device gave less than it showed: ask again later
        break;
      }
      wanted = static_cast<uint32_t>(PmxNextReadBytes(LinkState.PmxReadSkip));
    }
  }
  PmxSampleRing.PmxPublishedBlock = block;
  PmxSampleRing.PmxWriteBlock = (block + 1) % PmxRingBlocks;
}

}  // namespace zolt::link
